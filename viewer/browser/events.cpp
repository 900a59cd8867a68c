#include "viewer/browser/events.h"

#include <algorithm>

#include "viewer/browser/interpolators.h"

namespace kestrel {
namespace {

// addChildren / removeChildren of the grouping nodes.
bool changeChildren(Node& n, const std::string& event, const FieldValue& v, int& changed) {
  changed = n.type->findField("children");
  const auto* nodes = v.as<std::vector<NodePtr>>();
  if (changed < 0 || nodes == nullptr) return false;
  auto& children = *n.values[static_cast<size_t>(changed)].as<std::vector<NodePtr>>();
  for (const NodePtr& c : *nodes) {
    auto at = std::find(children.begin(), children.end(), c);
    if (event == "addChildren" && at == children.end() && c) children.push_back(c);
    if (event == "removeChildren" && at != children.end()) children.erase(at);
  }
  return true;
}

}  // namespace

bool Cascade::send(const NodePtr& node, int field, FieldValue value) {
  if (!node || field < 0 || static_cast<size_t>(field) >= node->values.size()) return false;
  if (node->type->fields[static_cast<size_t>(field)].type != value.type) return false;
  queue_.push_back({node, field, std::move(value), false});
  run();
  return true;
}

void Cascade::emit(const NodePtr& node, int field, FieldValue value) {
  queue_.push_back({node, field, std::move(value), true});
  run();
}

void Cascade::run() {
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
  if (std::find(sent_.begin(), sent_.end(), key) != sent_.end()) return;
  sent_.push_back(key);
  for (const Route& r : node->routes) {
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
  const NodeType& type = *node->type;
  if (node->sensorActive && ignoredWhileActive(*node, decl.name, value)) return;
  if (type.standard && decl.access == Access::EventIn) {
    if (decl.name == "set_fraction" && isInterpolator(type)) {
      FieldValue out;
      const float* f = value.as<float>();
      if (f && interpolate(*node, *f, out)) {
        int o = type.findField("value_changed");
        node->values[static_cast<size_t>(o)] = out;
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
      queue_.push_back({node, changed, node->values[static_cast<size_t>(changed)], true});
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
  FieldValue& member = node.values[static_cast<size_t>(field)];
  if (changes_) changes_->noteField(node, member, value);
  member = value;
}

}  // namespace kestrel
