// Event delivery along routes, and the nodes that act on events: the
// interpolators, the grouping nodes' addChildren/removeChildren, and the
// TimeSensor driven by the browser clock.
//
// One cascade carries every event of one timestamp: each eventOut sends at
// most once per cascade, which is what stops routing loops. Delivery is
// iterative, so long chains of routes cannot exhaust the stack.
// Window thread only, like the rest of the browser.
#pragma once

#include "viewer/browser/node.h"
#include "viewer/browser/scene_changes.h"

namespace kestrel {

class Cascade {
 public:
  // CHANGES, when given, counts every member the cascade writes.
  explicit Cascade(double time, SceneChanges* changes = nullptr)
      : time_(time), changes_(changes) {}

  // Delivers VALUE to member FIELD of NODE (as an external event would) and
  // runs every event that follows from it. A value of the wrong type is
  // refused (false).
  bool send(const NodePtr& node, int field, FieldValue value);

  // Sends VALUE out of member FIELD of NODE along its routes.
  void emit(const NodePtr& node, int field, FieldValue value);

  double time() const { return time_; }

 private:
  struct Pending {
    NodePtr node;
    int field;
    FieldValue value;
    bool outgoing;  // true: emit from the member; false: deliver to it
  };
  void run();
  void deliver(const NodePtr& node, int field, FieldValue& value);
  void fanOut(const NodePtr& node, int field, const FieldValue& value);
  void store(Node& node, int field, const FieldValue& value);

  double time_;
  SceneChanges* changes_;
  std::vector<Pending> queue_;
  std::vector<std::pair<const Node*, int>> sent_;
};

// Advances one TimeSensor to time NOW, sending its events into CASCADE.
void tickTimeSensor(const NodePtr& sensor, Cascade& cascade);

}  // namespace kestrel
