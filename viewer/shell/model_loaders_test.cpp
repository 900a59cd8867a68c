// Model files through `load`, the real loaders and engine: each becomes one
// object named after the file, whose triangles and bounding box the browser
// core's own tessellation sees; broken models give one refusal line and
// queue nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "viewer/browser/render/core/tessellate.h"
#include "viewer/browser/render/core/traversal.h"
#include "viewer/media/model_samples.h"
#include "viewer/shell/scene_file_loaders.h"
#include "viewer/shell/shell_test_rig.h"

namespace kestrel {
namespace {

using testing::ShellRig;

struct Drawn {
  size_t triangles = 0;
  Vec3f lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
};

// What the scene draws, in world coordinates.
Drawn drawn(ShellRig& rig) {
  Drawn d;
  DrawList list = collectDrawList(rig.engine.browser().scene().rootNodes(), "", Viewer{});
  for (const DrawItem& item : list.items) {
    Mesh mesh = tessellate(*item.geometry);
    if (mesh.kind != Mesh::Kind::Triangles) continue;
    d.triangles += mesh.positions.size() / 3;
    for (const Vec3f& p : mesh.positions) {
      Vec3f w = item.model.transformPoint(p);
      d.lo = {std::min(d.lo.x, w.x), std::min(d.lo.y, w.y), std::min(d.lo.z, w.z)};
      d.hi = {std::max(d.hi.x, w.x), std::max(d.hi.y, w.y), std::max(d.hi.z, w.z)};
    }
  }
  return d;
}

void expectNear(const Vec3f& got, const Vec3f& want, const std::string& what,
                float tolerance = 1e-4f) {
  EXPECT_NEAR(got.x, want.x, tolerance) << what;
  EXPECT_NEAR(got.y, want.y, tolerance) << what;
  EXPECT_NEAR(got.z, want.z, tolerance) << what;
}

const float kLo[3] = {-1, 0, 2}, kHi[3] = {1, 4, 3};

TEST(ModelFiles, EachFormatLoadsAsOneObjectWithItsTrianglesAndBounds) {
  std::vector<testing::Triangle> box = testing::boxTriangles(kLo, kHi);
  struct Case {
    std::string file, object;
    std::string contents;
    size_t triangles;
    Vec3f lo, hi;
  } cases[] = {
      {"ascii.stl", "ascii", testing::asciiStl(box), 12, {-1, 0, 2}, {1, 4, 3}},
      {"binary.STL", "binary", testing::binaryStl(box), 12, {-1, 0, 2}, {1, 4, 3}},
      {"quad.obj", "quad", testing::kQuadObj, 2, {0, 0, 0}, {2, 1, 0}},
      {"tri.gltf", "tri", testing::kTriangleGltf, 1, {2, 0, 0}, {3, 1, 0}},
      {"scan.ply", "scan", testing::kQuadPly, 2, {0, 0, 0}, {1, 0, 3}},
  };
  for (const Case& c : cases) {
    ShellRig rig;
    rig.dir.write(c.file, c.contents);
    rig.dir.write("quad.mtl", testing::kQuadMtl);
    rig.run({"setinfo info " + c.object + " label", "load " + rig.dir.file(c.file)});
    ASSERT_NE(rig.object(c.object), nullptr) << c.file << "\n" << rig.log();
    EXPECT_EQ(rig.engine.registry().size(), 1u) << c.file;
    EXPECT_EQ(rig.object(c.object)->infoText(), c.object + " label");
    Drawn d = drawn(rig);
    EXPECT_EQ(d.triangles, c.triangles) << c.file;
    expectNear(d.lo, c.lo, c.file + " low corner");
    expectNear(d.hi, c.hi, c.file + " high corner");
    EXPECT_TRUE(rig.logHas("Opening model file")) << c.file;
    EXPECT_TRUE(rig.logHas("MODEL FILE HAS BEEN QUEUED AS VRML, TRIANGLES: \"" +
                           std::to_string(c.triangles) + "\""))
        << rig.log();
    EXPECT_FALSE(rig.logHas("CREATE VRML FROM STRING FAILED")) << c.file;
  }
}

TEST(ModelFiles, TheGltfSampleBoxLoads) {
  ShellRig rig;
  rig.run({"load " + testing::sourcePath("testing/corpus/models/"
                                          "KhronosGroup__glTF-Sample-Models__Box.gltf")});
  VisualObject* box = rig.object("KhronosGroup__glTF-Sample-Models__Box");
  ASSERT_NE(box, nullptr) << rig.log();
  Vec3f colour;
  ASSERT_TRUE(box->diffuseColor.get(colour));
  EXPECT_NEAR(colour.x, 0.8f, 1e-6f);
  EXPECT_EQ(colour.y, 0.0f);
  Drawn d = drawn(rig);
  EXPECT_EQ(d.triangles, 12u);
  expectNear(d.lo, {-0.5f, -0.5f, -0.5f}, "box low corner");
  expectNear(d.hi, {0.5f, 0.5f, 0.5f}, "box high corner");
}

// Real models of the corpus (testing/corpus/models): a textured OBJ with its
// MTL, the same spider as ASCII and as binary STL, and a PLY. The triangle
// counts and corners were read from the files themselves (facets; OBJ and
// PLY faces less two each; the extremes of the vertices the faces use). 56
// of the spider's 1368 triangles repeat a corner and draw nothing.
TEST(ModelFiles, CorpusModelsLoadWithTheirTrianglesAndBounds) {
  struct Case {
    std::string file, object;
    size_t triangles;
    bool textured;
    Vec3f lo, hi;
  } cases[] = {
      {"assimp__assimp__spider/spider.obj", "spider", 1368 - 56, true,
       {-92.655235f, -42.233826f, -106.6912f}, {57.936218f, 37.503952f, 86.6912f}},
      {"assimp__assimp__Spider_ascii.stl", "assimp__assimp__Spider_ascii", 1368 - 56, false,
       {-3.114895f, -4.0f, -1.649329f}, {3.114895f, 4.0f, 1.649329f}},
      {"assimp__assimp__Spider_binary.stl", "assimp__assimp__Spider_binary", 1368 - 56, false,
       {-3.114895f, -4.0f, -1.649329f}, {3.114895f, 4.0f, 1.649329f}},
      {"assimp__assimp__Wuson.ply", "assimp__assimp__Wuson", 3732, false,
       {-0.459976f, -0.000566f, -1.622242f}, {0.459976f, 1.515251f, 1.622242f}},
  };
  for (const Case& c : cases) {
    ShellRig rig;
    rig.run({"load " + testing::sourcePath("testing/corpus/models/" + c.file)});
    ASSERT_NE(rig.object(c.object), nullptr) << c.file << "\n" << rig.log();
    EXPECT_EQ(rig.engine.registry().size(), 1u) << c.file;
    Drawn d = drawn(rig);
    EXPECT_EQ(d.triangles, c.triangles) << c.file;
    expectNear(d.lo, c.lo, c.file + " low corner", 1e-3f);
    expectNear(d.hi, c.hi, c.file + " high corner", 1e-3f);
    EXPECT_FALSE(rig.logHas("CREATE VRML FROM STRING FAILED")) << c.file;
    // The OBJ's shapes carry the images its MTL names (each with a Windows
    // ".\\" in front); the other formats have none.
    size_t shapes = 0, textured = 0;
    DrawList list = collectDrawList(rig.engine.browser().scene().rootNodes(), "", Viewer{});
    for (const DrawItem& item : list.items) {
      ++shapes;
      textured += item.texture != nullptr ? 1 : 0;
    }
    EXPECT_EQ(textured, c.textured ? shapes : 0) << c.file;
  }
}

TEST(ModelFiles, PropertyCommandsActOnTheModelAndTheScaleValueApplies) {
  ShellRig rig;
  rig.dir.write("quad.obj", testing::kQuadObj);
  rig.dir.write("quad.mtl", testing::kQuadMtl);
  rig.run({"setinfo model_scale 2", "load " + rig.dir.file("quad.obj")});
  VisualObject* quad = rig.object("quad");
  ASSERT_NE(quad, nullptr) << rig.log();
  Vec3f colour;
  ASSERT_TRUE(quad->diffuseColor.get(colour));
  EXPECT_EQ(colour, (Vec3f{1, 0, 0}));
  expectNear(drawn(rig).hi, {4, 2, 0}, "scaled");
  rig.run({"setobject quad", "setproperty transparency", "setvalue 32767"});
  float transparency = 0;
  ASSERT_TRUE(quad->transparency.get(transparency));
  EXPECT_NEAR(transparency, 0.5f, 1e-3f);

  rig.run({"setinfo model_scale none", "load " + rig.dir.file("quad.obj")});
  EXPECT_TRUE(rig.logHas("model_scale is no positive number, models are not scaled: \"none\""));
}

TEST(ModelFiles, BrokenModelsGiveOneLineAndQueueNothing) {
  ShellRig rig;
  rig.dir.write("broken.glb", "glTF not really");
  rig.dir.write("broken.stl", "solid x\n facet normal 0 0 0\n  outer loop\n   vertex 1 2\n");
  rig.dir.write("broken.obj", "v 0 0 0\nf 1 2 3\n");
  rig.dir.write("broken.ply", "ply\nformat ascii 1.0\nelement vertex 99\nend_header\n");
  size_t refused = 0;
  for (const char* name : {"broken.glb", "broken.stl", "broken.obj", "broken.ply", "none.gltf"}) {
    rig.builders.loaders().openSceneFile(rig.dir.file(name));
    EXPECT_EQ(rig.primary.waiting(), 0) << name;
    EXPECT_EQ(rig.logCount("could not read model file ("), ++refused) << name << rig.log();
    EXPECT_EQ(rig.logCount(std::string("): \"") + rig.dir.file(name) + "\""), 1u) << rig.log();
  }
  EXPECT_FALSE(rig.primary.mainHeld());
  EXPECT_EQ(rig.engine.registry().size(), 0u);
}

TEST(ModelFiles, CheckAndPrintReadModels) {
  testing::TempDir dir;
  dir.write("tri.gltf", testing::kTriangleGltf);
  dir.write("bad.stl", "solid\n");
  std::ostringstream out;
  EXPECT_EQ(checkSceneFiles({dir.file("tri.gltf")}, out, sceneTextReader(false)), 0);
  EXPECT_EQ(out.str(), dir.file("tri.gltf") + ": ok\n");
  out.str("");
  EXPECT_EQ(checkSceneFiles({dir.file("bad.stl")}, out, sceneTextReader(false)), 1);
  EXPECT_EQ(out.str().rfind(dir.file("bad.stl") + ": ", 0), 0u) << out.str();
  out.str("");
  EXPECT_EQ(printSceneFile(dir.file("tri.gltf"), out, sceneTextReader(true)), 0);
  EXPECT_NE(out.str().find("IndexedFaceSet"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("Mat_tri"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace kestrel
