// Outlines with holes: contours are cleaned, told apart into outlines and
// holes, and each outline is filled with its holes by ring_filler.
#include "viewer/browser/render/core/polygon_holes.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "viewer/browser/render/core/ring_filler.h"

namespace kestrel {
namespace {

using ringfill::P;
using ringfill::cross;
using ringfill::insideRing;
using ringfill::same;
using ringfill::signedArea;

// Drops repeated points and points where the outline runs straight on or
// turns straight back; what is left has a real corner at every point.
std::vector<P> cleaned(const std::vector<Vec2f>& in, double eps) {
  std::vector<P> r;
  for (const Vec2f& v : in) {
    P p{v.x, v.y};
    if (std::isfinite(p.x) && std::isfinite(p.y) && (r.empty() || !same(r.back(), p)))
      r.push_back(p);
  }
  while (r.size() > 1 && same(r.front(), r.back())) r.pop_back();
  bool changed = true;
  while (changed && r.size() >= 3) {
    changed = false;
    for (size_t i = 0; i < r.size() && r.size() >= 3; ++i) {
      P a = r[(i + r.size() - 1) % r.size()], c = r[(i + 1) % r.size()];
      if (std::abs(cross(a, r[i], c)) <= eps || same(a, r[i]) || same(a, c)) {
        r.erase(r.begin() + static_cast<long>(i));
        changed = true;
      }
    }
  }
  if (r.size() < 3 || std::abs(signedArea(r)) <= eps) r.clear();
  return r;
}

// For each ring, whether it is a hole and (for holes) the outline it lies in.
void classify(std::vector<std::vector<P>>& rings, FillRule rule, std::vector<bool>& hole,
              std::vector<int>& parent) {
  size_t n = rings.size();
  hole.assign(n, false);
  parent.assign(n, -1);
  std::vector<int> depth(n, 0);
  if (rule == FillRule::Nesting) {
    for (size_t i = 0; i < n; ++i)
      for (size_t j = 0; j < n; ++j)
        if (i != j && insideRing(rings[i][0], rings[j])) ++depth[i];
    for (size_t i = 0; i < n; ++i) hole[i] = depth[i] % 2 == 1;
  } else {
    // The winding number just outside and just inside each contour: a
    // contour with fill on one side only bounds the fill. One with fill on
    // both sides (parts that overlap) goes by its own direction.
    for (size_t i = 0; i < n; ++i) {
      int own = signedArea(rings[i]) > 0 ? 1 : -1, outside = 0;
      for (size_t j = 0; j < n; ++j)
        if (i != j && insideRing(rings[i][0], rings[j])) outside += signedArea(rings[j]) > 0 ? 1 : -1;
      int inside = outside + own;
      hole[i] = (inside == 0) || (outside == 0 ? false : own < 0);
    }
  }
  for (size_t i = 0; i < n; ++i)
    if ((signedArea(rings[i]) > 0) == hole[i]) std::reverse(rings[i].begin(), rings[i].end());
  for (size_t h = 0; h < n; ++h) {
    if (!hole[h]) continue;
    double smallest = std::numeric_limits<double>::infinity();
    for (size_t o = 0; o < n; ++o) {
      if (hole[o] || !insideRing(rings[h][0], rings[o])) continue;
      if (rule == FillRule::Nesting && depth[o] != depth[h] - 1) continue;
      double a = signedArea(rings[o]);
      if (a < smallest) smallest = a, parent[h] = int(o);
    }
  }
}

}  // namespace

FilledShape fillContours(const std::vector<std::vector<Vec2f>>& contours, FillRule rule) {
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  for (const auto& c : contours)
    for (const Vec2f& v : c)
      if (std::isfinite(v.x) && std::isfinite(v.y))
        lo = std::min({lo, double(v.x), double(v.y)}), hi = std::max({hi, double(v.x), double(v.y)});
  double extent = hi > lo ? hi - lo : 1;
  double eps = extent * extent * 1e-12;
  std::vector<std::vector<P>> rings;
  for (const auto& c : contours) {
    std::vector<P> r = cleaned(c, eps);
    if (!r.empty()) rings.push_back(std::move(r));
  }
  std::vector<bool> hole;
  std::vector<int> parent;
  classify(rings, rule, hole, parent);
  std::vector<P> pts;
  std::vector<std::vector<int>> indices;
  for (const auto& r : rings) {
    indices.emplace_back();
    for (const P& p : r) {
      indices.back().push_back(static_cast<int>(pts.size()));
      pts.push_back(p);
    }
  }
  FilledShape out;
  for (size_t o = 0; o < rings.size(); ++o) {
    if (hole[o]) continue;
    std::vector<std::vector<int>> holes;
    for (size_t h = 0; h < rings.size(); ++h)
      if (parent[h] == int(o)) holes.push_back(indices[h]);
    ringfill::fillRing(pts, indices[o], std::move(holes), eps, out.triangles);
  }
  // A hole in no outline (a malformed outline) has no wall either.
  for (size_t i = 0; i < rings.size(); ++i) {
    if (hole[i] && parent[i] < 0) continue;
    out.rings.emplace_back();
    for (const P& p : rings[i]) out.rings.back().push_back({float(p.x), float(p.y)});
  }
  for (const P& p : pts) out.points.push_back({float(p.x), float(p.y)});
  return out;
}

}  // namespace kestrel