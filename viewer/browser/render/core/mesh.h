// A tessellated geometry node: unindexed triangles, line segments or
// points with per-vertex normal, colour and texture coordinate, ready to
// be uploaded as one vertex buffer.
//
// Triangles always wind counter-clockwise seen from their front side
// (a node's ccw FALSE is undone while tessellating).
#pragma once

#include <vector>

#include "viewer/browser/field_value.h"

namespace kestrel {

struct Mesh {
  enum class Kind { Triangles, Lines, Points } kind = Kind::Triangles;
  std::vector<Vec3f> positions;
  std::vector<Vec3f> normals;    // Triangles: one per position
  std::vector<Vec3f> colors;     // empty, or one per position
  std::vector<Vec2f> texCoords;  // Triangles: one per position
  bool solid = true;             // back faces may be culled

  size_t vertexCount() const { return positions.size(); }
  bool empty() const { return positions.empty(); }
  bool hasColors() const { return !colors.empty(); }
  // Grows [LO, HI] to hold every position; false when there is none.
  bool bounds(Vec3f& lo, Vec3f& hi) const;
};

}  // namespace kestrel
