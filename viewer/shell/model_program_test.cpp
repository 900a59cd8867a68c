// The kestrel program with model files: --check and --print read them as
// the VRML97 text they become, and --snapshot shows them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testing/child_process.h"
#include "testing/test_support.h"
#include "viewer/browser/render/gl/image_io.h"
#include "viewer/media/model_samples.h"

namespace kestrel {
namespace {

using testing::ChildProcess;

std::string kestrelPath() { return testing::programPath("viewer/shell/kestrel"); }

// Rendering runs are not leak-checked (Mesa's drivers keep a little).
const std::vector<std::string> kRenderingEnv{"ASAN_OPTIONS=detect_leaks=0"};

void writeModels(const testing::TempDir& dir) {
  const float lo[3] = {-1, -1, -1}, hi[3] = {1, 1, 1};
  dir.write("box.stl", testing::binaryStl(testing::boxTriangles(lo, hi)));
  dir.write("tri.gltf", testing::kTriangleGltf);
  dir.write("broken.obj", "v 0 0 0\nf 1 2 3\n");
}

TEST(ModelProgram, CheckAndPrintReadModelsAsVrml) {
  testing::TempDir dir(false);
  writeModels(dir);
  ChildProcess check(kestrelPath(), {"--check", dir.file("box.stl"), dir.file("tri.gltf")});
  EXPECT_EQ(check.wait(30000), 0);
  EXPECT_EQ(check.output(), dir.file("box.stl") + ": ok\n" + dir.file("tri.gltf") + ": ok\n");

  ChildProcess broken(kestrelPath(), {"--check", dir.file("tri.gltf"), dir.file("broken.obj")});
  EXPECT_EQ(broken.wait(30000), 1);
  EXPECT_EQ(broken.output(), dir.file("tri.gltf") + ": ok\n" + dir.file("broken.obj") +
                                 ": not a readable model: OBJ: vertex index out of range\n");

  ChildProcess print(kestrelPath(), {"--print", dir.file("tri.gltf")});
  EXPECT_EQ(print.wait(30000), 0);
  std::string text = print.output();
  EXPECT_EQ(text.rfind("#VRML V2.0 utf8\n", 0), 0u) << text;
  EXPECT_NE(text.find("DEF Mat_tri Material"), std::string::npos) << text;
  EXPECT_NE(text.find("diffuseColor 0 0 1"), std::string::npos) << text;
  EXPECT_NE(text.find("coordIndex [0, 1, 2, -1]"), std::string::npos) << text;
}

bool bluish(const uint8_t* p) { return p[2] > 100 && p[0] < 60 && p[1] < 60; }
bool greyish(const uint8_t* p) { return p[0] > 60 && p[0] == p[1] && p[1] == p[2]; }

TEST(ModelProgram, SnapshotsShowModels) {
  testing::TempDir dir(false);
  writeModels(dir);
  ChildProcess shot(kestrelPath(), {"--snapshot", dir.file("out.png"), "--size", "64x64", "-C",
                                    dir.path(), "box.stl", "tri.gltf"}, "", kRenderingEnv);
  ASSERT_EQ(shot.wait(30000), 0) << shot.output();
  RgbaImage image;
  std::string error;
  ASSERT_TRUE(readImageFile(dir.file("out.png"), image, &error)) << error;
  EXPECT_TRUE(greyish(image.at(32, 32)));  // the box, in the middle
  EXPECT_TRUE(bluish(image.at(50, 29)));   // the triangle, right of it
  EXPECT_FALSE(greyish(image.at(2, 2)));
  EXPECT_FALSE(bluish(image.at(2, 2)));
}

bool greenish(const uint8_t* p) { return p[1] > 100 && p[0] < 60 && p[2] < 60; }

// An OBJ whose MTL names a green image beside it: the image is on the quad.
// The glTF's own image lands in model-textures/ of the working directory.
TEST(ModelProgram, SnapshotsShowModelTextures) {
  testing::TempDir dir(false);
  RgbaImage green;
  green.width = green.height = 4;
  for (int i = 0; i < 16; ++i) green.pixels.insert(green.pixels.end(), {0, 200, 0, 255});
  std::string error;
  ASSERT_TRUE(writePng(dir.file("wood.png"), green, &error)) << error;
  dir.write("quad.obj", "mtllib quad.mtl\nv -2 -2 0\nv 2 -2 0\nv 2 2 0\nv -2 2 0\n"
                        "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nusemtl paint\nf 1/1 2/2 3/3 4/4\n");
  dir.write("quad.mtl", "newmtl paint\nKd 1 1 1\nmap_Kd wood.png\n");
  dir.write("skin.gltf", testing::kTexturedTriangleGltf);
  ChildProcess shot(kestrelPath(), {"--snapshot", dir.file("out.png"), "--size", "64x64", "-C",
                                    dir.path(), "quad.obj", "skin.gltf"}, "", kRenderingEnv);
  ASSERT_EQ(shot.wait(30000), 0) << shot.output();
  RgbaImage image;
  ASSERT_TRUE(readImageFile(dir.file("out.png"), image, &error)) << error;
  EXPECT_TRUE(greenish(image.at(24, 40)));
  EXPECT_FALSE(greenish(image.at(2, 2)));
  bool cached = false;
  for (const auto& entry : std::filesystem::directory_iterator(dir.file("model-textures"))) {
    cached = cached || entry.path().filename().string().starts_with("skin-");
  }
  EXPECT_TRUE(cached);
}

}  // namespace
}  // namespace kestrel
