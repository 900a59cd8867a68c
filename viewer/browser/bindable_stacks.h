// The binding stacks of the four bindable node kinds (Viewpoint,
// Background, Fog, NavigationInfo): the node on top of each stack is the
// one the browser uses.
//
//   set_bind TRUE   moves the node to the top (pushing it when it was not
//                   on the stack); the old top gets isBound FALSE, the node
//                   isBound TRUE and bindTime. Binding the top again does
//                   nothing.
//   set_bind FALSE  takes the node off its stack; when it was the top it
//                   gets isBound FALSE and the next one down is bound again
//                   (isBound TRUE, bindTime). A node not on the stack
//                   ignores it.
// At load, the first node of each kind binds when its stack is empty, and
// a node that leaves the scene leaves its stack (unbinding as above).
// Window thread only.
#pragma once

#include <array>
#include <memory>
#include <unordered_set>
#include <vector>

#include "viewer/browser/node.h"


namespace kestrel {

class Cascade;

// The nodes on top of the stacks, null where a stack is empty.
struct BoundNodes {
  const Node* viewpoint = nullptr;
  const Node* background = nullptr;
  const Node* fog = nullptr;
  const Node* navigationInfo = nullptr;
};

class BindableStacks {
 public:
  static constexpr size_t kKinds = 4;
  // Which stack NODE belongs on: 0..3, or -1 for other nodes.
  static int stackOf(const Node& node);

  // NODES entered the scene in file order: the first of each kind binds
  // when its stack is empty.
  void entered(const std::vector<NodePtr>& nodes, Cascade& cascade);
  // A set_bind event of value BIND reached NODE.
  void setBind(const NodePtr& node, bool bind, Cascade& cascade);
  // Every stacked node not in LIVE left the scene: it leaves its stack.
  void keepOnly(const std::unordered_set<const Node*>& live, Cascade& cascade);
  // Forgets every node without events (the scene is being emptied).
  void clear();

  BoundNodes bound() const;
  bool empty() const;
  // The stack of kind KIND, bottom first (for tests and menus).
  std::vector<NodePtr> stack(size_t kind) const;

 private:
  void takeOff(std::vector<std::weak_ptr<Node>>& stack, size_t at, Cascade& cascade);
  static void announce(const NodePtr& node, bool bound, Cascade& cascade);

  std::array<std::vector<std::weak_ptr<Node>>, kKinds> stacks_;  // top last
};

}  // namespace kestrel
