#include "viewer/browser/render/core/polygon_holes.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kestrel {
namespace {

using Ring = std::vector<Vec2f>;

Ring square(float x0, float y0, float x1, float y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }

Ring reversed(Ring r) { return {r.rbegin(), r.rend()}; }

float triArea(Vec2f a, Vec2f b, Vec2f c) {
  return ((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x)) / 2;
}

struct Facts {
  float area = 0;
  bool allCcw = true;
};

Facts factsOf(const FilledShape& s) {
  Facts f;
  for (size_t t = 0; t + 2 < s.triangles.size(); t += 3) {
    float a = triArea(s.points[size_t(s.triangles[t])], s.points[size_t(s.triangles[t + 1])],
                      s.points[size_t(s.triangles[t + 2])]);
    f.area += a;
    if (a <= 0) f.allCcw = false;
  }
  return f;
}

// Whether P lies strictly inside some triangle.
bool covered(const FilledShape& s, Vec2f p) {
  for (size_t t = 0; t + 2 < s.triangles.size(); t += 3) {
    Vec2f a = s.points[size_t(s.triangles[t])], b = s.points[size_t(s.triangles[t + 1])];
    Vec2f c = s.points[size_t(s.triangles[t + 2])];
    if (triArea(a, b, p) > 0 && triArea(b, c, p) > 0 && triArea(c, a, p) > 0) return true;
  }
  return false;
}

TEST(FillContours, SquareOfEitherWindingFillsItsArea) {
  for (const Ring& r : {square(0, 0, 2, 2), reversed(square(0, 0, 2, 2))}) {
    FilledShape s = fillContours({r});
    Facts f = factsOf(s);
    EXPECT_EQ(s.triangles.size(), 6u);
    EXPECT_NEAR(f.area, 4, 1e-5);
    EXPECT_TRUE(f.allCcw);
  }
}

TEST(FillContours, HoleIsLeftEmptyWhateverItsWinding) {
  for (bool flip : {false, true}) {
    Ring hole = square(1, 1, 3, 3);
    FilledShape s = fillContours({square(0, 0, 4, 4), flip ? reversed(hole) : hole});
    Facts f = factsOf(s);
    EXPECT_NEAR(f.area, 16 - 4, 1e-4);
    EXPECT_TRUE(f.allCcw);
    EXPECT_FALSE(covered(s, {2, 2}));
    EXPECT_TRUE(covered(s, {0.5f, 2.1f}));
    EXPECT_TRUE(covered(s, {3.5f, 3.3f}));
    ASSERT_EQ(s.rings.size(), 2u);
  }
}

TEST(FillContours, IslandInsideAHoleIsFilledAgain) {
  FilledShape s = fillContours({square(0, 0, 6, 6), square(1, 1, 5, 5), square(2, 2, 4, 4)});
  EXPECT_NEAR(factsOf(s).area, 36 - 16 + 4, 1e-4);
  EXPECT_TRUE(covered(s, {3.3f, 2.6f}));
  EXPECT_FALSE(covered(s, {1.5f, 3}));
  EXPECT_TRUE(covered(s, {0.5f, 3.1f}));
}

TEST(FillContours, SeveralHolesSideBySideAndAboveEachOther) {
  // Like a 'B' or an '8': two counters in one outline, one level with the
  // other's rightmost point so a bridge has to pass by it.
  FilledShape s = fillContours(
      {square(0, 0, 10, 10), square(1, 1, 4, 4), square(6, 1, 9, 4), square(1, 6, 9, 9)});
  Facts f = factsOf(s);
  EXPECT_NEAR(f.area, 100 - 9 - 9 - 24, 1e-3);
  EXPECT_TRUE(f.allCcw);
  for (Vec2f p : {Vec2f{2.5f, 2.5f}, Vec2f{7.5f, 2.5f}, Vec2f{5, 7.5f}}) EXPECT_FALSE(covered(s, p));
  EXPECT_TRUE(covered(s, {5.1f, 2.6f}));
}

TEST(FillContours, ConcaveOutlineWithRoundHole) {
  // An 'O' made of many points with an L-shaped outline around it.
  Ring outer = {{0, 0}, {10, 0}, {10, 4}, {4, 4}, {4, 10}, {0, 10}};
  Ring hole;
  for (int i = 0; i < 48; ++i) {
    double a = 2 * M_PI * i / 48;
    hole.push_back({float(2 + 1.2 * std::cos(a)), float(2 + 1.2 * std::sin(a))});
  }
  FilledShape s = fillContours({outer, hole});
  Facts f = factsOf(s);
  double holeArea = 0.5 * 48 * 1.44 * std::sin(2 * M_PI / 48);
  EXPECT_NEAR(f.area, 64 - holeArea, 1e-3);
  EXPECT_TRUE(f.allCcw);
  EXPECT_FALSE(covered(s, {2, 2}));
  EXPECT_FALSE(covered(s, {7, 7}));  // outside the L
}

TEST(FillContours, RepeatedAndStraightPointsAndEmptyContoursAreDropped) {
  Ring messy = {{0, 0}, {0, 0}, {1, 0}, {2, 0}, {2, 2}, {2, 2}, {0, 2}, {0, 0}};
  FilledShape s = fillContours({messy, {}, {{5, 5}}, {{1, 1}, {2, 2}, {3, 3}}});
  EXPECT_NEAR(factsOf(s).area, 4, 1e-5);
  ASSERT_EQ(s.rings.size(), 1u);
  EXPECT_EQ(s.rings[0].size(), 4u);
  EXPECT_TRUE(fillContours({}).triangles.empty());
  FilledShape bad = fillContours({{{0, 0}, {NAN, 1}, {1, 0}, {1, 1}}});
  for (Vec2f p : bad.points) EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
}

TEST(FillContours, CrossingContourStillEndsWithTriangles) {
  // A bow tie crosses itself; the fill cannot be exact but must finish.
  FilledShape s = fillContours({{{0, 0}, {2, 2}, {2, 0}, {0, 2}}});
  EXPECT_LE(s.triangles.size(), 6u);
  EXPECT_EQ(s.triangles.size() % 3, 0u);
}

TEST(FillContours, OutlinesAreCounterClockwiseAndHolesClockwise) {
  FilledShape s = fillContours({reversed(square(0, 0, 4, 4)), square(1, 1, 2, 2)});
  ASSERT_EQ(s.rings.size(), 2u);
  auto area = [](const Ring& r) {
    float a = 0;
    for (size_t i = 0; i < r.size(); ++i)
      a += r[i].x * r[(i + 1) % r.size()].y - r[(i + 1) % r.size()].x * r[i].y;
    return a;
  };
  EXPECT_GT(area(s.rings[0]), 0);
  EXPECT_LT(area(s.rings[1]), 0);
}

}  // namespace
}  // namespace kestrel

namespace kestrel {
namespace {

TEST(FillContours, WindingRuleFillsOverlappingOutlinesBoth) {
  // Two overlapping counter-clockwise squares, as a composite glyph's
  // accent may overlap its letter; a clockwise hole in the first.
  FilledShape s = fillContours(
      {square(0, 0, 4, 4), square(3, 1, 6, 3), reversed(square(1, 1, 2, 2))}, FillRule::Winding);
  EXPECT_NEAR(factsOf(s).area, 16 + 6 - 1, 1e-4);
  EXPECT_TRUE(covered(s, {5.1f, 2.1f}));
  EXPECT_TRUE(covered(s, {3.5f, 2.2f}));
  EXPECT_FALSE(covered(s, {1.5f, 1.3f}));
  EXPECT_EQ(s.rings.size(), 3u);
  // A lone clockwise contour still has fill inside it.
  FilledShape lone = fillContours({reversed(square(0, 0, 1, 1))}, FillRule::Winding);
  EXPECT_NEAR(factsOf(lone).area, 1, 1e-5);
}

TEST(FillContours, WindingRuleFollowsTheFillNotTheDirection) {
  // A ring (outline and counter) with a letter drawn inside the counter
  // the other way round, and the letter's own counter: the letter is filled,
  // its counter is not.
  FilledShape s = fillContours({square(0, 0, 10, 10), reversed(square(1, 1, 9, 9)),
                                reversed(square(3, 3, 7, 7)), square(4, 4, 6, 6)},
                               FillRule::Winding);
  EXPECT_NEAR(factsOf(s).area, 100 - 64 + 16 - 4, 1e-3);
  EXPECT_TRUE(covered(s, {3.5f, 5.2f}));
  EXPECT_FALSE(covered(s, {5.1f, 5.2f}));
  EXPECT_FALSE(covered(s, {2.1f, 5.2f}));
  EXPECT_TRUE(covered(s, {0.5f, 5.2f}));
}

}  // namespace
}  // namespace kestrel
