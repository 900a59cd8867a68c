#include "viewer/browser/render/core/math3d.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

void expectNear(Vec3f a, Vec3f b) {
  EXPECT_NEAR(a.x, b.x, 1e-5f);
  EXPECT_NEAR(a.y, b.y, 1e-5f);
  EXPECT_NEAR(a.z, b.z, 1e-5f);
}

TEST(Math3d, RotationTurnsXIntoYAboutZ) {
  Mat4 r = Mat4::rotation({0, 0, 1, 1.5707963f});
  expectNear(r.transformPoint({1, 0, 0}), {0, 1, 0});
}

TEST(Math3d, ZeroAxisRotationIsIdentity) {
  expectNear(Mat4::rotation({0, 0, 0, 2}).transformPoint({1, 2, 3}), {1, 2, 3});
}

TEST(Math3d, InverseUndoesTransform) {
  Mat4 m = transformMatrix({1, 2, 3}, {0, 1, 0, 0.7f}, {2, 3, 4}, {1, 0, 0, 0.3f}, {0.5f, 0, 0});
  expectNear((m.inverse() * m).transformPoint({4, 5, 6}), {4, 5, 6});
}

TEST(Math3d, TransformScalesAboutCentre) {
  Mat4 m = transformMatrix({}, {}, {2, 2, 2}, {}, {1, 0, 0});
  expectNear(m.transformPoint({1, 0, 0}), {1, 0, 0});
  expectNear(m.transformPoint({2, 0, 0}), {3, 0, 0});
}

TEST(Math3d, SingularInverseIsIdentity) {
  Mat4 zero = Mat4::scaling({0, 0, 0});
  expectNear(zero.inverse().transformPoint({1, 2, 3}), {1, 2, 3});
}

TEST(Math3d, PerspectiveMapsNearAndFarToDepthLimits) {
  Mat4 p = Mat4::perspective(1.0f, 1.0f, 1.0f, 10.0f);
  EXPECT_NEAR(p.transformPoint({0, 0, -1}).z, -1.0f, 1e-5f);
  EXPECT_NEAR(p.transformPoint({0, 0, -10}).z, 1.0f, 1e-5f);
}

TEST(Math3d, AxisAngleOfARigidPartTurnsVectorsAsTheMatrixDoes) {
  const Rotation turns[] = {{0, 0, 1, 0}, {0, 1, 0, 0.5f}, {1, 2, 3, 2.0f}, {1, 0, 0, 3.14159265f},
                            {0, 1, 1, 3.14159265f}};
  for (const Rotation& r : turns) {
    // Scaled and moved: only the turn is read.
    Mat4 m = Mat4::translation({4, 5, 6}) * Mat4::rotation(r) * Mat4::scaling({2, 2, 2});
    Mat4 back = Mat4::rotation(axisAngleOf(m));
    for (Vec3f v : {Vec3f{1, 0, 0}, Vec3f{0, 1, 0}, Vec3f{0, 0, 1}})
      expectNear(back.transformDir(v), Mat4::rotation(r).transformDir(v));
  }
  expectNear(rigidPart(Mat4::scaling({3, 3, 3})).transformDir({1, 0, 0}), {1, 0, 0});
}

}  // namespace
}  // namespace kestrel
