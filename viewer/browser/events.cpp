#include "viewer/browser/events.h"

#include <algorithm>
#include <unordered_set>

#include "viewer/browser/interpolators.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

// addChildren / removeChildren of the grouping nodes.
bool changeChildren(Node& n, const std::string& event, const FieldValue& v, int& changed) {
  changed = n.type->findField("children");
  const auto* nodes = v.as<std::vector<NodePtr>>();
  if (changed < 0 || nodes == nullptr) return false;
  auto& children = *n.editValue(static_cast<size_t>(changed)).as<std::vector<NodePtr>>();
  for (const NodePtr& c : *nodes) {
    auto at = std::find(children.begin(), children.end(), c);
    if (event == "addChildren" && at == children.end() && c) children.push_back(c);
    if (event == "removeChildren" && at != children.end()) children.erase(at);
  }
  return true;
}

// The nodes a node-valued VALUE holds directly.
std::vector<NodePtr> nodesIn(const FieldValue& value) {
  if (const auto* one = value.as<NodePtr>()) return {*one};
  if (const auto* many = value.as<std::vector<NodePtr>>()) return *many;
  return {};
}

// The nodes VALUE brings into member FIELD of NODE: for a whole new list,
// those not already at the same place (so appending to a long list looks
// only at what was appended); none for removeChildren.
std::vector<NodePtr> arrivingNodes(const Node& node, int field, const FieldValue& value) {
  const FieldDecl& decl = node.type->fields[static_cast<size_t>(field)];
  if (decl.name == "removeChildren") return {};
  const auto* list = value.as<std::vector<NodePtr>>();
  if (list == nullptr || decl.access == Access::EventIn) return nodesIn(value);
  const auto* current = node.value(static_cast<size_t>(field)).as<std::vector<NodePtr>>();
  size_t same = 0;
  while (current && same < list->size() && same < current->size() &&
         (*list)[same] == (*current)[same]) {
    ++same;
  }
  return {list->begin() + static_cast<std::ptrdiff_t>(same), list->end()};
}

// Whether ARRIVING holds NODE or a node above it: storing them would make
// NODE its own descendant, a cycle that would never be freed. What Scripts'
// fields hold does not count (those are cleared with the scene).
bool wouldContainItself(const Node& node, std::vector<NodePtr> arriving) {
  std::unordered_set<const Node*> seen;
  while (!arriving.empty()) {
    NodePtr n = std::move(arriving.back());
    arriving.pop_back();
    if (!n || !seen.insert(n.get()).second || n->type->script) continue;
    if (n.get() == &node) return true;
    for (size_t i = 0; i < n->valueCount(); ++i) {
      for (NodePtr& child : nodesIn(n->value(i))) arriving.push_back(std::move(child));
    }
  }
  return false;
}

}  // namespace

bool Cascade::send(const NodePtr& node, int field, FieldValue value) {
  if (!node || field < 0 || static_cast<size_t>(field) >= node->valueCount()) return false;
  if (node->type->fields[static_cast<size_t>(field)].type != value.type) return false;
  queue_.push_back({node, field, std::move(value), false});
  run();
  return true;
}

void Cascade::emit(const NodePtr& node, int field, FieldValue value) {
  queue_.push_back({node, field, std::move(value), true});
  run();
}

void emitEventOut(const NodePtr& node, std::string_view name, FieldValue value,
                  Cascade& cascade) {
  int i = node->type->findField(name);
  if (i < 0 || node->type->fields[size_t(i)].type != value.type) return;
  node->editValue(size_t(i)) = value;
  cascade.emit(node, i, std::move(value));
}

void Cascade::storeAndReport(const NodePtr& node, int field, const FieldValue& value) {
  store(*node, field, value);
  queue_.push_back({node, field, value, true});
}

void Cascade::run() {
  if (running_) return;  // a receiver's or host's events join the loop below
  running_ = true;
  do {
    drain();
  } while (settleReceivers());
  running_ = false;
}

void Cascade::hold(const std::function<void()>& work) {
  const bool was = running_;
  running_ = true;
  work();
  running_ = was;
  run();
}

bool Cascade::settleReceivers() {
  if (unsettled_.empty()) return false;
  std::vector<std::shared_ptr<EventReceiver>> settling;
  settling.swap(unsettled_);
  unsettledSeen_.clear();
  for (const auto& r : settling) r->settle(*this);
  return !queue_.empty();
}

void Cascade::drain() {
  // Breadth first: events reach their targets in the order they were sent.
  size_t head = 0;
  while (head < queue_.size()) {
    Pending p = std::move(queue_[head++]);
    if (p.outgoing) {
      fanOut(p.node, p.field, p.value);
    } else {
      deliver(p.node, p.field, p.value);
    }
  }
  queue_.clear();
}

void Cascade::fanOut(const NodePtr& node, int field, const FieldValue& value) {
  std::pair<const Node*, int> key{node.get(), field};
  if (!sent_.insert(key)) return;
  for (const Route& r : node->extras().routes) {
    if (r.fromField != field) continue;
    if (NodePtr to = r.to.lock()) queue_.push_back({to, r.toField, value, false});
  }
}

namespace {

// A running TimeSensor, AudioClip or MovieTexture keeps its start time
// until it stops, and a stop time at or before it; a running AudioClip
// keeps its pitch and a running MovieTexture its speed.
bool ignoredWhileActive(const Node& node, std::string_view member, const FieldValue& value) {
  const NodeType& type = *node.type;
  if (!type.standard) return false;
  const bool clip = type.kind == NodeKind::AudioClip || type.kind == NodeKind::MovieTexture;
  if (!clip && type.kind != NodeKind::TimeSensor) return false;
  if (member == "startTime") return true;
  if (!clip) return false;
  if (member == "stopTime") {
    const double* stop = value.as<double>();
    return stop && *stop <= *node.field("startTime")->as<double>();
  }
  return member == (type.kind == NodeKind::AudioClip ? "pitch" : "speed");
}

}  // namespace

void Cascade::deliver(const NodePtr& node, int field, FieldValue& value) {
  const FieldDecl& decl = node->type->fields[static_cast<size_t>(field)];
  if (decl.type != value.type) return;
  if (decl.access == Access::EventOut) {  // from a PROTO body to its instance
    store(*node, field, value);
    queue_.push_back({node, field, std::move(value), true});
    return;
  }
  if (node->extras().receiver && decl.access == Access::EventIn) {
    store(*node, field, value);
    std::shared_ptr<EventReceiver> receiver = node->extras().receiver;
    if (unsettledSeen_.insert(receiver.get())) unsettled_.push_back(receiver);
    receiver->receive(*this, node, field, value);
    return;
  }
  const bool holdsNodes = value.type == FieldType::SFNode || value.type == FieldType::MFNode;
  if (holdsNodes && !node->type->script &&
      wouldContainItself(*node, arrivingNodes(*node, field, value))) {
    logText("Event refused (a node cannot contain itself):", decl.name.c_str());
    return;
  }
  const NodeType& type = *node->type;
  if (node->extras().sensorActive && ignoredWhileActive(*node, decl.name, value)) return;
  if (type.standard && host_ && host_->receive(node, field, value, *this)) return;
  if (type.standard && decl.access == Access::EventIn) {
    if (decl.name == "set_fraction" && isInterpolator(type)) {
      FieldValue out;
      const float* f = value.as<float>();
      if (f && interpolate(*node, *f, out)) {
        int o = type.findField("value_changed");
        node->editValue(static_cast<size_t>(o)) = out;
        queue_.push_back({node, o, std::move(out), true});
      }
      return;
    }
    int changed = -1;
    if (changes_ && (decl.name == "addChildren" || decl.name == "removeChildren")) {
      if (decl.name == "addChildren") changes_->noteAdded();
      else changes_->noteRemoved();
    }
    if (changeChildren(*node, decl.name, value, changed)) {
      queue_.push_back({node, changed, node->value(static_cast<size_t>(changed)), true});
      return;
    }
    if (decl.name.starts_with("set_")) {  // set_bind, set_height ... store what they name
      int target = type.findField(std::string_view(decl.name).substr(4));
      if (target >= 0 && type.fields[static_cast<size_t>(target)].type == value.type) {
        store(*node, target, value);
      }
      return;
    }
  }
  store(*node, field, value);
  // Exposed fields report the change; an eventIn forwards only along the
  // IS routes into a PROTO body.
  if (decl.access != Access::Field) {
    queue_.push_back({node, field, std::move(value), true});
  }
}

void Cascade::store(Node& node, int field, const FieldValue& value) {
  FieldValue& member = node.editValue(static_cast<size_t>(field));
  if (changes_) changes_->noteField(node, member, value);
  member = value;
}

}  // namespace kestrel
