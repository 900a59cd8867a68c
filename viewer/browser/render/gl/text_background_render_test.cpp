// Text and Background drawn off screen through EGL, checked against facts
// about their pixels.
#include <gtest/gtest.h>

#include <filesystem>

#include "viewer/browser/render/gl/render_test_support.h"

namespace kestrel {
namespace {

constexpr int kSize = 96;

RgbaImage draw(const std::string& text, const std::string& baseDir = {}) {
  return drawScene(text, kSize, baseDir);
}

bool isRed(Rgb c) { return c.r > 200 && c.g < 70 && c.b < 70; }
bool isBlue(Rgb c) { return c.r < 10 && c.g < 10 && c.b > 245; }
bool isGreen(Rgb c) { return c.r < 10 && c.g > 245 && c.b < 10; }

int countIn(const RgbaImage& img, int x0, int y0, int x1, int y1, bool (*test)(Rgb)) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += test(pixel(img, x, y));
  return n;
}

const std::string kGreenGroundBlueSky = "Background { skyColor 0 0 1 groundColor 0 1 0 } ";

TEST(BackgroundRender, GroundBelowAndSkyAboveWhenLookingLevel) {
  RgbaImage img = draw(kGreenGroundBlueSky);
  for (int x : {0, kSize / 2, kSize - 1}) {
    EXPECT_TRUE(isBlue(pixel(img, x, 0))) << x;
    EXPECT_TRUE(isBlue(pixel(img, x, kSize / 2 - 3))) << x;
    EXPECT_TRUE(isGreen(pixel(img, x, kSize / 2 + 3))) << x;
    EXPECT_TRUE(isGreen(pixel(img, x, kSize - 1))) << x;
  }
}

TEST(BackgroundRender, SpheresTurnWithTheViewButDoNotComeNearer) {
  // Far above the ground, looking level: the horizon stays in the middle.
  RgbaImage high = draw(kGreenGroundBlueSky + "Viewpoint { position 0 500 0 }");
  EXPECT_TRUE(isBlue(pixel(high, kSize / 2, kSize / 2 - 3)));
  EXPECT_TRUE(isGreen(pixel(high, kSize / 2, kSize / 2 + 3)));
  // Looking up sees only sky, looking down only ground.
  RgbaImage up = draw(kGreenGroundBlueSky + "Viewpoint { orientation 1 0 0 1.5 }");
  RgbaImage down = draw(kGreenGroundBlueSky + "Viewpoint { orientation 1 0 0 -1.5 }");
  EXPECT_EQ(countIn(up, 0, 0, kSize, kSize, isBlue), kSize * kSize);
  EXPECT_EQ(countIn(down, 0, 0, kSize, kSize, isGreen), kSize * kSize);
}

TEST(BackgroundRender, TransformOfTheBackgroundTurnsItsSky) {
  // Turned upside down, the ground lies above.
  RgbaImage img = draw("Transform { rotation 0 0 1 3.14159 children " + kGreenGroundBlueSky + "}");
  EXPECT_TRUE(isGreen(pixel(img, kSize / 2, 2)));
  EXPECT_TRUE(isBlue(pixel(img, kSize / 2, kSize - 3)));
}

TEST(BackgroundRender, OneColourFillsTheFrameWithExactlyThatColour) {
  // Sky alone, and sky and ground of the same colour (a clear draws these),
  // beside a gradient whose two bands happen to be the same colour.
  for (const char* bg : {"Background { skyColor 0.2 0.4 0.6 }",
                         "Background { skyColor 0.2 0.4 0.6 groundColor 0.2 0.4 0.6 }",
                         "Background { skyColor [0.2 0.4 0.6, 0.2 0.4 0.6] skyAngle 1"
                         " groundColor [0.2 0.4 0.6, 0.2 0.4 0.6] groundAngle 1 }"}) {
    RgbaImage img = draw(bg);
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        Rgb c = pixel(img, x, y);
        ASSERT_TRUE(c.r == 51 && c.g == 102 && c.b == 153) << bg << " at " << x << "," << y;
      }
  }
  // A ground of another colour is not plain: it shows below the horizon.
  RgbaImage img = draw("Background { skyColor 0.2 0.4 0.6 groundColor 0 1 0 }");
  EXPECT_TRUE(isGreen(pixel(img, kSize / 2, kSize - 1)));
}

TEST(BackgroundRender, SkyGradientRunsFromZenithToHorizon) {
  RgbaImage img = draw("Background { skyColor [1 1 1, 0 0 1] skyAngle [1.5708] }"
                       "Viewpoint { orientation 1 0 0 0.3927 fieldOfView 0.7854 }");
  // The top row looks 45 degrees up; the bottom row level: whiter at the top.
  Rgb top = pixel(img, kSize / 2, 0), bottom = pixel(img, kSize / 2, kSize - 1);
  EXPECT_GT(top.r, 100);
  EXPECT_LT(bottom.r, 20);
  EXPECT_GT(bottom.b, 245);
  EXPECT_GT(top.r, pixel(img, kSize / 2, kSize / 2).r);
}

TEST(BackgroundRender, ShapesAreDrawnOverTheBackground) {
  RgbaImage img = draw(kGreenGroundBlueSky +
                       "Shape { appearance Appearance { material Material { diffuseColor 0 0 0"
                       " emissiveColor 1 0 0 } } geometry Sphere {} }");
  EXPECT_TRUE(isRed(pixel(img, kSize / 2, kSize / 2)));
  EXPECT_TRUE(isBlue(pixel(img, 0, 0)));
  EXPECT_TRUE(isGreen(pixel(img, 0, kSize - 1)));
}

void writeSolidPng(const std::filesystem::path& path, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  RgbaImage img;
  img.width = img.height = 4;
  img.hasAlpha = a != 255;
  for (int i = 0; i < 16; ++i) img.pixels.insert(img.pixels.end(), {r, g, b, a});
  std::string error;
  ASSERT_TRUE(writePng(path.string(), img, &error)) << error;
}

TEST(BackgroundRender, PanoramaImagesLieOverTheSkyOnTheirSides) {
  auto dir = std::filesystem::temp_directory_path() / "kestrel_panorama_test";
  std::filesystem::create_directories(dir);
  writeSolidPng(dir / "red.png", 255, 0, 0, 255);
  writeSolidPng(dir / "yellow.png", 255, 255, 0, 255);
  writeSolidPng(dir / "clear.png", 255, 255, 255, 0);
  std::string bg = "Background { skyColor 0 0 1 groundColor 0 1 0 frontUrl [\"missing.png\" "
                   "\"red.png\"] topUrl \"yellow.png\" backUrl \"clear.png\" } ";
  RgbaImage front = draw(bg, dir.string());
  EXPECT_EQ(countIn(front, 0, 0, kSize, kSize, isRed), kSize * kSize);
  RgbaImage up = draw(bg + "Viewpoint { orientation 1 0 0 1.5708 }", dir.string());
  Rgb c = pixel(up, kSize / 2, kSize / 2);
  EXPECT_GT(c.r, 245);
  EXPECT_GT(c.g, 245);
  EXPECT_LT(c.b, 10);
  // Behind, the image is see-through: the sky and ground show.
  RgbaImage back = draw(bg + "Viewpoint { orientation 0 1 0 3.14159 }", dir.string());
  EXPECT_TRUE(isBlue(pixel(back, kSize / 2, 2)));
  EXPECT_TRUE(isGreen(pixel(back, kSize / 2, kSize - 3)));
  // Sides without an image show the bands.
  RgbaImage left = draw(bg + "Viewpoint { orientation 0 1 0 1.5708 }", dir.string());
  EXPECT_TRUE(isBlue(pixel(left, kSize / 2, 2)));
  std::filesystem::remove_all(dir);
}

// An image in quarters: red above, blue below on the left; yellow above,
// green below on the right.
void writeQuartersPng(const std::filesystem::path& path) {
  RgbaImage img;
  img.width = img.height = 16;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      bool right = x >= 8, below = y >= 8;
      uint8_t r = below ? 0 : 255, g = right ? 255 : 0, b = !right && below ? 255 : 0;
      img.pixels.insert(img.pixels.end(), {r, g, b, 255});
    }
  std::string error;
  ASSERT_TRUE(writePng(path.string(), img, &error)) << error;
}

TEST(BackgroundRender, PanoramaImagesAreSeenUprightFromInside) {
  auto dir = std::filesystem::temp_directory_path() / "kestrel_panorama_upright";
  std::filesystem::create_directories(dir);
  writeQuartersPng(dir / "q.png");
  std::string bg = "Background { frontUrl \"q.png\" backUrl \"q.png\" leftUrl \"q.png\""
                   " rightUrl \"q.png\" topUrl \"q.png\" bottomUrl \"q.png\" } ";
  int lo = kSize / 4, hi = kSize * 3 / 4;
  auto expectQuarters = [&](const RgbaImage& img, const char* what) {
    EXPECT_TRUE(isRed(pixel(img, lo, lo))) << what;
    EXPECT_TRUE(isBlue(pixel(img, lo, hi))) << what;
    Rgb tr = pixel(img, hi, lo), br = pixel(img, hi, hi);
    EXPECT_TRUE(tr.r > 245 && tr.g > 245 && tr.b < 10) << what;
    EXPECT_TRUE(isGreen(br)) << what;
  };
  expectQuarters(draw(bg + "Viewpoint { fieldOfView 1.2 }", dir.string()), "front");
  // Looking up from facing the front, the top image continues the front one.
  expectQuarters(draw(bg + "Viewpoint { orientation 1 0 0 1.5708 fieldOfView 1.2 }", dir.string()),
                 "top");
  expectQuarters(draw(bg + "Viewpoint { orientation 1 0 0 -1.5708 fieldOfView 1.2 }", dir.string()),
                 "bottom");
  const char* turns[3][2] = {{"-1.5708", "right"}, {"1.5708", "left"}, {"3.14159", "back"}};
  for (auto [angle, what] : turns)
    expectQuarters(
        draw(bg + "Viewpoint { orientation 0 1 0 " + angle + " fieldOfView 1.2 }", dir.string()),
        what);
  std::filesystem::remove_all(dir);
}

// The label the viewer writes for a "label" command, in red.
std::string redLabel(const std::string& text, const std::string& scale) {
  return "Transform { translation 0 0 0 scale " + scale +
         " children [ Shape { appearance Appearance { "
         " material Material { emissiveColor 1 0 0  diffuseColor 1 0 0 } } "
         " geometry Text3D { string [ \"" + text + "\" ] } } ] }";
}

TEST(TextRender, RedLabelIsRedNearTheCentreAndBackgroundAtTheCorners) {
  RgbaImage img = draw("Background { skyColor 0 0 1 } " + redLabel("test label", "1.5 1.5 1.5"));
  // The label starts at the origin (the image centre) and runs to the right.
  EXPECT_GT(countIn(img, kSize / 2, kSize / 2 - 10, kSize / 2 + 30, kSize / 2, isRed), 20);
  EXPECT_EQ(countIn(img, 0, 0, kSize / 2 - 2, kSize / 2 - 12, isRed), 0);
  EXPECT_EQ(countIn(img, 0, kSize / 2 + 6, kSize, kSize, isRed), 0);
  for (auto [x, y] : {std::pair{0, 0}, {kSize - 1, 0}, {0, kSize - 1}, {kSize - 1, kSize - 1}})
    EXPECT_TRUE(isBlue(pixel(img, x, y)));
}

TEST(TextRender, BuiltInLabelIsHalfSeeThrough) {
  // The viewer's own label text: a pale red, transparency 0.3, over the sky.
  RgbaImage img = draw(
      "Background { skyColor 0 0 1 } Transform { scale 2 2 2 children [  Shape { appearance "
      "Appearance { material DEF Mat_label_1 Material {\tdiffuseColor .8 0.3 .30 transparency .3\t} }"
      " geometry Text3D { string [ \"HHHH\" ] }}]}");
  // Opaque it would be about (204, 77, 77); seen through, the blue shows.
  auto blended = [](Rgb c) { return c.r > 100 && c.b > 110 && c.b < 200; };
  EXPECT_GT(countIn(img, kSize / 2, kSize / 2 - 14, kSize, kSize / 2, blended), 40);
  EXPECT_TRUE(isBlue(pixel(img, 0, 0)));
}

TEST(TextRender, CounterOfABigOShowsTheBackground) {
  RgbaImage img = draw("Background { skyColor 0 0 1 } Shape { appearance Appearance {"
                       " material Material { diffuseColor 0 0 0 emissiveColor 1 0 0 } }"
                       " geometry Text { string \"O\" fontStyle FontStyle {"
                       " size 6 justify [\"MIDDLE\" \"MIDDLE\"] family \"SANS\" } } }");
  EXPECT_TRUE(isBlue(pixel(img, kSize / 2, kSize / 2)));
  EXPECT_GT(countIn(img, 0, kSize / 2 - 2, kSize / 2 - 10, kSize / 2 + 2, isRed), 4);
  EXPECT_GT(countIn(img, kSize / 2 + 10, kSize / 2 - 2, kSize, kSize / 2 + 2, isRed), 4);
}

TEST(TextRender, FlatTextShowsFromBehindToo) {
  std::string text = "Background { skyColor 0 0 1 } Shape { appearance Appearance {"
                     " material Material { diffuseColor 0 0 0 emissiveColor 1 0 0 } }"
                     " geometry Text { string \"HH\" fontStyle FontStyle {"
                     " size 4 justify [\"MIDDLE\" \"MIDDLE\"] } } }";
  RgbaImage back = draw(text + "Viewpoint { position 0 0 -10 orientation 0 1 0 3.14159 }");
  EXPECT_GT(countIn(back, 0, 0, kSize, kSize, isRed), 50);
}

TEST(TextRender, Text3DSidesShowWhenSeenAtAnAngle) {
  // Seen edge-on from the right, flat text vanishes while extruded text keeps its walls.
  std::string view = "Viewpoint { position 10 0 -0.5 orientation 0 1 0 1.5708 } ";
  auto shape = [](const std::string& geometry) {
    return "Background { skyColor 0 0 1 } Shape { appearance Appearance {"
           " material Material { diffuseColor 0 0 0 emissiveColor 1 0 0 } } geometry " +
           geometry + " }";
  };
  std::string style = " fontStyle FontStyle { size 4 justify [\"MIDDLE\" \"MIDDLE\"] } ";
  RgbaImage deep = draw(view + shape("Text3D { string \"H\" depth 1" + style + "}"));
  EXPECT_GT(countIn(deep, 0, 0, kSize, kSize, isRed), 100);
}

}  // namespace
}  // namespace kestrel
