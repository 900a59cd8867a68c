// The kestrel program with model files: --check and --print read them as
// the VRML97 text they become, and --snapshot shows them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
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

// Pixels of an image that differ from its top-left corner by more than a
// little, and where they lie.
struct Foreground {
  int count = 0;
  int minX = 1 << 20, minY = 1 << 20, maxX = -1, maxY = -1;
  std::vector<bool> mask;
};

Foreground foregroundOf(const RgbaImage& image) {
  Foreground f;
  const uint8_t* corner = image.at(0, 0);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = image.at(x, y);
      bool on = false;
      for (int c = 0; c < 3; ++c) on = on || std::abs(p[c] - corner[c]) > 12;
      f.mask.push_back(on);
      if (!on) continue;
      ++f.count;
      f.minX = std::min(f.minX, x), f.maxX = std::max(f.maxX, x);
      f.minY = std::min(f.minY, y), f.maxY = std::max(f.maxY, y);
    }
  }
  return f;
}

RgbaImage snapshotOf(const testing::TempDir& dir, const std::string& name,
                     const std::string& viewpoint, const std::string& model) {
  dir.write(name + ".wrl", "#VRML V2.0 utf8\nViewpoint { position " + viewpoint + " }\n");
  ChildProcess shot(kestrelPath(), {"--snapshot", dir.file(name + ".png"), "--size", "64x64",
                                    dir.file(name + ".wrl"), model}, "", kRenderingEnv);
  EXPECT_EQ(shot.wait(60000), 0) << shot.output();
  RgbaImage image;
  std::string error;
  EXPECT_TRUE(readImageFile(dir.file(name + ".png"), image, &error)) << error;
  return image;
}

// The real models of the corpus, each seen from in front of its bounding
// box: it covers a good part of the picture, around the middle, and not
// the corners; the ASCII and the binary STL of one spider look alike; the
// OBJ's images (MTL beside it) change its pixels from the untextured copy.
TEST(ModelProgram, SnapshotsShowCorpusModels) {
  testing::TempDir dir(false);
  const std::string corpus = testing::sourcePath("testing/corpus/models/");
  struct Case {
    std::string name, viewpoint, file;
  } cases[] = {{"obj", "-17 0 320", "assimp__assimp__spider/spider.obj"},
               {"ascii", "0 0 14", "assimp__assimp__Spider_ascii.stl"},
               {"binary", "0 0 14", "assimp__assimp__Spider_binary.stl"},
               {"ply", "0 0.75 4", "assimp__assimp__Wuson.ply"}};
  std::map<std::string, Foreground> seen;
  for (const Case& c : cases) {
    RgbaImage image = snapshotOf(dir, c.name, c.viewpoint, corpus + c.file);
    ASSERT_EQ(image.width, 64) << c.file;
    Foreground f = foregroundOf(image);
    EXPECT_GT(f.count, 64 * 64 / 20) << c.file;
    EXPECT_LT(f.count, 64 * 64 * 3 / 4) << c.file;
    EXPECT_NEAR((f.minX + f.maxX) / 2.0, 32, 10) << c.file;
    EXPECT_NEAR((f.minY + f.maxY) / 2.0, 32, 10) << c.file;
    EXPECT_FALSE(f.mask[0] || f.mask[63] || f.mask[63 * 64] || f.mask[64 * 64 - 1]) << c.file;
    seen[c.name] = f;
  }
  int differ = 0;
  for (size_t i = 0; i < seen["ascii"].mask.size(); ++i) {
    differ += seen["ascii"].mask[i] != seen["binary"].mask[i] ? 1 : 0;
  }
  EXPECT_LT(differ, 20);

  // The same OBJ without its MTL and images beside it.
  std::filesystem::copy_file(corpus + "assimp__assimp__spider/spider.obj", dir.file("bare.obj"));
  RgbaImage textured = snapshotOf(dir, "obj", "-17 0 320", corpus + cases[0].file);
  RgbaImage bare = snapshotOf(dir, "bare", "-17 0 320", dir.file("bare.obj"));
  const Foreground& spider = seen["obj"];
  int changed = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      bool differs = false;
      for (int c = 0; c < 3; ++c) differs = differs || textured.at(x, y)[c] != bare.at(x, y)[c];
      changed += differs && spider.mask[y * 64 + x] ? 1 : 0;
    }
  }
  EXPECT_GT(changed, spider.count / 2);

  ChildProcess print(kestrelPath(), {"--print", corpus + cases[0].file});
  EXPECT_EQ(print.wait(30000), 0);
  const std::string text = print.output();
  // (The MTL's fifth image, wal69ar_small.jpg, belongs to a material no face uses.)
  for (const char* image :
       {"SpiderTex.jpg", "wal67ar_small.jpg", "drkwood2.jpg", "engineflare1.jpg"}) {
    EXPECT_NE(text.find(std::string("assimp__assimp__spider/") + image + "\""),
              std::string::npos) << image;
  }
}

}  // namespace
}  // namespace kestrel
