#include "viewer/browser/render/core/math3d.h"

#include <algorithm>
#include <cmath>

namespace kestrel {

Vec3f operator+(Vec3f a, Vec3f b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3f operator-(Vec3f a, Vec3f b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3f operator*(Vec3f a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float dot(Vec3f a, Vec3f b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3f cross(Vec3f a, Vec3f b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float length(Vec3f a) { return std::sqrt(dot(a, a)); }
Vec3f normalized(Vec3f a) {
  float l = length(a);
  return l > 1e-12f ? a * (1.0f / l) : a;
}

Mat4 Mat4::translation(Vec3f t) {
  Mat4 r;
  r.at(0, 3) = t.x;
  r.at(1, 3) = t.y;
  r.at(2, 3) = t.z;
  return r;
}

Mat4 Mat4::scaling(Vec3f s) {
  Mat4 r;
  r.at(0, 0) = s.x;
  r.at(1, 1) = s.y;
  r.at(2, 2) = s.z;
  return r;
}

Mat4 Mat4::rotation(const Rotation& rot) {
  Mat4 r;
  Vec3f a{rot.x, rot.y, rot.z};
  float l = length(a);
  if (l < 1e-12f || rot.angle == 0) return r;
  a = a * (1.0f / l);
  float c = std::cos(rot.angle), s = std::sin(rot.angle), t = 1 - c;
  r.at(0, 0) = t * a.x * a.x + c;
  r.at(0, 1) = t * a.x * a.y - s * a.z;
  r.at(0, 2) = t * a.x * a.z + s * a.y;
  r.at(1, 0) = t * a.x * a.y + s * a.z;
  r.at(1, 1) = t * a.y * a.y + c;
  r.at(1, 2) = t * a.y * a.z - s * a.x;
  r.at(2, 0) = t * a.x * a.z - s * a.y;
  r.at(2, 1) = t * a.y * a.z + s * a.x;
  r.at(2, 2) = t * a.z * a.z + c;
  return r;
}

Mat4 Mat4::perspective(float fovy, float aspect, float nearZ, float farZ) {
  Mat4 r;
  float f = 1.0f / std::tan(fovy / 2);
  r.at(0, 0) = f / aspect;
  r.at(1, 1) = f;
  r.at(2, 2) = (farZ + nearZ) / (nearZ - farZ);
  r.at(2, 3) = 2 * farZ * nearZ / (nearZ - farZ);
  r.at(3, 2) = -1;
  r.at(3, 3) = 0;
  return r;
}

Vec3f Mat4::transformPoint(Vec3f p) const {
  float x = at(0, 0) * p.x + at(0, 1) * p.y + at(0, 2) * p.z + at(0, 3);
  float y = at(1, 0) * p.x + at(1, 1) * p.y + at(1, 2) * p.z + at(1, 3);
  float z = at(2, 0) * p.x + at(2, 1) * p.y + at(2, 2) * p.z + at(2, 3);
  float w = at(3, 0) * p.x + at(3, 1) * p.y + at(3, 2) * p.z + at(3, 3);
  if (w != 0 && w != 1) return {x / w, y / w, z / w};
  return {x, y, z};
}

Vec3f Mat4::transformDir(Vec3f d) const {
  return {at(0, 0) * d.x + at(0, 1) * d.y + at(0, 2) * d.z,
          at(1, 0) * d.x + at(1, 1) * d.y + at(1, 2) * d.z,
          at(2, 0) * d.x + at(2, 1) * d.y + at(2, 2) * d.z};
}

Mat4 Mat4::transposed() const {
  Mat4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.at(i, j) = at(j, i);
  return r;
}

Mat4 Mat4::inverse() const {
  // Gauss-Jordan elimination with partial pivoting, in double precision.
  double a[4][8];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      a[i][j] = at(i, j);
      a[i][j + 4] = i == j ? 1 : 0;
    }
  for (int c = 0; c < 4; ++c) {
    int p = c;
    for (int r = c + 1; r < 4; ++r)
      if (std::fabs(a[r][c]) > std::fabs(a[p][c])) p = r;
    if (std::fabs(a[p][c]) < 1e-30) return Mat4{};
    if (p != c)
      for (int j = 0; j < 8; ++j) std::swap(a[p][j], a[c][j]);
    double d = a[c][c];
    for (int j = 0; j < 8; ++j) a[c][j] /= d;
    for (int r = 0; r < 4; ++r) {
      if (r == c) continue;
      double f = a[r][c];
      for (int j = 0; j < 8; ++j) a[r][j] -= f * a[c][j];
    }
  }
  Mat4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.at(i, j) = static_cast<float>(a[i][j + 4]);
  return r;
}

Mat4 operator*(const Mat4& a, const Mat4& b) {
  Mat4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float s = 0;
      for (int k = 0; k < 4; ++k) s += a.at(i, k) * b.at(k, j);
      r.at(i, j) = s;
    }
  return r;
}

Mat4 rigidPart(const Mat4& m) {
  Vec3f o = m.transformPoint({0, 0, 0});
  Vec3f z = normalized(m.transformDir({0, 0, 1}));
  Vec3f x = normalized(cross(m.transformDir({0, 1, 0}), z));
  if (length(x) < 0.5f || length(z) < 0.5f) return Mat4::translation(o);  // degenerate
  Vec3f y = cross(z, x);
  Mat4 r;
  const Vec3f axes[4] = {x, y, z, o};
  for (int c = 0; c < 4; ++c) {
    r.at(0, c) = axes[c].x;
    r.at(1, c) = axes[c].y;
    r.at(2, c) = axes[c].z;
  }
  return r;
}

Rotation axisAngleOf(const Mat4& m) {
  Mat4 r = rigidPart(m);
  double trace = double(r.at(0, 0)) + r.at(1, 1) + r.at(2, 2);
  double angle = std::acos(std::clamp((trace - 1) / 2, -1.0, 1.0));
  Vec3f axis{r.at(2, 1) - r.at(1, 2), r.at(0, 2) - r.at(2, 0), r.at(1, 0) - r.at(0, 1)};
  if (angle < 1e-6) return Rotation{0, 0, 1, 0};
  if (length(axis) < 1e-4f) {
    // Half a turn: the axis is the column of R + I with the largest length.
    Vec3f best{};
    for (int c = 0; c < 3; ++c) {
      Vec3f col{r.at(0, c) + (c == 0), r.at(1, c) + (c == 1), r.at(2, c) + (c == 2)};
      if (length(col) > length(best)) best = col;
    }
    axis = best;
  }
  axis = normalized(axis);
  return Rotation{axis.x, axis.y, axis.z, static_cast<float>(angle)};
}

Mat4 transformMatrix(Vec3f translation, const Rotation& rotation, Vec3f scale,
                     const Rotation& scaleOrientation, Vec3f center) {
  Rotation inverseSo = scaleOrientation;
  inverseSo.angle = -inverseSo.angle;
  return Mat4::translation(translation) * Mat4::translation(center) * Mat4::rotation(rotation) *
         Mat4::rotation(scaleOrientation) * Mat4::scaling(scale) * Mat4::rotation(inverseSo) *
         Mat4::translation(center * -1.0f);
}

}  // namespace kestrel
