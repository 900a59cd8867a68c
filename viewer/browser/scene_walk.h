// Graph walk used by the scene and the browser; included from scene.h.
#pragma once

#include <unordered_set>
#include <vector>

namespace kestrel {

template <class Visit>
void forEachNode(const std::vector<NodePtr>& roots, Visit&& visit) {
  std::unordered_set<const Node*> seen;
  std::vector<NodePtr> stack;
  for (auto it = roots.rbegin(); it != roots.rend(); ++it) {
    if (*it) stack.push_back(*it);
  }
  while (!stack.empty()) {
    NodePtr n = std::move(stack.back());
    stack.pop_back();
    if (!seen.insert(n.get()).second) continue;
    visit(n);
    n->forEachValueBackwards([&stack](const FieldValue& v) {
      if (const NodePtr* one = v.as<NodePtr>()) {
        if (*one) stack.push_back(*one);
      } else if (const auto* many = v.as<std::vector<NodePtr>>()) {
        for (auto c = many->rbegin(); c != many->rend(); ++c) {
          if (*c) stack.push_back(*c);
        }
      }
    });
  }
}

}  // namespace kestrel
