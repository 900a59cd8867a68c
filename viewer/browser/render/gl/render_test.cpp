// Frames drawn off screen through EGL, checked against facts about their
// pixels.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "viewer/browser/render/gl/render_test_support.h"

namespace kestrel {
namespace {

constexpr int kSize = 64;

RgbaImage draw(const std::string& text, const std::string& baseDir = {}) {
  return drawScene(text, kSize, baseDir);
}

const std::string kBlueSky = "Background { skyColor 0 0 1 } ";
const std::string kUnlitRed =
    "Shape { appearance Appearance { material Material { diffuseColor 0 0 0"
    " emissiveColor 1 0 0 } } geometry Sphere {} }";

TEST(Render, RedSphereIsRedAtTheCentreAndSkyAtTheCorners) {
  RgbaImage img = draw(kBlueSky + kUnlitRed);
  Rgb c = pixel(img, kSize / 2, kSize / 2);
  EXPECT_GT(c.r, 240);
  EXPECT_LT(c.g, 10);
  EXPECT_LT(c.b, 10);
  for (auto [x, y] : {std::pair{0, 0}, {kSize - 1, 0}, {0, kSize - 1}, {kSize - 1, kSize - 1}}) {
    Rgb k = pixel(img, x, y);
    EXPECT_EQ(k.r, 0);
    EXPECT_EQ(k.b, 255);
  }
}

TEST(Render, ObjectScaledToAHundredthIsGone) {
  RgbaImage img = draw(kBlueSky + "Transform { scale 0.01 0.01 0.01 children " + kUnlitRed + " }");
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) ASSERT_EQ(pixel(img, x, y).r, 0) << x << "," << y;
}

TEST(Render, HalfTransparentShapeBlendsWithWhatIsBehind) {
  RgbaImage img = draw(kBlueSky +
                       "Shape { appearance Appearance { material Material { diffuseColor 0 0 0"
                       " emissiveColor 1 0 0 transparency 0.5 } } geometry Box {} }");
  Rgb c = pixel(img, kSize / 2, kSize / 2);
  EXPECT_NEAR(c.r, 128, 3);
  EXPECT_NEAR(c.b, 128, 3);
}

TEST(Render, TransparentShapeInFrontOfAnOpaqueOneIsDrawnAfterIt) {
  // The transparent box comes first in the file yet lies in front.
  RgbaImage img = draw(kBlueSky +
                       "Transform { translation 0 0 2 children Shape { appearance Appearance {"
                       " material Material { diffuseColor 0 0 0 emissiveColor 0 1 0"
                       " transparency 0.5 } } geometry Box {} } } " + kUnlitRed);
  Rgb c = pixel(img, kSize / 2, kSize / 2);
  EXPECT_NEAR(c.r, 128, 3);
  EXPECT_NEAR(c.g, 128, 3);
  EXPECT_LT(c.b, 5);
}

TEST(Render, DirectionalLightLightsTheFrontFace) {
  std::string box = "Shape { appearance Appearance { material Material { diffuseColor 1 1 1"
                    " ambientIntensity 0 } } geometry Box {} }";
  std::string noHead = "NavigationInfo { headlight FALSE } ";
  RgbaImage lit = draw(noHead + "DirectionalLight { direction 0 0 -1 } " + box);
  RgbaImage away = draw(noHead + "DirectionalLight { direction 0 0 1 } " + box);
  RgbaImage dark = draw(noHead + box);
  EXPECT_GT(pixel(lit, kSize / 2, kSize / 2).g, 240);
  EXPECT_LT(pixel(away, kSize / 2, kSize / 2).g, 5);
  EXPECT_LT(pixel(dark, kSize / 2, kSize / 2).g, 5);
  // The headlight alone lights what faces the viewer.
  EXPECT_GT(pixel(draw(box), kSize / 2, kSize / 2).g, 240);
}

TEST(Render, PointLightFallsOffOutsideItsRadius) {
  std::string box = "Shape { appearance Appearance { material Material { diffuseColor 1 1 1"
                    " ambientIntensity 0 } } geometry Box {} }";
  std::string noHead = "NavigationInfo { headlight FALSE } ";
  RgbaImage near = draw(noHead + "PointLight { location 0 0 5 radius 10 } " + box);
  RgbaImage far = draw(noHead + "PointLight { location 0 0 5 radius 1 } " + box);
  EXPECT_GT(pixel(near, kSize / 2, kSize / 2).r, 200);
  EXPECT_LT(pixel(far, kSize / 2, kSize / 2).r, 5);
}

TEST(Render, PixelTextureColourShows) {
  RgbaImage img = draw(kBlueSky +
                       "Shape { appearance Appearance { texture PixelTexture {"
                       " image 1 1 3 0x00FF00 } } geometry Box {} }");
  Rgb c = pixel(img, kSize / 2, kSize / 2);
  EXPECT_LT(c.r, 5);
  EXPECT_GT(c.g, 250);
  EXPECT_LT(c.b, 5);
}

TEST(Render, ImageTextureFileColourShows) {
  auto dir = std::filesystem::temp_directory_path() / "kestrel_render_tex";
  std::filesystem::create_directories(dir);
  RgbaImage tex;
  tex.width = tex.height = 4;
  tex.pixels.clear();
  for (int i = 0; i < 16; ++i) tex.pixels.insert(tex.pixels.end(), {255, 255, 0, 255});
  std::string error;
  ASSERT_TRUE(writePng((dir / "yellow.png").string(), tex, &error)) << error;
  RgbaImage img = draw(kBlueSky +
                       "Shape { appearance Appearance { texture ImageTexture {"
                       " url [\"missing.png\" \"yellow.png\"] } } geometry Box {} }",
                       dir.string());
  Rgb c = pixel(img, kSize / 2, kSize / 2);
  EXPECT_GT(c.r, 250);
  EXPECT_GT(c.g, 250);
  EXPECT_LT(c.b, 5);
  std::filesystem::remove_all(dir);
}

TEST(Render, FogHidesWhatLiesBeyondItsRange) {
  RgbaImage img = draw("Background { skyColor 1 1 1 } Fog { color 1 1 1 visibilityRange 5 } " +
                       kUnlitRed);
  Rgb c = pixel(img, kSize / 2, kSize / 2);
  EXPECT_EQ(c.g, 255);
}

TEST(Render, BoundViewpointLooksWhereItPoints) {
  // The sphere sits to the right; a viewpoint there sees it in the middle.
  std::string s = kBlueSky + "Viewpoint { position 5 0 10 } Transform { translation 5 0 0 children " +
                  kUnlitRed + " }";
  EXPECT_GT(pixel(draw(s), kSize / 2, kSize / 2).r, 240);
}

TEST(Render, SnapshotWritesAPngOfTheBrowserScene) {
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(kBlueSky + kUnlitRed, content));
  ASSERT_TRUE(browser.appendToRoot(content));
  auto path = std::filesystem::temp_directory_path() / "kestrel_render_snapshot.png";
  std::string error;
  ASSERT_EQ(renderSnapshot(browser, 80, 40, path.string(), &error), 0) << error;
  RgbaImage back;
  ASSERT_TRUE(readImageFile(path.string(), back, &error)) << error;
  EXPECT_EQ(back.width, 80);
  EXPECT_EQ(back.height, 40);
  EXPECT_GT(back.at(40, 20)[0], 240);
  EXPECT_EQ(back.at(0, 0)[2], 255);
  std::filesystem::remove(path);
  EXPECT_NE(renderSnapshot(browser, 0, 40, path.string(), &error), 0);
  EXPECT_NE(renderSnapshot(browser, 8, 8, "/nonexistent-dir/x.png", &error), 0);
}

TEST(Render, SnapshotFramesRenderTheSameFrameAgainAndWriteTheLast) {
  Scene scene = parseScene(kBlueSky + kUnlitRed);
  auto path = std::filesystem::temp_directory_path() / "kestrel_render_frames.png";
  std::string error;
  ASSERT_EQ(renderSnapshotFrames(scene, 32, 24, path.string(), 3, &error), 0) << error;
  RgbaImage back;
  ASSERT_TRUE(readImageFile(path.string(), back, &error)) << error;
  EXPECT_EQ(back.width, 32);
  EXPECT_GT(back.at(16, 12)[0], 240);
  EXPECT_EQ(back.at(0, 0)[2], 255);
  std::filesystem::remove(path);
  EXPECT_NE(renderSnapshotFrames(scene, 32, 24, "", 2, &error), 0);
  EXPECT_NE(renderSnapshotFrames(scene, 32, 24, "/nonexistent-dir/x.png", 2, &error), 0);
}

TEST(Render, RendererMadeOnAnotherThreadDrawsOnTheTakingThread) {
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(kBlueSky + kUnlitRed, content));
  ASSERT_TRUE(browser.appendToRoot(content));
  std::string error;
  // A renderer made here first, then one made on another thread: both
  // share the process's EGL display, and the first going does not take
  // the display from the second.
  auto here = FrameRenderer::create({}, &error);
  ASSERT_TRUE(here) << error;
  RgbaImage fromHere;
  ASSERT_TRUE(here->render(browser, 40, 30, fromHere, &error)) << error;
  FrameRendererStart start({});
  auto taken = start.take(&error);
  ASSERT_TRUE(taken) << error;
  here.reset();
  RgbaImage fromThread;
  ASSERT_TRUE(taken->render(browser, 40, 30, fromThread, &error)) << error;
  EXPECT_EQ(fromThread.pixels, fromHere.pixels);
  EXPECT_GT(fromThread.at(20, 15)[0], 240);
  EXPECT_EQ(fromThread.at(0, 0)[2], 255);
  // The renderer is handed over once.
  EXPECT_FALSE(start.take(&error));
  EXPECT_FALSE(error.empty());
}

// A red triangle that a TimeSensor moves from left (x -2) to right (x 1)
// over its first three seconds.
const std::string kMovingTriangle =
    kBlueSky +
    "DEF T TimeSensor { cycleInterval 4 loop TRUE }"
    "DEF CI CoordinateInterpolator { key [0 1] keyValue [-3 -1 0, -1 -1 0, -2 1 0,"
    " 1 -1 0, 3 -1 0, 2 1 0] }"
    "Shape { appearance Appearance { material Material { diffuseColor 0 0 0"
    " emissiveColor 1 0 0 } } geometry IndexedFaceSet { solid FALSE"
    " coord DEF C Coordinate { point [-3 -1 0, -1 -1 0, -2 1 0] } coordIndex [0 1 2 -1] } }"
    "ROUTE T.fraction_changed TO CI.set_fraction ROUTE CI.value_changed TO C.set_point";

TEST(Render, FrameWorkDoneAheadDrawsTheSameAndIsDroppedWhenTheSceneChanged) {
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(kMovingTriangle, content));
  ASSERT_TRUE(browser.appendToRoot(content));
  browser.advanceTime(0);
  std::string error;
  auto frames = FrameRenderer::create({}, &error);
  ASSERT_TRUE(frames) << error;
  RgbaImage plain, ahead;
  ASSERT_TRUE(frames->render(browser, kSize, kSize, plain, &error)) << error;
  auto other = FrameRenderer::create({}, &error);
  ASSERT_TRUE(other) << error;
  other->adopt(prepareFrameAhead(browser, kSize, kSize, {}));
  ASSERT_TRUE(other->render(browser, kSize, kSize, ahead, &error)) << error;
  EXPECT_EQ(ahead.pixels, plain.pixels);
  EXPECT_GT(pixel(ahead, 16, kSize / 2).r, 240);  // on the left

  // Made ahead, then the triangle moves: the work done ahead is stale.
  FrameAhead stale = prepareFrameAhead(browser, kSize, kSize, {});
  browser.advanceTime(3);
  other->adopt(std::move(stale));
  RgbaImage moved;
  ASSERT_TRUE(other->render(browser, kSize, kSize, moved, &error)) << error;
  EXPECT_GT(pixel(moved, 40, kSize / 2).r, 240) << "the triangle moved right";
  EXPECT_EQ(pixel(moved, 16, kSize / 2).b, 255) << "and left the left side";
}

TEST(Render, UntakenRendererIsDroppedWithItsStart) {
  { FrameRendererStart start({}); }  // joins its thread; nothing leaks or hangs
  FrameRendererStart start({});
  std::string error;
  auto taken = start.take(&error);
  ASSERT_TRUE(taken) << error;
  CVrmlBrowser empty;
  RgbaImage img;
  EXPECT_TRUE(taken->render(empty, 8, 8, img, &error)) << error;
  EXPECT_EQ(img.at(4, 4)[0], 0);
}

}  // namespace
}  // namespace kestrel

// Mesa's drivers keep allocations until the process ends and are unloaded
// by eglTerminate, so the leak checker cannot tell their blocks from ours;
// the renderer's own code is leak-checked by the GPU-free tests.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
