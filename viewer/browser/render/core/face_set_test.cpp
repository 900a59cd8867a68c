#include "viewer/browser/render/core/face_set.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

double signedArea(const std::vector<Vec2f>& p, const std::vector<int>& tris) {
  double a = 0;
  for (size_t t = 0; t + 2 < tris.size(); t += 3) {
    Vec2f u = p[size_t(tris[t])], v = p[size_t(tris[t + 1])], w = p[size_t(tris[t + 2])];
    a += ((v.x - u.x) * (w.y - u.y) - (v.y - u.y) * (w.x - u.x)) / 2.0;
  }
  return a;
}

TEST(EarClip, ConcaveStarKeepsItsArea) {
  // A comb: three teeth of width 1, height 2, on a base of 5 x 1.
  std::vector<Vec2f> comb{{0, 0}, {5, 0}, {5, 3}, {4, 3}, {4, 1}, {3, 1},
                          {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}};
  std::vector<int> tris;
  triangulatePolygon(comb, tris);
  EXPECT_EQ(tris.size(), (comb.size() - 2) * 3);
  EXPECT_NEAR(signedArea(comb, tris), 5 + 3 * 2, 1e-6);
}

TEST(EarClip, ClockwiseInputGivesClockwiseTriangles) {
  std::vector<Vec2f> sq{{0, 0}, {0, 1}, {1, 1}, {1, 0}};
  std::vector<int> tris;
  triangulatePolygon(sq, tris);
  EXPECT_EQ(tris.size(), 6u);
  EXPECT_NEAR(signedArea(sq, tris), -1, 1e-6);
}

TEST(EarClip, SelfIntersectingPolygonStillEnds) {
  std::vector<Vec2f> bow{{0, 0}, {1, 1}, {1, 0}, {0, 1}, {0.5f, 2}, {2, 0.5f}};
  std::vector<int> tris;
  triangulatePolygon(bow, tris);
  EXPECT_EQ(tris.size() % 3, 0u);
  EXPECT_LE(tris.size(), (bow.size() - 2) * 3);
}

TEST(FaceSet, NoCoordinatesGiveAnEmptyMesh) {
  FaceSetInput in;
  EXPECT_TRUE(buildFaceSet(in).empty());
}

}  // namespace
}  // namespace kestrel
