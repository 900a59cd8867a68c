// The kestrel program with model files: --check and --print read them as
// the VRML97 text they become, and --snapshot shows them.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kestrel
