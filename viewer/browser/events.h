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

class Cascade;

// The scene around a cascade, for the events whose effect reaches beyond
// their node (binding a Viewpoint, a new url for an Inline).
class CascadeHost {
 public:
  virtual ~CascadeHost() = default;
  // Takes VALUE arriving at member FIELD of the built-in NODE and acts on
  // it; false leaves the event to the node.
  virtual bool receive(const NodePtr& node, int field, const FieldValue& value,
                       Cascade& cascade) = 0;
};

class Cascade {
 public:
  // CHANGES, when given, counts every member the cascade writes. HOST, when
  // given, is offered every event to a built-in node first.
  explicit Cascade(double time, SceneChanges* changes = nullptr, CascadeHost* host = nullptr)
      : time_(time), changes_(changes), host_(host) {}

  // Delivers VALUE to member FIELD of NODE (as an external event would) and
  // runs every event that follows from it. A value of the wrong type is
  // refused (false).
  bool send(const NodePtr& node, int field, FieldValue value);

  // Sends VALUE out of member FIELD of NODE along its routes. Called while
  // the cascade runs (from a host), the event joins the queue.
  void emit(const NodePtr& node, int field, FieldValue value);
  // Writes VALUE into member FIELD of NODE and reports it along its routes
  // (what an exposed field does with an event).
  void storeAndReport(const NodePtr& node, int field, const FieldValue& value);

  SceneChanges* changes() const { return changes_; }

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
  CascadeHost* host_;
  bool running_ = false;
  std::vector<Pending> queue_;
  std::vector<std::pair<const Node*, int>> sent_;
};

// Stores VALUE as the eventOut NAME of NODE and sends it (nothing when NODE
// has no such member).
void emitEventOut(const NodePtr& node, std::string_view name, FieldValue value,
                  Cascade& cascade);

// Advances one TimeSensor to time NOW, sending its events into CASCADE.
void tickTimeSensor(const NodePtr& sensor, Cascade& cascade);

}  // namespace kestrel
