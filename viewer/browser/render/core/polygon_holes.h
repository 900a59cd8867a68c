// Filling a shape bounded by several closed contours, as glyph outlines
// are: contours inside an odd number of others are holes ('o', 'A', 'B'),
// those inside an even number are outlines (the dot inside a ring).
// Plain code, no OpenGL.
#pragma once

#include <vector>

#include "viewer/browser/field_value.h"

namespace kestrel {

struct FilledShape {
  // The cleaned contours, each an open ring (last point not repeated),
  // oriented so the filled side is on the left: outlines counter-clockwise,
  // holes clockwise. Side walls of extruded text follow these.
  std::vector<std::vector<Vec2f>> rings;
  // The corners of the triangles and their index triples, counter-clockwise.
  std::vector<Vec2f> points;
  std::vector<int> triangles;
};

// How outlines and holes are told apart.
enum class FillRule {
  Nesting,  // inside an odd number of other contours: a hole (any winding)
  Winding,  // non-zero winding, as fonts fill: a contour with no fill just
            // inside is a hole, in the smallest outline around it; parts
            // may overlap
};

// Triangulates the region enclosed by CONTOURS. Repeated points,
// straight-through points and contours without area are dropped first.
// Each contour is expected to be simple; where outlines overlap (Winding)
// the overlap is covered twice, and crossing contours still give
// triangles, only not an exact fill.
FilledShape fillContours(const std::vector<std::vector<Vec2f>>& contours,
                         FillRule rule = FillRule::Nesting);

}  // namespace kestrel
