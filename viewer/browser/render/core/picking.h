// Picking: which visible geometry a ray from the eye through a point of the
// picture hits first, found on the same triangle meshes the renderer draws.
//
// The walk follows what traversal draws (Transform, Group, Anchor,
// Collision, Billboard, the chosen Switch child and LOD level, Inline,
// PROTO instances). Each shape's mesh is made once and kept with its
// bounding box; a ray that misses a shape's box never looks at its
// triangles. Triangles of solid geometry are hit only from their front;
// lines and points are never hit.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "viewer/browser/render/core/camera.h"
#include "viewer/browser/render/core/mesh.h"

namespace kestrel {

// A half-line in world coordinates; DIRECTION has unit length.
struct PickRay {
  Vec3f origin;
  Vec3f direction{0, 0, -1};
};

// The ray from CAMERA's eye through the point X, Y (pixels, y down) of a
// WIDTH x HEIGHT picture.
PickRay rayThroughPixel(const Camera& camera, float x, float y, int width, int height);

// RAY carried into the coordinate system whose local-to-world matrix is
// TOLOCAL's inverse: TOLOCAL maps world to local. The direction is left
// unnormalised, so distances along it stay comparable.
PickRay transformRay(const PickRay& ray, const Mat4& toLocal);

struct PickHit {
  float distance = 0;  // from the ray's origin, world units
  Vec3f point;         // world
  Vec3f normal;        // world, unit, facing the ray
  Vec2f texCoord;
  // The nodes from a root down to the Shape and its geometry (PROTO
  // instances as written in the scene, not their bodies).
  std::vector<NodePtr> path;
  // For each node of PATH: the local-to-world matrix of the coordinate
  // system its children live in (a Transform's includes its own matrix).
  // The last one is the geometry's.
  std::vector<Mat4> frames;
  // Where relative URLs of the hit geometry's nodes resolve.
  std::string baseDir;

  bool hit() const { return !path.empty(); }
  const Mat4& geometryToWorld() const { return frames.back(); }
};

// The node a PROTO instance stands for (its first body node, followed
// through nested instances); NODE itself otherwise.
NodePtr actualNodePtr(const NodePtr& node);

class Picker {
 public:
  // The nearest geometry of ROOTS that RAY hits; no path when none.
  // VIEWER chooses LOD levels and turns Billboards as drawing does.
  PickHit pick(const std::vector<NodePtr>& roots, const std::string& baseDir,
               const Viewer& viewer, const PickRay& ray);

  // Forgets the kept meshes (call when geometry changed).
  void clearCache() { meshes_.clear(); }

  struct Cached {
    std::weak_ptr<Node> node;  // tells a reused address from the node itself
    Mesh mesh;
    Vec3f lo, hi;  // bounding box; lo > hi when the mesh has no triangles
    // The boxes of runs of kChunk triangles in mesh order (neighbours in a
    // grid or strip), so a ray looks only at the runs it passes through.
    static constexpr size_t kChunk = 256;
    std::vector<std::pair<Vec3f, Vec3f>> chunks;
  };
  // The mesh of GEOMETRY, made at first use.
  const Cached& meshOf(const NodePtr& geometry);

 private:
  std::unordered_map<const Node*, Cached> meshes_;
};

}  // namespace kestrel
