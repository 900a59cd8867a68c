// Walking the scene graph into a DrawList.
//
// Grouping nodes (Group, Transform, Anchor, Collision, Billboard, Switch,
// LOD, Inline, PROTO instances) are followed; Transform matrices compose;
// Switch draws its chosen child, LOD the level for the viewer's distance,
// Billboard turns towards the viewer. A DirectionalLight lights its
// siblings and what is below them; PointLight and SpotLight light every
// shape. The bound Viewpoint, Background, Fog and NavigationInfo are the
// ones the browser's binding stacks name (BoundNodes); without them, the
// first of each met. A node that contains itself is not followed again.
#pragma once

#include <functional>

#include "viewer/browser/bindable_stacks.h"
#include "viewer/browser/render/core/draw_list.h"
#include "viewer/browser/scene.h"

namespace kestrel {

struct Viewer {
  Vec3f position{0, 0, 10};  // world
  Vec3f up{0, 1, 0};         // world
};

// Gathers what ROOTS draw, as seen by VIEWER (for LOD and Billboard).
// BASEDIR: the directory the roots' texture URLs resolve against. BOUND,
// when given, names the bound nodes (a node met nowhere on the drawn paths
// is placed in world coordinates).
DrawList collectDrawList(const std::vector<NodePtr>& roots, const std::string& baseDir,
                         const Viewer& viewer, const BoundNodes* bound = nullptr);

// Only the bound nodes (a quick walk; no shapes or lights).
Bindings findBindings(const std::vector<NodePtr>& roots, const BoundNodes* bound = nullptr);

// The Sound nodes ROOTS place, each with its world matrix, as seen by
// VIEWER (LOD and Billboard choose as for drawing).
std::vector<PlacedSound> findSounds(const std::vector<NodePtr>& roots, const std::string& baseDir,
                                    const Viewer& viewer);

// Puts the opaque items first, in scene order, and the transparent ones
// after them from far to near. CENTER gives a geometry's local centre;
// VIEW is the world-to-eye matrix.
void sortForDrawing(DrawList& list, const Mat4& view,
                    const std::function<Vec3f(const Node&)>& center);

// The matrix of a Transform node (its children to its parent).
Mat4 transformNodeMatrix(const Node& transform);
// The level LOD shows to VIEWER (null: the first) when its parent's
// local-to-world matrix is M.
size_t lodLevel(const Node& lod, const Mat4& m, const Viewer* viewer);
// The turn a Billboard under M makes towards VIEWER (null: none).
Mat4 billboardTurn(const Node& billboard, const Mat4& m, const Viewer* viewer);

// The node a PROTO instance stands for (its first body node, followed
// through nested instances); NODE itself otherwise. Null for null.
const Node* actualNode(const Node* node);

}  // namespace kestrel
