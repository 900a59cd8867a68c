// One node of a scene graph: its type, the value of each member of that
// type, its DEF name, its outgoing routes and, for PROTO instances and
// Inlines, the content behind it.
//
// Nodes are shared (a USE adds another owner). Routes hold their targets
// weakly, so a route never keeps a node alive and a cycle of routes leaks
// nothing. Invariant: values.size() == type->fields.size() and
// values[i].type == type->fields[i].type.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/browser/field_value.h"
#include "viewer/browser/field_values.h"
#include "viewer/browser/node_type.h"

namespace kestrel {

struct Scene;
class EventReceiver;

// Sends the events of member FROMFIELD to member TOFIELD of node TO.
struct Route {
  int fromField = -1;
  std::weak_ptr<Node> to;
  int toField = -1;
};

// In a PROTO body: member FIELD of this node stands for the interface
// member INTERFACENAME of each instance.
struct IsLink {
  int field = -1;
  std::string interfaceName;
};

// The state only some nodes have: routes, PROTO and Inline content, a
// running Script, sensor timing. Kept out of line so the many plain nodes
// of a large scene do not each carry it.
struct NodeExtras {
  std::vector<Route> routes;    // outgoing
  std::vector<IsLink> isLinks;  // only on nodes inside a PROTO body
  std::vector<NodePtr> protoBody;      // a PROTO instance's own copy of the body
  std::shared_ptr<Scene> inlineScene;  // an Inline's loaded scene, once loaded
  bool inlineTried = false;            // loading was attempted
  std::string inlineBase;              // where an Inline's relative url resolves
  // Code that handles this node's eventIns itself (a running Script).
  std::shared_ptr<EventReceiver> receiver;

  // Sensor state between clock ticks or frames (TimeSensor, ProximitySensor,
  // VisibilitySensor: active; also an AudioClip's or MovieTexture's isActive).
  bool sensorActive = false;
  double cycleStart = 0;
};

struct Node {
  NodeTypePtr type;
  FieldValues values;
  std::string name;  // DEF name, empty when none

  // The node's extra state; all empty or zero until editExtras() is called.
  const NodeExtras& extras() const { return extras_ ? *extras_ : noExtras(); }
  // The node's extra state for changing, made on first use.
  NodeExtras& editExtras();

  // A node of TYPE with every member at its default.
  static NodePtr create(NodeTypePtr type);

  // The value of the member named NAME, or null.
  FieldValue* field(std::string_view memberName);
  const FieldValue* field(std::string_view memberName) const;
  // The value of the member KEY names, or null when this node is not of
  // KEY's built-in type (or the type has no such member).
  const FieldValue* field(MemberKey key) const {
    return key.index >= 0 && type->kind == key.kind ? &values[size_t(key.index)] : nullptr;
  }

 private:
  // The empty block every node without extras reads.
  static const NodeExtras& noExtras();
  std::unique_ptr<NodeExtras> extras_;
};

}  // namespace kestrel
