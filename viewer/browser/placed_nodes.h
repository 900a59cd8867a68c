// Walking the live scene with the matrix that places each node in the
// world: Transforms compose; Group, Anchor, Collision and Billboard (not
// turned: nothing here depends on its turn) pass their children on; a
// Switch its chosen child, an LOD the level for the viewer; Inlines their
// loaded scene; PROTO instances every node of their body. A node that
// contains itself is not followed again.
#pragma once

#include <functional>

#include "viewer/browser/render/core/math3d.h"
#include "viewer/browser/node.h"

namespace kestrel {

// One node met by the walk.
struct PlacedNode {
  const NodePtr& node;
  const Mat4& toWorld;                      // the node's local-to-world matrix
  const std::vector<const Node*>& parents;  // outermost first
};
// Returns false to skip what is below the node.
using PlacedVisit = std::function<bool(const PlacedNode&)>;

// VISIT for every node met under ROOTS, which START places in the world;
// VIEWER (world) chooses LOD levels.
void forEachPlacedNode(const std::vector<NodePtr>& roots, Vec3f viewer, const PlacedVisit& visit,
                       const Mat4& start = Mat4{});

// The matrix a Transform node applies to its children.
Mat4 transformOfNode(const Node& transform);

}  // namespace kestrel
