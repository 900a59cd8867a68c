#include "viewer/browser/render/core/tessellate.h"

#include <gtest/gtest.h>

#include <cmath>

#include "viewer/browser/render/core/math3d.h"
#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/test_scene.h"

namespace kestrel {
namespace {

// The mesh of the geometry of the first Shape in TEXT.
Mesh meshOf(const std::string& geometry) {
  Scene scene = parseScene("Shape { geometry " + geometry + " }");
  NodePtr shape = scene.firstNode();
  if (!shape) return {};
  NodePtr g = nodeOf(*shape, "geometry");
  return g ? tessellate(*g) : Mesh{};
}

float triangleArea(const Mesh& m, size_t t) {
  const auto& p = m.positions;
  return length(cross(p[t + 1] - p[t], p[t + 2] - p[t])) / 2;
}

// Every triangle winds counter-clockwise about its vertex normals.
void expectWindingMatchesNormals(const Mesh& m) {
  ASSERT_EQ(m.kind, Mesh::Kind::Triangles);
  ASSERT_EQ(m.positions.size() % 3, 0u);
  ASSERT_EQ(m.normals.size(), m.positions.size());
  for (size_t t = 0; t < m.positions.size(); t += 3) {
    const auto& p = m.positions;
    Vec3f face = cross(p[t + 1] - p[t], p[t + 2] - p[t]);
    if (length(face) < 1e-9f) continue;
    Vec3f n = m.normals[t] + m.normals[t + 1] + m.normals[t + 2];
    EXPECT_GT(dot(face, n), 0) << "triangle " << t / 3;
  }
}

float totalArea(const Mesh& m) {
  float a = 0;
  for (size_t t = 0; t + 2 < m.positions.size(); t += 3) a += triangleArea(m, t);
  return a;
}

TEST(Tessellate, BoxHasTwelveOutwardTrianglesOfItsSize) {
  Mesh m = meshOf("Box { size 2 4 6 }");
  EXPECT_EQ(m.vertexCount(), 36u);
  expectWindingMatchesNormals(m);
  for (size_t i = 0; i < m.positions.size(); ++i)
    EXPECT_GT(dot(m.positions[i], m.normals[i]), 0);  // outward
  EXPECT_NEAR(totalArea(m), 2 * (2 * 4 + 4 * 6 + 2 * 6), 1e-3f);
  Vec3f lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
  ASSERT_TRUE(m.bounds(lo, hi));
  EXPECT_EQ(lo, (Vec3f{-1, -2, -3}));
  EXPECT_EQ(hi, (Vec3f{1, 2, 3}));
}

TEST(Tessellate, SphereVerticesLieOnItsRadius) {
  Mesh m = meshOf("Sphere { radius 2.5 }");
  ASSERT_FALSE(m.empty());
  expectWindingMatchesNormals(m);
  for (const Vec3f& p : m.positions) EXPECT_NEAR(length(p), 2.5f, 1e-4f);
  EXPECT_NEAR(totalArea(m), 4 * 3.14159f * 2.5f * 2.5f, 2.0f);
}

TEST(Tessellate, ConeAndCylinderWindOutwardAndHonourTheirParts) {
  for (const char* g : {"Cone { bottomRadius 2 height 3 }", "Cylinder { radius 1 height 2 }"}) {
    Mesh m = meshOf(g);
    ASSERT_FALSE(m.empty()) << g;
    expectWindingMatchesNormals(m);
  }
  Mesh open = meshOf("Cylinder { top FALSE bottom FALSE }");
  for (const Vec3f& n : open.normals) EXPECT_NEAR(n.y, 0, 1e-6f);
  EXPECT_TRUE(meshOf("Cone { side FALSE bottom FALSE }").empty());
}

TEST(Tessellate, FaceSetQuadBecomesTwoTriangles) {
  Mesh m = meshOf("IndexedFaceSet { coord Coordinate { point [0 0 0, 1 0 0, 1 1 0, 0 1 0] }"
                  " coordIndex [0 1 2 3 -1] }");
  EXPECT_EQ(m.vertexCount(), 6u);
  expectWindingMatchesNormals(m);
  for (const Vec3f& n : m.normals) EXPECT_EQ(n, (Vec3f{0, 0, 1}));
  // Texture coordinates default to the bounding box.
  EXPECT_EQ(m.texCoords[2], (Vec2f{1, 1}));
}

TEST(Tessellate, ClockwiseFaceSetFacesTheOtherWay) {
  Mesh m = meshOf("IndexedFaceSet { ccw FALSE coord Coordinate { point [0 0 0, 1 0 0, 1 1 0] }"
                  " coordIndex [0 1 2] }");
  ASSERT_EQ(m.vertexCount(), 3u);
  expectWindingMatchesNormals(m);
  EXPECT_EQ(m.normals[0], (Vec3f{0, 0, -1}));
}

TEST(Tessellate, ConcaveFaceIsEarClipped) {
  // An L of area 3: a fan from corner 0 would cover area outside it.
  std::string l = "coord Coordinate { point [0 0 0, 2 0 0, 2 1 0, 1 1 0, 1 2 0, 0 2 0] }"
                  " coordIndex [1 2 3 4 5 0]";
  Mesh clipped = meshOf("IndexedFaceSet { convex FALSE " + l + " }");
  EXPECT_EQ(clipped.vertexCount(), 12u);
  EXPECT_NEAR(totalArea(clipped), 3.0f, 1e-5f);
  expectWindingMatchesNormals(clipped);
  Mesh fan = meshOf("IndexedFaceSet { " + l + " }");
  EXPECT_GT(totalArea(fan), 3.0f + 1e-3f);
}

TEST(Tessellate, BadFacesAreLeftOutAndLaterFacesKeepTheirColours) {
  Mesh m = meshOf(
      "IndexedFaceSet { coord Coordinate { point [0 0 0, 1 0 0, 1 1 0, 0 1 0] }"
      " colorPerVertex FALSE color Color { color [1 0 0, 0 1 0, 0 0 1] }"
      " coordIndex [0 1 -1, 0 1 7 -1, 0 1 2 -1, 0 0 0 -1] }");
  // Two corners, an index past the end, and a face with no area.
  ASSERT_EQ(m.vertexCount(), 3u);
  EXPECT_EQ(m.colors[0], (Vec3f{0, 0, 1}));
}

TEST(Tessellate, CreaseAngleSmoothsOnlyGentleEdges) {
  // Two faces meeting at a right angle along the edge 0-1.
  std::string body = "coord Coordinate { point [0 0 0, 1 0 0, 1 1 0, 0 1 0, 1 0 -1, 0 0 -1] }"
                     " coordIndex [0 1 2 3 -1, 1 0 5 4 -1]";
  Mesh sharp = meshOf("IndexedFaceSet { creaseAngle 0.5 " + body + " }");
  Mesh smooth = meshOf("IndexedFaceSet { creaseAngle 2 " + body + " }");
  ASSERT_EQ(sharp.vertexCount(), 12u);
  ASSERT_EQ(smooth.vertexCount(), 12u);
  EXPECT_EQ(sharp.normals[0], (Vec3f{0, 0, 1}));
  EXPECT_NEAR(smooth.normals[0].z, std::sqrt(0.5f), 1e-5f);
  EXPECT_NEAR(smooth.normals[0].y, -std::sqrt(0.5f), 1e-5f);  // the other face looks down
}

TEST(Tessellate, PerVertexColoursAndGivenNormals) {
  Mesh m = meshOf(
      "IndexedFaceSet { coord Coordinate { point [0 0 0, 1 0 0, 0 1 0] }"
      " color Color { color [1 0 0, 0 1 0, 0 0 1] } colorIndex [2 1 0]"
      " normal Normal { vector [0 0 2] } normalPerVertex FALSE coordIndex [0 1 2] }");
  ASSERT_EQ(m.vertexCount(), 3u);
  EXPECT_EQ(m.colors[0], (Vec3f{0, 0, 1}));
  EXPECT_EQ(m.colors[2], (Vec3f{1, 0, 0}));
  EXPECT_EQ(m.normals[1], (Vec3f{0, 0, 1}));
}

TEST(Tessellate, ElevationGridFacesUpAndFillsMissingHeights) {
  Mesh m = meshOf("ElevationGrid { xDimension 3 zDimension 3 xSpacing 2 height [0 1 0 1] }");
  EXPECT_EQ(m.vertexCount(), 8u * 3);
  expectWindingMatchesNormals(m);
  for (const Vec3f& n : m.normals) EXPECT_GT(n.y, 0);
  Vec3f lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
  m.bounds(lo, hi);
  EXPECT_EQ(hi, (Vec3f{4, 1, 2}));
  EXPECT_TRUE(meshOf("ElevationGrid { xDimension 1 zDimension 5 }").empty());
  EXPECT_TRUE(meshOf("ElevationGrid { xDimension 100000 zDimension 100000 }").empty());
}

TEST(Tessellate, DefaultExtrusionIsAClosedBoxFacingOut) {
  Mesh m = meshOf("Extrusion { }");
  EXPECT_EQ(m.vertexCount(), (4u * 2 + 2 * 2) * 3);
  expectWindingMatchesNormals(m);
  for (size_t t = 0; t < m.positions.size(); t += 3) {
    Vec3f centre = (m.positions[t] + m.positions[t + 1] + m.positions[t + 2]) * (1.0f / 3);
    EXPECT_GT(dot(centre - Vec3f{0, 0.5f, 0}, m.normals[t]), 0) << "triangle " << t / 3;
  }
}

TEST(Tessellate, ExtrusionFollowsABentSpineAndScale) {
  Mesh m = meshOf("Extrusion { spine [0 0 0, 0 1 0, 1 1 0] scale [1 1, 1 1, 2 2]"
                  " beginCap FALSE endCap FALSE }");
  EXPECT_EQ(m.vertexCount(), 2u * 4 * 2 * 3);
  float maxY = -1e9f;
  for (const Vec3f& p : m.positions) maxY = std::max(maxY, p.y);
  EXPECT_NEAR(maxY, 3.0f, 1e-4f);  // the last ring, twice as large, turned sideways
}

TEST(Tessellate, LinesAndPoints) {
  Mesh lines = meshOf("IndexedLineSet { coord Coordinate { point [0 0 0, 1 0 0, 1 1 0] }"
                      " color Color { color [1 0 0, 0 1 0] } colorPerVertex FALSE"
                      " coordIndex [0 1 2 -1, 2 0 9] }");
  EXPECT_EQ(lines.kind, Mesh::Kind::Lines);
  ASSERT_EQ(lines.vertexCount(), 6u);  // 0-1, 1-2, 2-0; 0-9 is out of range
  EXPECT_EQ(lines.colors[0], (Vec3f{1, 0, 0}));
  EXPECT_EQ(lines.colors[5], (Vec3f{0, 1, 0}));
  Mesh points = meshOf("PointSet { coord Coordinate { point [0 0 0, 1 0 0] } }");
  EXPECT_EQ(points.kind, Mesh::Kind::Points);
  EXPECT_EQ(points.vertexCount(), 2u);
}

TEST(Tessellate, UnknownGeometryIsEmpty) {
  EXPECT_TRUE(meshOf("Group { }").empty());
  EXPECT_TRUE(meshOf("IndexedFaceSet { coordIndex [0 1 2] }").empty());
}

TEST(Tessellate, BentFlatShadedGridCellsFaceTheirOwnWay) {
  // Bent cells: each triangle shows its own normal, not the cell's average
  // (which, seen from the front, can face away from the viewer).
  Mesh m = meshOf("ElevationGrid { xDimension 3 zDimension 3"
                  " height [0 0.5 1, 1 0 1, 1 0.5 0] solid FALSE }");
  ASSERT_EQ(m.positions.size(), 8u * 3u);
  expectWindingMatchesNormals(m);
  for (size_t t = 0; t < m.positions.size(); t += 3) {
    const auto& p = m.positions;
    Vec3f own = normalized(cross(p[t + 1] - p[t], p[t + 2] - p[t]));
    EXPECT_GT(dot(own, m.normals[t]), 0.9999f) << "triangle " << t / 3;
  }
  // A flat quad keeps one normal for both of its triangles.
  Mesh flat = meshOf("ElevationGrid { xDimension 2 zDimension 2 height [0 0 1 1] }");
  ASSERT_EQ(flat.normals.size(), 6u);
  EXPECT_EQ(flat.normals[0], flat.normals[5]);
  // Flat shading still: a triangle's three normals are one.
  for (size_t t = 0; t < m.normals.size(); t += 3) {
    EXPECT_EQ(m.normals[t], m.normals[t + 1]);
    EXPECT_EQ(m.normals[t], m.normals[t + 2]);
  }
}

}  // namespace
}  // namespace kestrel
