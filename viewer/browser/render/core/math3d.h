// Small linear algebra for the renderer: 3-vectors and column-major 4x4
// matrices laid out as OpenGL expects them. Plain values, no allocation.
#pragma once

#include <array>

#include "viewer/browser/field_value.h"

namespace kestrel {

Vec3f operator+(Vec3f a, Vec3f b);
Vec3f operator-(Vec3f a, Vec3f b);
Vec3f operator*(Vec3f a, float s);
float dot(Vec3f a, Vec3f b);
Vec3f cross(Vec3f a, Vec3f b);
float length(Vec3f a);
// A unit vector along A, or A itself when it is (nearly) zero.
Vec3f normalized(Vec3f a);

struct Mat4 {
  std::array<float, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};  // column-major

  float& at(int row, int col) { return m[static_cast<size_t>(col * 4 + row)]; }
  float at(int row, int col) const { return m[static_cast<size_t>(col * 4 + row)]; }

  static Mat4 translation(Vec3f t);
  static Mat4 scaling(Vec3f s);
  // Rotation by R.angle radians about the axis (R.x, R.y, R.z); identity
  // for a zero axis.
  static Mat4 rotation(const Rotation& r);
  // Perspective projection; FOVY in radians, ASPECT = width / height.
  static Mat4 perspective(float fovy, float aspect, float nearZ, float farZ);

  Vec3f transformPoint(Vec3f p) const;
  Vec3f transformDir(Vec3f d) const;
  // The inverse; identity when the matrix is singular.
  Mat4 inverse() const;
  Mat4 transposed() const;
};

Mat4 operator*(const Mat4& a, const Mat4& b);

// M without its scale and shear: the same origin and direction of view
// (-Z), the nearest right-angled up (Y), and X to make it right-handed;
// only the translation when M is degenerate.
Mat4 rigidPart(const Mat4& m);
// The turn of M's rigid part as an axis and angle (angle in [0, pi]).
Rotation axisAngleOf(const Mat4& m);

// The VRML Transform matrix: T * C * R * SR * S * -SR * -C.
Mat4 transformMatrix(Vec3f translation, const Rotation& rotation, Vec3f scale,
                     const Rotation& scaleOrientation, Vec3f center);

}  // namespace kestrel
