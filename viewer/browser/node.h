// One node of a scene graph: its type, the value of each member of that
// type, its DEF name, its outgoing routes and, for PROTO instances and
// Inlines, the content behind it.
//
// Nodes are shared (a USE adds another owner). Routes hold their targets
// weakly, so a route never keeps a node alive and a cycle of routes leaks
// nothing. Invariant: the node has a value for each of type->fields, and
// value(i).type == type->fields[i].type.
//
// A node built by the parser or a PROTO copy stores only the values that
// differ from its type's defaults; reads of the others give the type's
// default. Its first edit (editValue, editField) gives it a value for every
// member, at addresses that stay put from then on. So: never keep a
// pointer or reference from value()/field() across an edit of the same
// node; one from editValue()/editField() stays valid.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "viewer/browser/field_value.h"
#include "viewer/browser/field_values.h"
#include "viewer/browser/node_name.h"
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
  NodeName name;  // DEF name, empty when none

  // How many members the node has (its type's).
  size_t valueCount() const { return type->fields.size(); }
  // The value of member I (< valueCount()).
  const FieldValue& value(size_t i) const {
    const FieldValue* stored = values_.find(i);
    return stored ? *stored : type->initialValue(i);
  }
  // Member I for changing; see the note above on addresses.
  FieldValue& editValue(size_t i);
  // Whether member I holds a value of its own rather than its type's
  // default (every member does once the node has been edited).
  bool storesValue(size_t i) const { return values_.isStored(i); }
  // Sets member I while the node is being built, before anything holds
  // its values: a node that has not been edited stays compact.
  void storeValue(size_t i, FieldValue value);
  // storeValue for each of COUNT pairs at MEMBERS (a member and its value),
  // in order; a node that stores nothing yet makes one block for them all.
  void storeValues(std::pair<size_t, FieldValue>* members, size_t count);
  // Adds a member at the end for a type that has just grown one (a
  // Script's interface while it is read).
  void appendValue(FieldValue value);
  // VISIT(const FieldValue&) for every member, last first.
  template <class Visit>
  void forEachValueBackwards(Visit&& visit) const {
    for (size_t i = valueCount(); i-- > 0;) visit(value(i));
  }

  // The node's extra state; all empty or zero until editExtras() is called.
  const NodeExtras& extras() const { return extras_ ? *extras_ : noExtras(); }
  // The node's extra state for changing, made on first use.
  NodeExtras& editExtras();

  // A node of TYPE with every member at its default.
  static NodePtr create(NodeTypePtr type);

  // The value of the member named NAME, or null.
  const FieldValue* field(std::string_view memberName) const;
  // The same for changing; see the note above on addresses.
  FieldValue* editField(std::string_view memberName);
  // The value of the member KEY names, or null when this node is not of
  // KEY's built-in type (or the type has no such member).
  const FieldValue* field(MemberKey key) const {
    return key.index >= 0 && type->kind == key.kind ? &value(size_t(key.index)) : nullptr;
  }

 private:
  // Gives each of the first MEMBERS members a value of its own (see
  // FieldValues); no-op once the node is dense.
  void makeDense(size_t members);
  void makeDense() { makeDense(valueCount()); }

  FieldValues values_;
  // The empty block every node without extras reads.
  static const NodeExtras& noExtras();
  std::unique_ptr<NodeExtras> extras_;
};

}  // namespace kestrel
