// Event delivery along routes, and the nodes that act on events: the
// interpolators, the grouping nodes' addChildren/removeChildren, and the
// TimeSensor driven by the browser clock.
//
// One cascade carries every event of one timestamp: each eventOut sends at
// most once per cascade, which is what stops routing loops. Delivery is
// iterative, so long chains of routes cannot exhaust the stack.
// Window thread only, like the rest of the browser.
#pragma once

#include <algorithm>
#include <functional>
#include <unordered_set>
#include <utility>
#include <vector>

#include "viewer/browser/node.h"
#include "viewer/browser/scene_changes.h"

namespace kestrel {

class Cascade;

// Keys seen so far: searched in a short list while few (most cascades carry
// a handful of events, and a list costs no allocation per key), in a hash
// set once many (a clock tick through a thousand Scripts).
template <class Key, class Hash = std::hash<Key>>
class SeenKeys {
 public:
  // False when KEY was seen before.
  bool insert(const Key& key) {
    if (!many_.empty()) return many_.insert(key).second;
    if (std::find(few_.begin(), few_.end(), key) != few_.end()) return false;
    few_.push_back(key);
    if (few_.size() > kFewest) many_.insert(few_.begin(), few_.end());
    return true;
  }
  void clear() {
    few_.clear();
    many_.clear();
  }

 private:
  static constexpr size_t kFewest = 16;
  std::vector<Key> few_;
  std::unordered_set<Key, Hash> many_;
};

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

// Code behind a node that acts on the events it receives (a Script's
// program). The cascade stores each value in the member first.
class EventReceiver {
 public:
  virtual ~EventReceiver() = default;
  // Member FIELD (an eventIn) of NODE received VALUE.
  virtual void receive(Cascade& cascade, const NodePtr& node, int field,
                       const FieldValue& value) = 0;
  // Every event of the cascade so far has been delivered; called once after
  // one or more receive calls.
  virtual void settle(Cascade& cascade) = 0;
};

class Cascade {
 public:
  // CHANGES, when given, counts every member the cascade writes. HOST, when
  // given, is offered every event to a built-in node first.
  explicit Cascade(double time, SceneChanges* changes = nullptr, CascadeHost* host = nullptr)
      : time_(time), changes_(changes), host_(host) {}

  // Delivers VALUE to member FIELD of NODE (as an external event would) and
  // runs every event that follows from it. A value of the wrong type is
  // refused (false). Called while the cascade runs (by a receiver), it
  // only queues the event.
  bool send(const NodePtr& node, int field, FieldValue value);

  // Sends VALUE out of member FIELD of NODE along its routes. Called while
  // the cascade runs (from a host or a receiver), the event joins the queue.
  void emit(const NodePtr& node, int field, FieldValue value);
  // Writes VALUE into member FIELD of NODE and reports it along its routes
  // (what an exposed field does with an event).
  void storeAndReport(const NodePtr& node, int field, const FieldValue& value);

  SceneChanges* changes() const { return changes_; }

  // Runs WORK with the events it sends queued, then runs them all: code
  // outside the cascade (a Script's initialize) sends as a receiver does.
  void hold(const std::function<void()>& work);

  double time() const { return time_; }

 private:
  struct Pending {
    NodePtr node;
    int field;
    FieldValue value;
    bool outgoing;  // true: emit from the member; false: deliver to it
  };
  void run();
  void drain();
  bool settleReceivers();
  void deliver(const NodePtr& node, int field, FieldValue& value);
  void fanOut(const NodePtr& node, int field, const FieldValue& value);
  void store(Node& node, int field, const FieldValue& value);

  double time_;
  SceneChanges* changes_;
  CascadeHost* host_;
  std::vector<Pending> queue_;
  struct EventOutHash {
    size_t operator()(const std::pair<const Node*, int>& k) const {
      return std::hash<const Node*>()(k.first) * 31 + static_cast<size_t>(k.second);
    }
  };
  SeenKeys<std::pair<const Node*, int>, EventOutHash> sent_;  // the eventOuts that sent
  std::vector<std::shared_ptr<EventReceiver>> unsettled_;  // in the order they received
  SeenKeys<const EventReceiver*> unsettledSeen_;            // the same, to look up
  bool running_ = false;
};

// Stores VALUE as the eventOut NAME of NODE and sends it (nothing when NODE
// has no such member).
void emitEventOut(const NodePtr& node, std::string_view name, FieldValue value,
                  Cascade& cascade);

// Advances one TimeSensor to time NOW, sending its events into CASCADE.
void tickTimeSensor(const NodePtr& sensor, Cascade& cascade);

}  // namespace kestrel
