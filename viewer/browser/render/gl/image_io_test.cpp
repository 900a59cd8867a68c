#include "viewer/browser/render/gl/image_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace kestrel {
namespace {

TEST(ImageIo, PngRoundTrip) {
  RgbaImage img;
  img.width = 3;
  img.height = 2;
  for (int i = 0; i < 6; ++i) img.pixels.insert(img.pixels.end(), {uint8_t(i * 40), 7, 9, 255});
  auto path = std::filesystem::temp_directory_path() / "kestrel_image_io.png";
  std::string error;
  ASSERT_TRUE(writePng(path.string(), img, &error)) << error;
  RgbaImage back;
  ASSERT_TRUE(readImageFile(path.string(), back, &error)) << error;
  EXPECT_EQ(back.width, 3);
  EXPECT_EQ(back.pixels, img.pixels);
  EXPECT_FALSE(back.hasAlpha);
  std::filesystem::remove(path);
}

TEST(ImageIo, NotAnImageIsAnError) {
  auto path = std::filesystem::temp_directory_path() / "kestrel_image_io.txt";
  std::ofstream(path) << "hello";
  RgbaImage img;
  std::string error;
  EXPECT_FALSE(readImageFile(path.string(), img, &error));
  EXPECT_FALSE(error.empty());
  std::ofstream(path) << "\x89PNG broken";
  EXPECT_FALSE(readImageFile(path.string(), img, &error));
  std::ofstream(path) << "\xFF\xD8\xFF broken";
  EXPECT_FALSE(readImageFile(path.string(), img, &error));
  EXPECT_FALSE(readImageFile("/nonexistent/file.png", img, &error));
  std::filesystem::remove(path);
}

TEST(ImageIo, PixelTextureRowsAndComponents) {
  Image grey{2, 2, 2, {0x00FF, 0xFF80, 0x8000, 0x40FF}};
  RgbaImage img = imageFromSFImage(grey);
  ASSERT_EQ(img.width, 2);
  // The first SFImage row is the bottom one.
  EXPECT_EQ(img.at(0, 1)[0], 0);
  EXPECT_EQ(img.at(1, 1)[3], 0x80);
  EXPECT_EQ(img.at(0, 0)[0], 0x80);
  EXPECT_TRUE(img.hasAlpha);
  Image short_{4, 4, 3, {1, 2}};
  EXPECT_EQ(imageFromSFImage(short_).width, 0);  // too few pixels: no image
}

TEST(ImageIo, FlipRowsTurnsTheImageUpsideDownInPlace) {
  RgbaImage img;
  img.width = 2;
  img.height = 3;
  for (uint8_t v = 0; v < 24; ++v) img.pixels.push_back(v);  // row y holds 8y .. 8y + 7
  const uint8_t* before = img.pixels.data();
  flipRows(img);
  EXPECT_EQ(img.pixels.data(), before);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(img.at(x, y)[0], 8 * (2 - y) + 4 * x) << x << "," << y;
  RgbaImage even = img;
  even.height = 2;
  even.pixels.resize(16);
  flipRows(even);
  EXPECT_EQ(even.at(0, 0)[0], 8);  // the two rows swapped
  EXPECT_EQ(even.at(0, 1)[0], 16);
}

}  // namespace
}  // namespace kestrel
