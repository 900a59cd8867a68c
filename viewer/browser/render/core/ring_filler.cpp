#include "viewer/browser/render/core/ring_filler.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kestrel::ringfill {

double cross(P o, P a, P b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }
bool same(P a, P b) { return a.x == b.x && a.y == b.y; }

double signedArea(const std::vector<P>& r) {
  double s = 0;
  for (size_t i = 0; i < r.size(); ++i) {
    const P& a = r[i];
    const P& b = r[(i + 1) % r.size()];
    s += a.x * b.y - b.x * a.y;
  }
  return s / 2;
}

bool insideRing(P p, const std::vector<P>& r) {
  bool in = false;
  for (size_t i = 0, j = r.size() - 1; i < r.size(); j = i++) {
    if ((r[i].y > p.y) != (r[j].y > p.y) &&
        p.x < (r[j].x - r[i].x) * (p.y - r[i].y) / (r[j].y - r[i].y) + r[i].x)
      in = !in;
  }
  return in;
}

namespace {

// Inside or on the border of triangle ABC, whichever way it winds.
bool inTriangle(P p, P a, P b, P c) {
  double d1 = cross(a, b, p), d2 = cross(b, c, p), d3 = cross(c, a, p);
  bool neg = d1 < 0 || d2 < 0 || d3 < 0, pos = d1 > 0 || d2 > 0 || d3 > 0;
  return !(neg && pos);
}

class Filler {
 public:
  Filler(const std::vector<P>& pts, double eps, std::vector<int>& tris)
      : pts_(pts), eps_(eps), tris_(tris) {}

  // OUTER counter-clockwise, HOLES clockwise, all inside OUTER.
  void fill(std::vector<int> outer, std::vector<std::vector<int>> holes) {
    auto maxX = [&](const std::vector<int>& h) {
      double m = -std::numeric_limits<double>::infinity();
      for (int i : h) m = std::max(m, at(i).x);
      return m;
    };
    std::sort(holes.begin(), holes.end(),
              [&](const auto& a, const auto& b) { return maxX(a) > maxX(b); });
    for (const auto& h : holes) bridge(outer, h);
    clip(outer);
  }

 private:
  const std::vector<P>& pts_;
  double eps_;
  std::vector<int>& tris_;
  const P& at(int i) const { return pts_[static_cast<size_t>(i)]; }

  // Whether the direction from ring corner K towards B lies inside the
  // polygon's angle at K (the ring being counter-clockwise).
  bool locallyInside(const std::vector<int>& r, size_t k, P b) const {
    size_t n = r.size();
    P p = at(r[(k + n - 1) % n]), a = at(r[k]), q = at(r[(k + 1) % n]);
    if (cross(p, a, q) >= 0) return cross(a, q, b) >= 0 && cross(a, p, b) <= 0;
    return !(cross(a, p, b) > 0 && cross(a, q, b) < 0);
  }

  void bridge(std::vector<int>& r, const std::vector<int>& hole) {
    size_t m = 0;
    for (size_t i = 1; i < hole.size(); ++i)
      if (at(hole[i]).x > at(hole[m]).x) m = i;
    P mp = at(hole[m]);
    // The nearest edge crossed by a ray from M towards +x.
    double bestX = std::numeric_limits<double>::infinity();
    int target = -1;
    for (size_t k = 0; k < r.size(); ++k) {
      P a = at(r[k]), b = at(r[(k + 1) % r.size()]);
      if (a.y == b.y || std::min(a.y, b.y) > mp.y || std::max(a.y, b.y) < mp.y) continue;
      double x = a.x + (mp.y - a.y) * (b.x - a.x) / (b.y - a.y);
      if (x < mp.x || x >= bestX) continue;
      bestX = x;
      if (a.y == mp.y && a.x == x) target = r[k];
      else if (b.y == mp.y && b.x == x) target = r[(k + 1) % r.size()];
      else target = a.x > b.x ? r[k] : r[(k + 1) % r.size()];
    }
    P hit{bestX, mp.y};
    if (target >= 0 && !same(hit, at(target))) {
      // A corner inside the triangle M, hit point, target would block the
      // view; the one nearest in angle to the ray is visible.
      P t = at(target);
      double bestTan = std::numeric_limits<double>::infinity(), bestD = bestTan;
      for (int i : r) {
        P v = at(i);
        if (i == target || v.x < mp.x || same(v, t) || !inTriangle(v, mp, hit, t)) continue;
        double tan = std::abs(v.y - mp.y) / std::max(v.x - mp.x, 1e-300);
        double d = std::hypot(v.x - mp.x, v.y - mp.y);
        if (tan < bestTan || (tan == bestTan && d < bestD)) bestTan = tan, bestD = d, target = i;
      }
    }
    size_t k = r.size(), firstCopy = 0;
    for (size_t i = 0; i < r.size(); ++i) {
      if (target >= 0 && r[i] != target) continue;
      if (target >= 0 && r[firstCopy] != target) firstCopy = i;
      if (!locallyInside(r, i, mp)) continue;
      if (target < 0) {  // nothing hit (a malformed outline): take the nearest corner
        auto dist = [&](size_t j) { return std::hypot(at(r[j]).x - mp.x, at(r[j]).y - mp.y); };
        if (k < r.size() && dist(k) <= dist(i)) continue;
      }
      k = i;
      if (target >= 0) break;
    }
    if (k == r.size()) k = firstCopy;
    std::vector<int> out(r.begin(), r.begin() + static_cast<long>(k) + 1);
    for (size_t i = 0; i <= hole.size(); ++i) out.push_back(hole[(m + i) % hole.size()]);
    out.insert(out.end(), r.begin() + static_cast<long>(k), r.end());
    r = std::move(out);
  }

  bool isEar(const std::vector<int>& r, size_t prev, size_t k, size_t next) const {
    P a = at(r[prev]), b = at(r[k]), c = at(r[next]);
    for (size_t j = 0; j < r.size(); ++j) {
      if (j == prev || j == k || j == next) continue;
      P v = at(r[j]);
      if (same(v, a) || same(v, b) || same(v, c)) continue;
      if (inTriangle(v, a, b, c)) return false;
    }
    return true;
  }

  void clip(std::vector<int>& r) {
    size_t start = 0;
    while (r.size() > 3) {
      size_t n = r.size(), chosen = n, best = n;
      bool emit = true;
      double bestCross = 0;
      for (size_t s = 0; s < n; ++s) {
        size_t k = (start + s) % n, prev = (k + n - 1) % n, next = (k + 1) % n;
        double c = cross(at(r[prev]), at(r[k]), at(r[next]));
        if (std::abs(c) <= eps_) {  // flat corner or a collapsed bridge: no area to fill
          chosen = k;
          emit = false;
          break;
        }
        if (c < 0) continue;
        if (c > bestCross) bestCross = c, best = k;
        if (isEar(r, prev, k, next)) {
          chosen = k;
          break;
        }
      }
      // No clean ear means the outline touches or crosses itself; cutting
      // the widest convex corner keeps the fill going.
      if (chosen == n) chosen = best;
      if (chosen == n) return;
      if (emit) tris_.insert(tris_.end(), {r[(chosen + n - 1) % n], r[chosen], r[(chosen + 1) % n]});
      r.erase(r.begin() + static_cast<long>(chosen));
      start = chosen;
    }
    if (r.size() == 3 && cross(at(r[0]), at(r[1]), at(r[2])) > eps_)
      tris_.insert(tris_.end(), {r[0], r[1], r[2]});
  }
};

}  // namespace

void fillRing(const std::vector<P>& pts, std::vector<int> outer,
              std::vector<std::vector<int>> holes, double eps, std::vector<int>& tris) {
  Filler(pts, eps, tris).fill(std::move(outer), std::move(holes));
}

}  // namespace kestrel::ringfill
