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

}  // namespace
}  // namespace kestrel
