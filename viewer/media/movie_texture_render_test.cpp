// MovieTexture drawn through the browser's clock in off-screen snapshots:
// the first frame before it runs, the frame for the clock's time while it
// runs and after it loops; a file that is no movie is logged once and the
// rest of the scene still draws; another url shows the other movie; a real
// movie world plays its movie; a movie's alpha shows what is behind it.
#include <gtest/gtest.h>

#include "testing/test_support.h"
#include "viewer/browser/render/gl/image_io.h"
#include "viewer/browser/render/gl/snapshot.h"
#include "viewer/media/movie_decoder.h"
#include "viewer/media/movie_test_support.h"

namespace kestrel {
namespace {

constexpr int kSize = 64;

struct Rgb {
  int r, g, b;
};

Rgb snapshotPixel(CVrmlBrowser& browser, const testing::TempDir& dir, int x, int y) {
  std::string error;
  const std::string png = dir.file("shot.png");
  EXPECT_EQ(renderSnapshot(browser, kSize, kSize, png, &error), 0) << error;
  RgbaImage img;
  std::string why;
  if (!readImageFile(png, img, &why) || img.width != kSize) {
    ADD_FAILURE() << why;
    return {};
  }
  const uint8_t* p = img.at(x, y);
  return {p[0], p[1], p[2]};
}

// Loads the world file PATH into BROWSER, with the movie decoder as the
// length probe.
::testing::AssertionResult loadWorld(CVrmlBrowser& browser, const std::string& path) {
  browser.setMediaProbe([](const std::string& file, NodeKind) { return movieDuration(file); });
  VrmlContent content;
  if (!browser.createFromFile(path, content)) {
    return ::testing::AssertionFailure() << browser.lastError().text();
  }
  if (!browser.appendToRoot(content)) return ::testing::AssertionFailure() << "not added";
  return ::testing::AssertionSuccess();
}

int countLines(const std::string& path, const std::string& part) {
  int n = 0;
  for (const std::string& line : testing::readLines(path)) n += line.find(part) != std::string::npos;
  return n;
}

TEST(MovieTextureRender, ShowsTheFrameForTheClockAndSkipsABrokenMovie) {
  testing::TempDir dir;
  ASSERT_TRUE(writeTestMovie(dir.file("m.avi"),
                             {{220, 30, 30}, {30, 200, 30}, {30, 30, 220}, {240, 240, 240}}));
  dir.write("bad.avi", "RIFF....AVI LIST but nothing after it");
  const std::string scene = dir.write(
      "movie.wrl",
      "#VRML V2.0 utf8\n"
      "Background { skyColor 0 0 0 }\n"
      "Shape { appearance Appearance { texture DEF M MovieTexture {\n"
      "  url \"m.avi\" loop TRUE startTime 1 } } geometry Box {} }\n"
      "Transform { translation 3 0 0 children Shape { appearance Appearance {\n"
      "  texture MovieTexture { url \"bad.avi\" } } geometry Box {} } }\n"
      "Transform { translation -3 0 0 children Shape { appearance Appearance {\n"
      "  material Material { emissiveColor 1 1 0 diffuseColor 0 0 0 } } geometry Box {} } }\n");
  CVrmlBrowser browser;
  ASSERT_TRUE(loadWorld(browser, scene));
  NodeHandle movie;
  ASSERT_TRUE(browser.findNode("M", movie));

  browser.advanceTime(0.5);  // before startTime: the first frame
  EXPECT_NEAR(*movie.node()->field("duration_changed")->as<double>(), 2.0, 0.01);
  Rgb c = snapshotPixel(browser, dir, kSize / 2, kSize / 2);
  EXPECT_GT(c.r, 180);
  EXPECT_LT(c.g, 80);
  EXPECT_EQ(countLines(dir.file("kestrel.log"), "Movie not shown:"), 1);
  Rgb side = snapshotPixel(browser, dir, 3, kSize / 2);  // the plain yellow box beside it
  EXPECT_GT(side.r, 200);
  EXPECT_GT(side.g, 200);

  browser.advanceTime(1.8);  // 0.8 s in: the second frame
  c = snapshotPixel(browser, dir, kSize / 2, kSize / 2);
  EXPECT_GT(c.g, 150);
  EXPECT_LT(c.r, 80);
  std::string error;
  auto frames = FrameRenderer::create({}, &error);  // as video frames are made
  ASSERT_TRUE(frames) << error;
  RgbaImage image;
  ASSERT_TRUE(frames->render(browser, kSize, kSize, image, &error)) << error;
  EXPECT_GT(image.at(kSize / 2, kSize / 2)[1], 150);
  EXPECT_LT(image.at(kSize / 2, kSize / 2)[0], 80);
  frames.reset();

  browser.advanceTime(4.2);  // 3.2 s in, looped: 1.2 s, the third frame
  c = snapshotPixel(browser, dir, kSize / 2, kSize / 2);
  EXPECT_GT(c.b, 150);
  EXPECT_LT(c.g, 80);
}

TEST(MovieTextureRender, CorpusMovieWorldPlaysItsMovie) {
  testing::TempDir dir;
  const std::string world =
      testing::sourcePath("testing/corpus/media/castle-engine__demo-models__movie_texture_tests.wrl");
  CVrmlBrowser browser;
  ASSERT_TRUE(loadWorld(browser, world));
  int movies = 0;
  forEachNode(browser.scene().rootNodes(), [&](const NodePtr& n) {
    if (n->type->kind != NodeKind::MovieTexture) return;
    ++movies;
    EXPECT_NEAR(browser.mediaDuration(*n), 4.0, 0.05);
  });
  EXPECT_EQ(movies, 15);
  // The Box at the origin plays once from time 0; its face's upper right
  // shows the movie's background, dark at the start and light at the end.
  const int x = kSize / 2 + 6, y = kSize / 2 - 6;
  browser.advanceTime(0.1);
  Rgb early = snapshotPixel(browser, dir, x, y);
  browser.advanceTime(3.6);
  Rgb late = snapshotPixel(browser, dir, x, y);
  EXPECT_GT(late.r + late.g + late.b, early.r + early.g + early.b + 200)
      << early.r << " " << early.g << " " << early.b << " -> " << late.r << " " << late.g << " "
      << late.b;
  EXPECT_GT(late.b, 200);
  EXPECT_EQ(countLines(dir.file("kestrel.log"), "Movie not shown:"), 0);
}

TEST(MovieTextureRender, AnotherUrlShowsTheOtherMovie) {
  testing::TempDir dir;
  ASSERT_TRUE(writeTestMovie(dir.file("red.avi"), {{220, 30, 30}, {220, 30, 30}}));
  ASSERT_TRUE(writeTestMovie(dir.file("green.avi"), {{30, 200, 30}, {30, 200, 30}}));
  const std::string scene = dir.write(
      "movie.wrl",
      "#VRML V2.0 utf8\n"
      "Shape { appearance Appearance { texture DEF M MovieTexture { url \"red.avi\" } }\n"
      "  geometry Box {} }\n");
  CVrmlBrowser browser;
  ASSERT_TRUE(loadWorld(browser, scene));
  NodeHandle movie;
  FieldHandle url;
  ASSERT_TRUE(browser.findNode("M", movie));
  ASSERT_TRUE(browser.field(movie, "url", url));
  std::string error;
  // One renderer for both frames, as the window and video export keep theirs.
  auto frames = FrameRenderer::create({}, &error);
  ASSERT_TRUE(frames) << error;
  RgbaImage image;
  browser.advanceTime(0.5);
  ASSERT_TRUE(frames->render(browser, kSize, kSize, image, &error)) << error;
  EXPECT_GT(image.at(kSize / 2, kSize / 2)[0], 180);
  url.set(FieldValue{FieldType::MFString, std::vector<std::string>{dir.file("green.avi")}});
  browser.advanceTime(0.6);
  ASSERT_TRUE(frames->render(browser, kSize, kSize, image, &error)) << error;
  EXPECT_GT(image.at(kSize / 2, kSize / 2)[1], 150);
  EXPECT_LT(image.at(kSize / 2, kSize / 2)[0], 80);
}

// A square textured by a movie in front of a yellow wall: where the movie's
// alpha is clear the wall shows through, and its opaque texels are opaque
// although the Material is mostly transparent (the texture's alpha
// replaces the Material's). A movie without alpha covers the wall.
TEST(MovieTextureRender, MovieAlphaShowsWhatIsBehind) {
  testing::TempDir dir;
  TestMovie withAlpha;
  withAlpha.container = "mov";
  withAlpha.codec = AV_CODEC_ID_QTRLE;
  withAlpha.pixelFormat = AV_PIX_FMT_ARGB;
  withAlpha.clearColumns = 16;  // the left quarter
  ASSERT_TRUE(writeTestMovie(dir.file("clear.mov"), {{220, 30, 30}, {220, 30, 30}}, withAlpha));
  TestMovie plain;
  plain.clearColumns = 16;  // lost in YUV without alpha
  ASSERT_TRUE(writeTestMovie(dir.file("plain.avi"), {{220, 30, 30}, {220, 30, 30}}, plain));
  struct Case {
    const char* movie;
    const char* transparency;
    bool clearLeft;
  };
  for (const Case& c : {Case{"clear.mov", "0.8", true}, Case{"plain.avi", "0", false}}) {
    SCOPED_TRACE(c.movie);
    const std::string scene = dir.write(
        "alpha.wrl", std::string("#VRML V2.0 utf8\n"
                                 "NavigationInfo { headlight TRUE }\n"
                                 "Transform { translation 0 0 -5 children Shape {\n"
                                 "  appearance Appearance { material Material {\n"
                                 "    emissiveColor 1 1 0 diffuseColor 0 0 0 } }\n"
                                 "  geometry Box { size 30 30 1 } } }\n"
                                 "Shape { appearance Appearance {\n"
                                 "  material Material { diffuseColor 1 1 1 transparency ") +
                         c.transparency +
                         " }\n"
                         "  texture MovieTexture { url \"" + c.movie + "\" } }\n"
                         "  geometry IndexedFaceSet {\n"
                         "    coord Coordinate { point [-3 -3 0, 3 -3 0, 3 3 0, -3 3 0] }\n"
                         "    coordIndex [0 1 2 3 -1]\n"
                         "    texCoord TextureCoordinate { point [0 0, 1 0, 1 1, 0 1] }\n"
                         "    texCoordIndex [0 1 2 3 -1] } }\n");
    CVrmlBrowser browser;
    ASSERT_TRUE(loadWorld(browser, scene));
    browser.advanceTime(0.1);
    const Rgb left = snapshotPixel(browser, dir, 14, kSize / 2);
    const Rgb right = snapshotPixel(browser, dir, 40, kSize / 2);
    EXPECT_GT(right.r, 150);  // the movie's red, not mixed with the wall
    EXPECT_LT(right.g, 60);
    if (c.clearLeft) {
      EXPECT_GT(left.r, 200);  // the yellow wall through the clear texels
      EXPECT_GT(left.g, 200);
    } else {
      EXPECT_GT(left.r, 150);
      EXPECT_LT(left.g, 60);
    }
  }
}

}  // namespace
}  // namespace kestrel

// Mesa's drivers keep blocks past eglTerminate that the leak checker cannot
// tell from ours; the decoder is leak-checked by movie_test.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
