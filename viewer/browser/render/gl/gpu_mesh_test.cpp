// Packing and welding meshes (no GPU needed), and sharing meshes between
// geometry nodes with identical tessellations (through EGL).
#include "viewer/browser/render/gl/gpu_mesh.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>
#include <sstream>

#include "viewer/browser/render/gl/egl_context.h"
#include "viewer/browser/render/gl/gl_renderer.h"
#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/tessellate.h"
#include "viewer/browser/render/core/test_scene.h"

namespace kestrel {
namespace {

Mesh meshOf(const std::string& geometry) {
  Scene scene = parseScene("Shape { geometry " + geometry + " }");
  NodePtr shape = scene.firstNode();
  NodePtr g = shape ? nodeOf(*shape, "geometry") : nullptr;
  return g ? tessellate(*g) : Mesh{};
}

// The unindexed vertex I of MESH as the packed stream has it.
void expectSameVertex(const Mesh& mesh, size_t i, const PackedVertex& v) {
  EXPECT_FLOAT_EQ(v.pos[0], mesh.positions[i].x);
  EXPECT_FLOAT_EQ(v.pos[1], mesh.positions[i].y);
  EXPECT_FLOAT_EQ(v.pos[2], mesh.positions[i].z);
  EXPECT_NEAR(v.normal[0] / 32767.0, mesh.normals[i].x, 1e-4);
  EXPECT_NEAR(v.normal[1] / 32767.0, mesh.normals[i].y, 1e-4);
  EXPECT_NEAR(v.normal[2] / 32767.0, mesh.normals[i].z, 1e-4);
  EXPECT_FLOAT_EQ(v.tex[0], mesh.texCoords[i].x);
  EXPECT_FLOAT_EQ(v.tex[1], mesh.texCoords[i].y);
}

TEST(PackMesh, IndicesReproduceTheUnindexedVertices) {
  Mesh m = meshOf("Sphere { radius 2 }");
  std::vector<PackedVertex> v;
  std::vector<uint32_t> idx;
  packMesh(m, v, idx);
  ASSERT_EQ(idx.size(), m.vertexCount());
  EXPECT_LT(v.size(), m.vertexCount());
  for (size_t i = 0; i < idx.size(); ++i) {
    ASSERT_LT(idx[i], v.size());
    expectSameVertex(m, i, v[idx[i]]);
  }
}

TEST(PackMesh, SmoothElevationGridWeldsToOneVertexPerGridPoint) {
  std::ostringstream g;
  g << "ElevationGrid { xDimension 20 zDimension 15 creaseAngle 3 height [";
  for (int k = 0; k < 300; ++k) g << (k * 7 % 5) * 0.1 << ' ';
  g << "] }";
  Mesh m = meshOf(g.str());
  std::vector<PackedVertex> v;
  std::vector<uint32_t> idx;
  packMesh(m, v, idx);
  EXPECT_EQ(idx.size(), size_t(19 * 14 * 6));
  EXPECT_EQ(v.size(), size_t(20 * 15));
}

TEST(PackMesh, FacetedBoxKeepsItsCornersApart) {
  Mesh m = meshOf("Box {}");
  std::vector<PackedVertex> v;
  std::vector<uint32_t> idx;
  packMesh(m, v, idx);
  EXPECT_EQ(idx.size(), 36u);
  EXPECT_EQ(v.size(), 24u);  // four corners per face: normals differ between faces
}

TEST(PackMesh, VertexColoursAreKept) {
  Mesh m = meshOf(
      "IndexedFaceSet { coord Coordinate { point [0 0 0, 1 0 0, 0 1 0] } coordIndex [0 1 2]"
      " color Color { color [1 0 0, 0 1 0, 0 0 1] } }");
  std::vector<PackedVertex> v;
  std::vector<uint32_t> idx;
  packMesh(m, v, idx);
  ASSERT_EQ(v.size(), 3u);
  EXPECT_EQ(v[idx[0]].color[0], 255);
  EXPECT_EQ(v[idx[1]].color[1], 255);
  EXPECT_EQ(v[idx[2]].color[2], 255);
  EXPECT_EQ(v[idx[2]].color[0], 0);
}

TEST(FlatTriangles, FacetedAndFinelyDividedMeshesHaveThemCoarseSmoothOnesNot) {
  EXPECT_TRUE(hasFlatTriangles(meshOf("Box {}")));
  EXPECT_TRUE(hasFlatTriangles(meshOf(
      "IndexedFaceSet { coord Coordinate { point [0 0 0, 1 0 0, 1 1 0, 0 1 1] }"
      " coordIndex [0 1 2 -1 0 2 3] }")));
  EXPECT_FALSE(hasFlatTriangles(meshOf("Sphere {}")));  // smooth, a few degrees a step
  std::ostringstream fine, coarse;
  fine << "ElevationGrid { xDimension 50 zDimension 50 creaseAngle 1 height [";
  coarse << "ElevationGrid { xDimension 50 zDimension 50 creaseAngle 1 height [";
  for (int k = 0; k < 2500; ++k) {
    fine << 0.5 * std::sin(k % 50 * 0.05) << ' ';
    coarse << (k % 2) * 0.5 << ' ';
  }
  fine << "] }";
  coarse << "] }";
  EXPECT_TRUE(hasFlatTriangles(meshOf(fine.str())));
  EXPECT_FALSE(hasFlatTriangles(meshOf(coarse.str())));
  EXPECT_FALSE(hasFlatTriangles(meshOf("PointSet { coord Coordinate { point [0 0 0] } }")));
}

TEST(SpatialOrder, KeepsEveryTriangleAndDrawsNeighboursTogether) {
  std::ostringstream g;
  g << "ElevationGrid { xDimension 65 zDimension 65 height [";
  for (int k = 0; k < 65 * 65; ++k) g << (k % 3) * 0.1 << ' ';
  g << "] }";
  Mesh m = meshOf(g.str());
  std::vector<PackedVertex> v;
  std::vector<uint32_t> idx;
  packMesh(m, v, idx);
  std::vector<uint32_t> before = idx;
  orderTrianglesSpatially(v, idx);
  ASSERT_EQ(idx.size(), before.size());
  auto triangles = [](const std::vector<uint32_t>& i) {
    std::multiset<std::array<uint32_t, 3>> out;
    for (size_t t = 0; t + 2 < i.size(); t += 3) out.insert({i[t], i[t + 1], i[t + 2]});
    return out;
  };
  EXPECT_EQ(triangles(idx), triangles(before));  // same triangles, same winding
  EXPECT_NE(idx, before);
  // The first 32 triangles cover a compact patch, not a strip along a row.
  float lo[2] = {1e9f, 1e9f}, hi[2] = {-1e9f, -1e9f};
  for (size_t k = 0; k < 32 * 3; ++k) {
    const PackedVertex& p = v[idx[k]];
    lo[0] = std::min(lo[0], p.pos[0]), hi[0] = std::max(hi[0], p.pos[0]);
    lo[1] = std::min(lo[1], p.pos[2]), hi[1] = std::max(hi[1], p.pos[2]);
  }
  EXPECT_LE(hi[0] - lo[0], 8.0f);
  EXPECT_LE(hi[1] - lo[1], 8.0f);
}

TEST(MeshCache, IdenticalGeometryNodesShareOneMeshAndOneDrawCall) {
  std::string error;
  auto context = EglContext::create(&error);
  ASSERT_TRUE(context) << error;
  std::string text = "Viewpoint { position 0 0 40 }\n";
  for (int i = 0; i < 50; ++i)
    text += "Transform { translation " + std::to_string(i % 10 - 5) + " " +
            std::to_string(i / 10) + " 0 children Shape { appearance Appearance { material"
            " Material { diffuseColor " + std::to_string(i / 50.0) + " 0.5 0.5 } }"
            " geometry Box { size 0.5 0.5 0.5 } } }\n";
  text += "Shape { geometry Sphere {} }\n";
  text += "Shape { geometry IndexedFaceSet {} } Shape { geometry IndexedFaceSet {} }\n";
  Scene scene = parseScene(text);
  RgbaImage img;
  {
    GlRenderer r;
    ASSERT_TRUE(r.init(&error)) << error;
    ASSERT_TRUE(r.render(scene.rootNodes(), {}, 64, 64, img, &error)) << error;
    EXPECT_EQ(r.meshCount(), 3u);  // the boxes' mesh, the sphere's and one empty one
    EXPECT_EQ(r.lastDrawCalls(), 2u);
  }
}

}  // namespace
}  // namespace kestrel
