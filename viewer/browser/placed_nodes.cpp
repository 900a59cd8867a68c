#include "viewer/browser/placed_nodes.h"

#include <unordered_set>

#include "viewer/browser/lod_selection.h"
#include "viewer/browser/scene.h"

namespace kestrel {
namespace {

constexpr size_t kMaxDepth = 256;

template <class T>
T valueOr(const Node& n, std::string_view name, T fallback) {
  const FieldValue* v = n.field(name);
  const T* p = v ? v->as<T>() : nullptr;
  return p ? *p : fallback;
}

const std::vector<NodePtr>& nodesOf(const Node& n, std::string_view name) {
  static const std::vector<NodePtr> none;
  const FieldValue* v = n.field(name);
  const auto* p = v ? v->as<std::vector<NodePtr>>() : nullptr;
  return p ? *p : none;
}

class PlacedWalk {
 public:
  PlacedWalk(Vec3f viewer, const PlacedVisit& visit) : viewer_(viewer), visit_(visit) {}

  void nodes(const std::vector<NodePtr>& list, const Mat4& m) {
    for (const NodePtr& n : list) node(n, m);
  }

 private:
  void node(const NodePtr& n, const Mat4& m) {
    if (!n || parents_.size() >= kMaxDepth || !path_.insert(n.get()).second) return;
    const bool deeper = visit_(PlacedNode{n, m, parents_});
    parents_.push_back(n.get());
    if (deeper && !n->extras().protoBody.empty()) {
      nodes(n->extras().protoBody, m);
    } else if (deeper && n->type->standard) {
      below(*n, m);
    }
    parents_.pop_back();
    path_.erase(n.get());
  }

  void below(const Node& n, const Mat4& m) {
    switch (n.type->kind) {
      case NodeKind::Transform: nodes(nodesOf(n, "children"), m * transformOfNode(n)); break;
      case NodeKind::Group:
      case NodeKind::Anchor:
      case NodeKind::Collision:
      case NodeKind::Billboard: nodes(nodesOf(n, "children"), m); break;
      case NodeKind::Switch: {
        const auto& choice = nodesOf(n, "choice");
        int32_t w = valueOr<int32_t>(n, "whichChoice", -1);
        if (w >= 0 && size_t(w) < choice.size()) node(choice[size_t(w)], m);
        break;
      }
      case NodeKind::LOD: {
        const auto& level = nodesOf(n, "level");
        if (level.empty()) break;
        Vec3f local = m.inverse().transformPoint(viewer_);
        node(level[lodLevel(*n.field("range")->as<std::vector<float>>(),
                            valueOr(n, "center", Vec3f{}), local, level.size())],
             m);
        break;
      }
      case NodeKind::Inline:
        if (n.extras().inlineScene) nodes(n.extras().inlineScene->rootNodes(), m);
        break;
      default: break;
    }
  }

  Vec3f viewer_;
  const PlacedVisit& visit_;
  std::unordered_set<const Node*> path_;
  std::vector<const Node*> parents_;
};

}  // namespace

Mat4 transformOfNode(const Node& n) {
  return transformMatrix(valueOr(n, "translation", Vec3f{}), valueOr(n, "rotation", Rotation{}),
                         valueOr(n, "scale", Vec3f{1, 1, 1}),
                         valueOr(n, "scaleOrientation", Rotation{}),
                         valueOr(n, "center", Vec3f{}));
}

void forEachPlacedNode(const std::vector<NodePtr>& roots, Vec3f viewer, const PlacedVisit& visit,
                       const Mat4& start) {
  PlacedWalk(viewer, visit).nodes(roots, start);
}

}  // namespace kestrel
