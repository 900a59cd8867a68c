// Turning indexed polygons into a triangle Mesh: the common ground of
// IndexedFaceSet, ElevationGrid and Extrusion.
//
// Faces are runs of COORDINDEX separated by -1. A face with fewer than three
// corners, an index outside COORDS, or no area is left out (it would draw
// nothing or read past the coordinates); the faces after it keep their
// numbers for per-face colours and normals. Colour, normal and texture
// indices outside their lists fall back to the generated value.
#pragma once

#include <cstdint>
#include <vector>

#include "viewer/browser/render/core/mesh.h"

namespace kestrel {

struct FaceSetInput {
  const std::vector<Vec3f>* coords = nullptr;
  const std::vector<int32_t>* coordIndex = nullptr;
  const std::vector<Vec3f>* colors = nullptr;  // may be null
  const std::vector<int32_t>* colorIndex = nullptr;
  bool colorPerVertex = true;
  const std::vector<Vec3f>* normals = nullptr;  // null: generated
  const std::vector<int32_t>* normalIndex = nullptr;
  bool normalPerVertex = true;
  const std::vector<Vec2f>* texCoords = nullptr;  // null: from the bounding box
  const std::vector<int32_t>* texCoordIndex = nullptr;
  bool ccw = true;
  bool convex = true;
  bool solid = true;
  float creaseAngle = 0;
};

Mesh buildFaceSet(const FaceSetInput& in);

// Triangulates the simple polygon POLY (2D, either winding) by ear
// clipping; appends index triples into POLY to TRIANGLES, each wound like
// POLY. Falls back to a fan when the polygon is not simple.
void triangulatePolygon(const std::vector<Vec2f>& poly, std::vector<int>& triangles);

}  // namespace kestrel
