// Extrusion: a cross-section swept along a spine, scaled and turned at
// each spine point, with optional caps.
#include <algorithm>
#include <cmath>

#include "viewer/browser/render/core/face_set.h"
#include "viewer/browser/render/core/math3d.h"
#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/tessellate.h"

namespace kestrel {
namespace {

struct Frame {
  Vec3f x, y, z;
};

// The spine-aligned cross-section planes, one per spine point.
std::vector<Frame> spineFrames(const std::vector<Vec3f>& s) {
  size_t n = s.size();
  bool closed = n > 2 && s.front() == s.back();
  std::vector<Frame> f(n);
  for (size_t i = 0; i < n; ++i) {
    Vec3f y;
    if (closed && (i == 0 || i == n - 1)) y = s[1] - s[n - 2];
    else if (i == 0) y = s[1] - s[0];
    else if (i == n - 1) y = s[n - 1] - s[n - 2];
    else y = s[i + 1] - s[i - 1];
    f[i].y = normalized(y);
    Vec3f z;
    if (closed && (i == 0 || i == n - 1)) z = cross(s[1] - s[0], s[n - 2] - s[0]);
    else if (i > 0 && i + 1 < n) z = cross(s[i + 1] - s[i], s[i - 1] - s[i]);
    f[i].z = z;
  }
  if (!closed && n > 2) {
    f[0].z = f[1].z;
    f[n - 1].z = f[n - 2].z;
  }
  // Collinear stretches take the last good Z; a straight spine takes the
  // Z that the rotation of +Y onto the spine direction gives.
  Vec3f last;
  for (size_t i = 0; i < n; ++i) {
    if (length(f[i].z) < 1e-9f) f[i].z = last;
    else f[i].z = normalized(f[i].z);
    if (i > 0 && length(last) > 0 && dot(f[i].z, last) < 0) f[i].z = f[i].z * -1.0f;
    if (length(f[i].z) > 0) last = f[i].z;
  }
  for (size_t i = 0; i < n; ++i) {
    if (length(f[i].z) < 1e-9f) {
      Vec3f up{0, 1, 0};
      Vec3f axis = cross(up, f[i].y);
      float c = std::clamp(dot(up, f[i].y), -1.0f, 1.0f);
      Rotation r{axis.x, axis.y, axis.z, std::acos(c)};
      if (length(axis) < 1e-9f) r = Rotation{1, 0, 0, c < 0 ? 3.14159265f : 0.0f};
      f[i].z = Mat4::rotation(r).transformDir({0, 0, 1});
      if (length(f[i].y) < 1e-9f) f[i].y = up;
    }
    f[i].x = normalized(cross(f[i].y, f[i].z));
  }
  return f;
}

}  // namespace

Mesh extrusionMesh(const Node& e) {
  std::vector<Vec3f> spine = listOf<Vec3f>(e, "spine");
  const auto& cs = listOf<Vec2f>(e, "crossSection");
  const auto& scale = listOf<Vec2f>(e, "scale");
  const auto& orient = listOf<Rotation>(e, "orientation");
  if (spine.size() < 2 || cs.size() < 2) return {};
  size_t n = spine.size(), m = cs.size();
  std::vector<Frame> frames = spineFrames(spine);
  std::vector<Vec3f> coords;
  std::vector<Vec2f> tex;
  for (size_t i = 0; i < n; ++i) {
    Vec2f sc = scale.empty() ? Vec2f{1, 1} : scale[std::min(i, scale.size() - 1)];
    Mat4 o = orient.empty() ? Mat4{} : Mat4::rotation(orient[std::min(i, orient.size() - 1)]);
    for (size_t j = 0; j < m; ++j) {
      Vec3f local = o.transformDir({cs[j].x * sc.x, 0, cs[j].y * sc.y});
      const Frame& f = frames[i];
      coords.push_back(spine[i] + f.x * local.x + f.y * local.y + f.z * local.z);
      tex.push_back({float(j) / float(m - 1), float(i) / float(n - 1)});
    }
  }
  std::vector<int32_t> index, texIndex;
  auto at = [&](size_t i, size_t j) { return static_cast<int32_t>(i * m + j); };
  for (size_t i = 0; i + 1 < n; ++i)
    for (size_t j = 0; j + 1 < m; ++j) {
      for (int32_t k : {at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j), -1}) {
        index.push_back(k);
        texIndex.push_back(k);
      }
    }
  // Caps take their texture from the cross-section's bounding box.
  Vec2f lo = cs[0], hi = cs[0];
  for (Vec2f p : cs) {
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y)};
  }
  float size = std::max({hi.x - lo.x, hi.y - lo.y, 1e-9f});
  int32_t capTex = static_cast<int32_t>(tex.size());
  for (Vec2f p : cs) tex.push_back({(p.x - lo.x) / size, (p.y - lo.y) / size});
  size_t ring = cs.front() == cs.back() ? m - 1 : m;
  if (fieldOr(e, "beginCap", true) && ring >= 3) {
    for (size_t j = ring; j-- > 0;) {
      index.push_back(at(0, j));
      texIndex.push_back(capTex + static_cast<int32_t>(j));
    }
    index.push_back(-1);
    texIndex.push_back(-1);
  }
  if (fieldOr(e, "endCap", true) && ring >= 3) {
    for (size_t j = 0; j < ring; ++j) {
      index.push_back(at(n - 1, j));
      texIndex.push_back(capTex + static_cast<int32_t>(j));
    }
    index.push_back(-1);
    texIndex.push_back(-1);
  }
  FaceSetInput in;
  in.coords = &coords;
  in.coordIndex = &index;
  in.texCoords = &tex;
  in.texCoordIndex = &texIndex;
  in.ccw = fieldOr(e, "ccw", true);
  in.convex = fieldOr(e, "convex", true);
  in.solid = fieldOr(e, "solid", true);
  in.creaseAngle = fieldOr(e, "creaseAngle", 0.0f);
  return buildFaceSet(in);
}

}  // namespace kestrel
