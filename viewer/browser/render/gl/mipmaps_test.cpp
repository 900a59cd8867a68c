// Mipmaps made on the CPU: their sizes, their texels, and a minified
// texture drawn with them.
#include "viewer/browser/render/gl/mipmaps.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "viewer/browser/render/gl/image_test_support.h"
#include "viewer/browser/render/gl/render_test_support.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> greyImage(const std::vector<uint8_t>& levels) {
  std::vector<uint8_t> rgba;
  for (uint8_t v : levels) rgba.insert(rgba.end(), {v, v, v, uint8_t(255 - v)});
  return rgba;
}

TEST(Mipmaps, LevelsHalveDownToOneTexelAndAverageWithRounding) {
  // 5 x 3: an odd last column and row are left out of the 2 x 1 level.
  std::vector<uint8_t> grey{0, 1, 10, 20, 99,  //
                            2, 2, 30, 41, 99,  //
                            99, 99, 99, 99, 99};
  std::vector<MipLevel> levels = mipmapsBelow(greyImage(grey).data(), 5, 3);
  ASSERT_EQ(levels.size(), 2u);
  EXPECT_EQ(levels[0].width, 2);
  EXPECT_EQ(levels[0].height, 1);
  EXPECT_EQ(levels[1].width, 1);
  EXPECT_EQ(levels[1].height, 1);
  // (0+1+2+2)/4 = 1.25 -> 1; (10+20+30+41)/4 = 25.25 -> 25; alpha alike.
  EXPECT_EQ(levels[0].pixels[0], 1);
  EXPECT_EQ(levels[0].pixels[3], 254);
  EXPECT_EQ(levels[0].pixels[4], 25);
  EXPECT_EQ(levels[0].pixels[7], 230);
  // 1 x 1 from 2 x 1: (1+25)/2 = 13, rounded half up.
  EXPECT_EQ(levels[1].pixels[0], 13);

  // A column of 1 x 4: only its height halves.
  levels = mipmapsBelow(greyImage({10, 11, 200, 201}).data(), 1, 4);
  ASSERT_EQ(levels.size(), 2u);
  EXPECT_EQ(levels[0].width, 1);
  EXPECT_EQ(levels[0].height, 2);
  EXPECT_EQ(levels[0].pixels[0], 11);   // 10.5 rounds up
  EXPECT_EQ(levels[0].pixels[4], 201);  // 200.5 rounds up
  EXPECT_EQ(levels[1].pixels[0], 106);

  EXPECT_TRUE(mipmapsBelow(greyImage({7}).data(), 1, 1).empty());
  EXPECT_EQ(mipmapsBelow(std::vector<uint8_t>(256 * 64 * 4).data(), 256, 64).size(), 8u);
}

TEST(Mipmaps, AFarAwayCheckerboardShowsItsMeanColour) {
  fs::path dir = fs::temp_directory_path() / ("kestrel-mipmaps-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  // 64 x 64 texels alternating red and blue, on a Box seen from far away:
  // without the smaller levels the texture is incomplete and draws black;
  // with them each pixel shows the mean, purple.
  std::vector<std::vector<uint8_t>> rows;
  for (int y = 0; y < 64; ++y) {
    std::vector<uint8_t> row;
    for (int x = 0; x < 64; ++x) {
      const bool red = (x + y) % 2 == 0;
      row.insert(row.end(), {uint8_t(red ? 255 : 0), 0, uint8_t(red ? 0 : 255)});
    }
    rows.push_back(row);
  }
  std::ofstream(dir / "checks.png", std::ios::binary)
      << testing::encodePng(64, 64, PNG_COLOR_TYPE_RGB, 8, rows);
  const std::string scene =
      "Background { skyColor 0 1 0 } Viewpoint { position 0 0 40 } "
      "Shape { appearance Appearance { texture ImageTexture { url \"checks.png\" } } "
      "geometry Box { size 8 8 8 } }";
  constexpr int kSize = 64;
  Rgb mean = pixel(drawScene(scene, kSize, dir.string()), kSize / 2, kSize / 2);
  EXPECT_NEAR(mean.r, 128, 24);
  EXPECT_NEAR(mean.b, 128, 24);
  EXPECT_LT(mean.g, 10);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kestrel
