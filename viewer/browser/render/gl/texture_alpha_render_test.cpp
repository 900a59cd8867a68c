// Textures with alpha drawn off screen: a cut-out's clear texels show what
// is behind them, partial alpha blends, and a GIF's colours show.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "viewer/browser/render/gl/image_test_support.h"
#include "viewer/browser/render/gl/render_test_support.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;
constexpr int kSize = 64;

// An unlit Box whose front face fills the middle of the view, textured
// with FILE, in front of a blue sky.
std::string texturedBox(const std::string& file) {
  return "Background { skyColor 0 0 1 } Shape { appearance Appearance { texture "
         "ImageTexture { url \"" + file + "\" } } geometry Box {} }";
}

TEST(TextureAlpha, CutOutsShowTheSkyPartialAlphaBlendsAndGifColoursShow) {
  fs::path dir = fs::temp_directory_path() / ("kestrel-alpha-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  // Palette PNG: the left half a leaf colour, the right half transparent
  // white (the tRNS entry), as a cut-out tree is made.
  std::vector<uint8_t> row{0, 0, 1, 1};
  std::ofstream(dir / "tree.png", std::ios::binary)
      << testing::encodePng(4, 4, PNG_COLOR_TYPE_PALETTE, 8, {row, row, row, row},
                            {{200, 30, 0}, {255, 255, 255}}, {255, 0});
  RgbaImage cut = drawScene(texturedBox("tree.png"), kSize, dir.string());
  Rgb left = pixel(cut, kSize / 2 - 4, kSize / 2);
  Rgb right = pixel(cut, kSize / 2 + 4, kSize / 2);
  EXPECT_GT(left.r, 180);
  EXPECT_LT(left.b, 20);
  EXPECT_LT(right.r, 20);  // the sky, not white
  EXPECT_GT(right.b, 230);

  // Grey with half alpha over the blue sky: blended.
  std::vector<uint8_t> half{255, 128, 255, 128, 255, 128, 255, 128};
  std::ofstream(dir / "glass.png", std::ios::binary)
      << testing::encodePng(4, 4, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {half, half, half, half});
  Rgb mixed = pixel(drawScene(texturedBox("glass.png"), kSize, dir.string()), kSize / 2,
                    kSize / 2);
  EXPECT_NEAR(mixed.r, 128, 20);
  EXPECT_NEAR(mixed.b, 255, 5);

  // A green GIF.
  std::ofstream(dir / "green.gif", std::ios::binary)
      << testing::encodeGif({{4, 4, std::vector<GifPixelType>(16, 1)}});
  Rgb green = pixel(drawScene(texturedBox("green.gif"), kSize, dir.string()), kSize / 2,
                    kSize / 2);
  EXPECT_LT(green.r, 10);
  EXPECT_GT(green.g, 245);
  EXPECT_LT(green.b, 10);
  fs::remove_all(dir);
}

// A 4 x 4 RGBA PNG of one colour and alpha.
std::string flatRgbaPng(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  std::vector<uint8_t> row;
  for (int x = 0; x < 4; ++x) row.insert(row.end(), {r, g, b, a});
  return testing::encodePng(4, 4, PNG_COLOR_TYPE_RGB_ALPHA, 8, {row, row, row, row});
}

// An unlit Box at X 0 Z textured with FILE.
std::string boxAt(const std::string& file, float x, float z) {
  return "Transform { translation " + std::to_string(x) + " 0 " + std::to_string(z) +
         " children Shape { appearance Appearance { texture ImageTexture { url \"" + file +
         "\" } } geometry Box {} } }";
}

TEST(TextureAlpha, PartialAlphaShapesBlendBackToFrontWhicheverComesFirst) {
  fs::path dir = fs::temp_directory_path() / ("kestrel-alpha-order-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "red.png", std::ios::binary) << flatRgbaPng(255, 0, 0, 128);
  std::ofstream(dir / "green.png", std::ios::binary) << flatRgbaPng(0, 255, 0, 128);
  const std::string sky = "Background { skyColor 0 0 1 } ";
  // The red box is nearer; both cover the middle of the view.
  const std::string nearRed = boxAt("red.png", -0.5f, 2), farGreen = boxAt("green.png", 0.5f, 0);
  for (const std::string& scene : {sky + nearRed + farGreen, sky + farGreen + nearRed}) {
    // Green over the sky, then red over both: about (128, 64, 64); the
    // other order would give (64, 128, 64).
    Rgb mid = pixel(drawScene(scene, kSize, dir.string()), kSize / 2, kSize / 2);
    EXPECT_NEAR(mid.r, 128, 16) << scene;
    EXPECT_NEAR(mid.g, 64, 16) << scene;
    EXPECT_NEAR(mid.b, 64, 16) << scene;
  }
  fs::remove_all(dir);
}

TEST(TextureAlpha, TextureAlphaReplacesTheMaterialTransparency) {
  fs::path dir = fs::temp_directory_path() / ("kestrel-alpha-mat-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "red75.png", std::ios::binary) << flatRgbaPng(255, 0, 0, 191);
  std::vector<uint8_t> half{255, 128, 255, 128, 255, 128, 255, 128};
  std::ofstream(dir / "white50.png", std::ios::binary)
      << testing::encodePng(4, 4, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {half, half, half, half});
  // A lit red-white Box, the headlight square on its front face.
  auto draw = [&](const std::string& file, const std::string& material) {
    return pixel(drawScene("Background { skyColor 0 0 1 } Shape { appearance Appearance { "
                           "material Material { " + material + " } texture ImageTexture { "
                           "url \"" + file + "\" } } geometry Box {} }",
                           kSize, dir.string()),
                 kSize / 2, kSize / 2);
  };
  // RGBA, alpha 0.75, material transparency 0.5: 3/4 red over the blue sky
  // (the product, 0.375, would show mostly blue).
  Rgb rgba = draw("red75.png", "diffuseColor 1 1 1 transparency 0.5");
  EXPECT_NEAR(rgba.r, 191, 16);
  EXPECT_NEAR(rgba.b, 64, 16);
  // Intensity and alpha 0.5 on a red material of transparency 0.9: half
  // red (the product, 0.05, would be nearly all sky).
  Rgb grey = draw("white50.png", "diffuseColor 1 0 0 transparency 0.9");
  EXPECT_NEAR(grey.r, 128, 16);
  EXPECT_NEAR(grey.b, 128, 16);
  // An alpha channel that is opaque everywhere still counts: opaque red on
  // a half transparent material.
  std::ofstream(dir / "red.png", std::ios::binary) << flatRgbaPng(255, 0, 0, 255);
  Rgb opaque = draw("red.png", "diffuseColor 1 1 1 transparency 0.5");
  EXPECT_GT(opaque.r, 240);
  EXPECT_LT(opaque.b, 10);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kestrel
