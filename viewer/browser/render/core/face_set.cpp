#include "viewer/browser/render/core/face_set.h"

#include <algorithm>
#include <cmath>

#include "viewer/browser/render/core/math3d.h"

namespace kestrel {
namespace {

struct Face {
  size_t begin = 0, end = 0;  // corner positions in coordIndex
  int number = 0;             // counts every face of the input
  Vec3f normal;               // unit, towards the front side
};

template <class T>
bool pick(const std::vector<T>* values, const std::vector<int32_t>* index, size_t pos,
          int32_t fallbackIndex, T& out) {
  if (!values || values->empty()) return false;
  int32_t i = fallbackIndex;
  if (index && !index->empty()) {
    if (pos >= index->size()) return false;
    i = (*index)[pos];
  }
  if (i < 0 || static_cast<size_t>(i) >= values->size()) return false;
  out = (*values)[static_cast<size_t>(i)];
  return true;
}

Vec3f newellNormal(const std::vector<Vec3f>& c, const std::vector<int32_t>& idx, size_t b,
                   size_t e) {
  Vec3f n;
  for (size_t k = b; k < e; ++k) {
    Vec3f p = c[static_cast<size_t>(idx[k])];
    Vec3f q = c[static_cast<size_t>(idx[k + 1 < e ? k + 1 : b])];
    n.x += (p.y - q.y) * (p.z + q.z);
    n.y += (p.z - q.z) * (p.x + q.x);
    n.z += (p.x - q.x) * (p.y + q.y);
  }
  return n;
}

std::vector<Face> splitFaces(const FaceSetInput& in) {
  const auto& c = *in.coords;
  const auto& idx = *in.coordIndex;
  std::vector<Face> faces;
  size_t start = 0;
  int number = 0;
  for (size_t k = 0; k <= idx.size(); ++k) {
    if (k < idx.size() && idx[k] >= 0) continue;
    Face f{start, k, number++, {}};
    start = k + 1;
    if (f.end - f.begin < 3) continue;
    bool valid = true;
    for (size_t j = f.begin; j < f.end && valid; ++j)
      valid = static_cast<size_t>(idx[j]) < c.size();
    if (!valid) continue;
    Vec3f n = newellNormal(c, idx, f.begin, f.end);
    if (length(n) < 1e-20f) continue;
    f.normal = normalized(n) * (in.ccw ? 1.0f : -1.0f);
    faces.push_back(f);
  }
  return faces;
}

// Triangles of one face as corner positions, wound counter-clockwise
// about the face's front normal.
void faceTriangles(const FaceSetInput& in, const Face& f, std::vector<size_t>& out) {
  const auto& c = *in.coords;
  const auto& idx = *in.coordIndex;
  size_t n = f.end - f.begin;
  std::vector<int> tris;
  if (n == 3 || in.convex) {
    for (size_t j = 1; j + 1 < n; ++j) tris.insert(tris.end(), {0, int(j), int(j + 1)});
  } else {
    Vec3f a{std::fabs(f.normal.x), std::fabs(f.normal.y), std::fabs(f.normal.z)};
    std::vector<Vec2f> poly;
    for (size_t j = f.begin; j < f.end; ++j) {
      Vec3f p = c[static_cast<size_t>(idx[j])];
      if (a.z >= a.x && a.z >= a.y) poly.push_back({p.x, p.y});
      else if (a.y >= a.x) poly.push_back({p.z, p.x});
      else poly.push_back({p.y, p.z});
    }
    triangulatePolygon(poly, tris);
  }
  for (size_t t = 0; t + 2 < tris.size(); t += 3) {
    size_t a = f.begin + static_cast<size_t>(tris[t]);
    size_t b = f.begin + static_cast<size_t>(tris[t + 1]);
    size_t d = f.begin + static_cast<size_t>(tris[t + 2]);
    if (!in.ccw) std::swap(b, d);
    out.insert(out.end(), {a, b, d});
  }
}

struct TexMap {
  int s = 0, t = 1;
  Vec3f lo;
  float size = 1;
};

TexMap defaultTexMap(const std::vector<Vec3f>& c) {
  Vec3f lo = c.empty() ? Vec3f{} : c[0], hi = lo;
  for (const Vec3f& p : c) {
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
  float e[3] = {hi.x - lo.x, hi.y - lo.y, hi.z - lo.z};
  int order[3] = {0, 1, 2};
  std::stable_sort(order, order + 3, [&](int x, int y) { return e[x] > e[y]; });
  TexMap m{order[0], order[1], lo, e[order[0]] > 0 ? e[order[0]] : 1};
  return m;
}

// The normal a flat-shaded triangle (corners K..K+2) shows: its face's
// when the face is flat, its own when the face is bent (an ElevationGrid
// cell, a non-planar polygon). One normal for a bent face can point away
// from the viewer on a triangle that faces him, which then shows black.
Vec3f facetNormal(const FaceSetInput& in, const Face& f, const std::vector<size_t>& corners,
                  size_t k) {
  const auto& c = *in.coords;
  const auto& idx = *in.coordIndex;
  Vec3f a = c[static_cast<size_t>(idx[corners[k]])];
  Vec3f b = c[static_cast<size_t>(idx[corners[k + 1]])];
  Vec3f d = c[static_cast<size_t>(idx[corners[k + 2]])];
  Vec3f own = cross(b - a, d - a);
  if (length(own) < 1e-12f) return f.normal;
  own = normalized(own);
  return dot(own, f.normal) >= 0.99985f ? f.normal : own;  // within 1 degree: flat
}

float component(Vec3f v, int i) { return i == 0 ? v.x : i == 1 ? v.y : v.z; }

}  // namespace

Mesh buildFaceSet(const FaceSetInput& in) {
  Mesh mesh;
  mesh.solid = in.solid;
  if (!in.coords || !in.coordIndex) return mesh;
  const auto& c = *in.coords;
  const auto& idx = *in.coordIndex;
  std::vector<Face> faces = splitFaces(in);

  bool smooth = in.creaseAngle > 0 && !(in.normals && !in.normals->empty());
  std::vector<std::vector<int>> facesAt;  // coordinate -> faces around it
  if (smooth) {
    facesAt.resize(c.size());
    for (size_t f = 0; f < faces.size(); ++f)
      for (size_t j = faces[f].begin; j < faces[f].end; ++j)
        facesAt[static_cast<size_t>(idx[j])].push_back(static_cast<int>(f));
  }
  float cosCrease = std::cos(std::min(in.creaseAngle, 3.14159265f));
  TexMap tm = defaultTexMap(c);
  bool colored = in.colors && !in.colors->empty();

  std::vector<size_t> corners;
  for (size_t fi = 0; fi < faces.size(); ++fi) {
    const Face& f = faces[fi];
    corners.clear();
    faceTriangles(in, f, corners);
    Vec3f facet = f.normal;
    for (size_t k = 0; k < corners.size(); ++k) {
      size_t pos = corners[k];
      int32_t ci = idx[pos];
      Vec3f p = c[static_cast<size_t>(ci)];
      mesh.positions.push_back(p);
      if (k % 3 == 0 && k + 2 < corners.size()) facet = facetNormal(in, f, corners, k);
      Vec3f n = smooth ? f.normal : facet;
      bool given = in.normalPerVertex
                       ? pick(in.normals, in.normalIndex, pos, ci, n)
                       : pick(in.normals, in.normalIndex, static_cast<size_t>(f.number),
                              f.number, n);
      if (given) {
        n = normalized(n);
      } else if (smooth) {
        Vec3f sum;
        for (int other : facesAt[static_cast<size_t>(ci)]) {
          Vec3f on = faces[static_cast<size_t>(other)].normal;
          if (dot(on, f.normal) >= cosCrease - 1e-6f) sum = sum + on;
        }
        n = length(sum) > 1e-12f ? normalized(sum) : f.normal;
      }
      mesh.normals.push_back(n);
      if (colored) {
        Vec3f col{1, 1, 1};
        if (in.colorPerVertex)
          pick(in.colors, in.colorIndex, pos, ci, col);
        else
          pick(in.colors, in.colorIndex, static_cast<size_t>(f.number), f.number, col);
        mesh.colors.push_back(col);
      }
      Vec2f tc{(component(p, tm.s) - component(tm.lo, tm.s)) / tm.size,
               (component(p, tm.t) - component(tm.lo, tm.t)) / tm.size};
      pick(in.texCoords, in.texCoordIndex, pos, ci, tc);
      mesh.texCoords.push_back(tc);
    }
  }
  return mesh;
}

}  // namespace kestrel
