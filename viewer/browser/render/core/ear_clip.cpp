// Ear clipping for concave faces.
#include <cmath>

#include "viewer/browser/render/core/face_set.h"

namespace kestrel {
namespace {

float cross2(Vec2f o, Vec2f a, Vec2f b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

bool inTriangle(Vec2f p, Vec2f a, Vec2f b, Vec2f c) {
  return cross2(a, b, p) >= 0 && cross2(b, c, p) >= 0 && cross2(c, a, p) >= 0;
}

}  // namespace

void triangulatePolygon(const std::vector<Vec2f>& poly, std::vector<int>& triangles) {
  int n = static_cast<int>(poly.size());
  if (n < 3) return;
  double area = 0;
  for (int i = 0; i < n; ++i) {
    const Vec2f& a = poly[static_cast<size_t>(i)];
    const Vec2f& b = poly[static_cast<size_t>((i + 1) % n)];
    area += static_cast<double>(a.x) * b.y - static_cast<double>(b.x) * a.y;
  }
  bool ccw = area >= 0;
  // Work on a counter-clockwise copy; emit triangles in the input winding.
  std::vector<int> ring;
  ring.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) ring.push_back(ccw ? i : n - 1 - i);
  auto at = [&](int k) { return poly[static_cast<size_t>(ring[static_cast<size_t>(k)])]; };
  auto emit = [&](int a, int b, int c) {
    if (ccw) {
      triangles.insert(triangles.end(), {a, b, c});
    } else {
      triangles.insert(triangles.end(), {a, c, b});
    }
  };
  int guard = 0;
  size_t i = 0;
  while (ring.size() > 3 && guard < 2 * n * n + 10) {
    ++guard;
    int m = static_cast<int>(ring.size());
    int k = static_cast<int>(i % ring.size());
    int prev = (k + m - 1) % m, next = (k + 1) % m;
    Vec2f a = at(prev), b = at(k), c = at(next);
    bool ear = cross2(a, b, c) > 0;
    for (int j = 0; ear && j < m; ++j) {
      if (j == prev || j == k || j == next) continue;
      Vec2f p = at(j);
      if ((p.x == a.x && p.y == a.y) || (p.x == b.x && p.y == b.y) ||
          (p.x == c.x && p.y == c.y))
        continue;
      if (inTriangle(p, a, b, c)) ear = false;
    }
    if (ear) {
      emit(ring[static_cast<size_t>(prev)], ring[static_cast<size_t>(k)],
           ring[static_cast<size_t>(next)]);
      ring.erase(ring.begin() + k);
      guard = 0;
    } else {
      ++i;
    }
    if (guard > static_cast<int>(ring.size()) + 1) break;  // no ear left: not simple
  }
  // What is left (a triangle, or a non-simple remainder) becomes a fan.
  for (size_t j = 1; j + 1 < ring.size(); ++j) emit(ring[0], ring[j], ring[j + 1]);
}

}  // namespace kestrel
