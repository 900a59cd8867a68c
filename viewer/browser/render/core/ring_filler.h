// The inner steps of filling contours (polygon_holes): points in double
// precision, and one outline with its holes turned into triangles by
// bridging each hole into the outline (two coincident edges, there and
// back, towards a corner the hole can see) and ear-clipping the single
// ring that results.
#pragma once

#include <vector>

namespace kestrel::ringfill {

struct P {
  double x, y;
};

// Twice the signed area of triangle O A B: positive when it turns left.
double cross(P o, P a, P b);
bool same(P a, P b);
double signedArea(const std::vector<P>& ring);
// Even-odd test of P against the closed RING.
bool insideRing(P p, const std::vector<P>& ring);

// Triangulates OUTER (counter-clockwise) with HOLES (clockwise, inside
// it), all given as indices into PTS; appends counter-clockwise index
// triples to TRIS. Corners whose turn is within EPS count as straight.
// Always ends; a ring that touches or crosses itself fills approximately.
void fillRing(const std::vector<P>& pts, std::vector<int> outer,
              std::vector<std::vector<int>> holes, double eps, std::vector<int>& tris);

}  // namespace kestrel::ringfill
