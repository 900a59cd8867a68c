#include "viewer/browser/bindable_stacks.h"

#include <algorithm>

#include "viewer/browser/events.h"

namespace kestrel {
namespace {

bool sameNode(const std::weak_ptr<Node>& entry, const Node* node) {
  return entry.lock().get() == node;
}

}  // namespace

int BindableStacks::stackOf(const Node& node) {
  if (!node.type->standard) return -1;
  switch (node.type->kind) {
    case NodeKind::Viewpoint: return 0;
    case NodeKind::Background: return 1;
    case NodeKind::Fog: return 2;
    case NodeKind::NavigationInfo: return 3;
    default: return -1;
  }
}

void BindableStacks::entered(const std::vector<NodePtr>& nodes, Cascade& cascade) {
  std::array<bool, kKinds> taken{};
  for (const NodePtr& n : nodes) {
    int kind = stackOf(*n);
    if (kind < 0 || taken[size_t(kind)]) continue;
    taken[size_t(kind)] = true;
    if (stacks_[size_t(kind)].empty()) setBind(n, true, cascade);
  }
}

void BindableStacks::setBind(const NodePtr& node, bool bind, Cascade& cascade) {
  int kind = stackOf(*node);
  if (kind < 0) return;
  auto& stack = stacks_[size_t(kind)];
  auto at = std::find_if(stack.begin(), stack.end(),
                         [&](const std::weak_ptr<Node>& e) { return sameNode(e, node.get()); });
  if (!bind) {
    if (at != stack.end()) takeOff(stack, size_t(at - stack.begin()), cascade);
    return;
  }
  if (at != stack.end() && at + 1 == stack.end()) return;  // already bound
  NodePtr old = stack.empty() ? nullptr : stack.back().lock();
  if (at != stack.end()) stack.erase(at);
  stack.push_back(node);
  if (old) announce(old, false, cascade);
  announce(node, true, cascade);
}

void BindableStacks::takeOff(std::vector<std::weak_ptr<Node>>& stack, size_t at,
                             Cascade& cascade) {
  const bool wasTop = at + 1 == stack.size();
  NodePtr node = stack[at].lock();
  stack.erase(stack.begin() + std::ptrdiff_t(at));
  if (!wasTop) return;
  if (node) announce(node, false, cascade);
  while (!stack.empty()) {
    if (NodePtr next = stack.back().lock()) {
      announce(next, true, cascade);
      return;
    }
    stack.pop_back();
  }
}

void BindableStacks::keepOnly(const std::unordered_set<const Node*>& live, Cascade& cascade) {
  for (auto& stack : stacks_) {
    // From the bottom up, so a removed top hands over to a node that stays.
    for (size_t i = 0; i < stack.size();) {
      NodePtr n = stack[i].lock();
      if (n && live.count(n.get())) {
        ++i;
      } else {
        takeOff(stack, i, cascade);
      }
    }
  }
}

void BindableStacks::clear() {
  for (auto& stack : stacks_) stack.clear();
}

void BindableStacks::announce(const NodePtr& node, bool bound, Cascade& cascade) {
  emitEventOut(node, "isBound", FieldValue{FieldType::SFBool, bound}, cascade);
  if (bound) emitEventOut(node, "bindTime", FieldValue{FieldType::SFTime, cascade.time()}, cascade);
  if (cascade.changes()) cascade.changes()->noteBinding();
}

bool BindableStacks::empty() const {
  return std::all_of(stacks_.begin(), stacks_.end(), [](const auto& s) { return s.empty(); });
}

BoundNodes BindableStacks::bound() const {
  auto top = [this](size_t kind) -> const Node* {
    const auto& stack = stacks_[kind];
    return stack.empty() ? nullptr : stack.back().lock().get();
  };
  return BoundNodes{top(0), top(1), top(2), top(3)};
}

std::vector<NodePtr> BindableStacks::stack(size_t kind) const {
  std::vector<NodePtr> out;
  for (const auto& e : stacks_.at(kind))
    if (NodePtr n = e.lock()) out.push_back(n);
  return out;
}

}  // namespace kestrel
