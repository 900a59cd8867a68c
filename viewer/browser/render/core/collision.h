// The collidable surfaces of a scene, for the navigator's collisions and
// gravity: the world-space triangles of every Shape except those under a
// Collision whose collide is FALSE; a Collision's proxy stands in for its
// children (collided with, never drawn). Each part knows the innermost
// Collision group it belongs to, which is told when the viewer hits it.
// Plain data built from the scene graph; one owner, not thread-safe.
#pragma once

#include <unordered_map>
#include <vector>

#include "viewer/browser/render/core/math3d.h"
#include "viewer/browser/node.h"

namespace kestrel {

class CollisionScene {
 public:
  // Gathers the surfaces under ROOTS; VIEWER (world) chooses LOD levels.
  // Each geometry node is tessellated once and kept until forgetMeshes().
  void build(const std::vector<NodePtr>& roots, Vec3f viewer);
  void clear() { parts_.clear(); }
  // Geometry nodes changed or left the scene: tessellate afresh.
  void forgetMeshes() { meshes_.clear(); }
  bool empty() const { return parts_.empty(); }

  // Whether a surface comes within RADIUS of P; GROUP (when given) gets the
  // Collision node around the surface met (null outside any).
  bool touches(Vec3f p, float radius, const Node** group = nullptr) const;
  // The distance from P down (along -UP) to the nearest surface, looking
  // at most REACH far; false when nothing is there.
  bool groundBelow(Vec3f p, Vec3f up, float reach, float& distance) const;

 private:
  struct Part {
    std::vector<Vec3f> triangles;  // three corners each, world
    Vec3f lo, hi;                  // their box
    const Node* group = nullptr;
  };
  void addShape(const Node& shape, const Mat4& toWorld, const Node* group);

  std::vector<Part> parts_;
  std::unordered_map<const Node*, std::vector<Vec3f>> meshes_;  // triangle corners, local
};

}  // namespace kestrel
