// Image formats made here with the libraries' own encoders: GIF (first
// frame, transparent colour, interlacing, damaged data) and the PNG colour
// types that carry transparency or more than 8 bits (palette with tRNS,
// grey with alpha, 16-bit).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "viewer/browser/render/gl/image_decoders.h"
#include "viewer/browser/render/gl/image_io.h"
#include "viewer/browser/render/gl/image_test_support.h"

namespace kestrel {
namespace {

using testing::encodeGif;
using testing::encodePng;
using testing::GifFrame;

std::vector<uint8_t> rgba(const RgbaImage& img, int x, int y) {
  const uint8_t* p = img.at(x, y);
  return {p[0], p[1], p[2], p[3]};
}

TEST(ImageFormats, GifFirstFrameWithItsTransparentColourAndInterlacing) {
  GifFrame first{3, 9, {}, 3, true};
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 3; ++x) first.pixels.push_back(GifPixelType(y == 8 ? 3 : (x + y) % 3));
  }
  GifFrame second{3, 9, std::vector<GifPixelType>(27, 2)};
  std::string bytes = encodeGif({first, second});
  RgbaImage img;
  std::string error;
  ASSERT_TRUE(decodeGif(bytes, img, error)) << error;
  ASSERT_EQ(img.width, 3);
  ASSERT_EQ(img.height, 9);
  EXPECT_EQ(rgba(img, 0, 0), (std::vector<uint8_t>{255, 0, 0, 255}));
  EXPECT_EQ(rgba(img, 1, 0), (std::vector<uint8_t>{0, 255, 0, 255}));
  EXPECT_EQ(rgba(img, 1, 1), (std::vector<uint8_t>{0, 0, 255, 255}));
  EXPECT_EQ(rgba(img, 2, 5), (std::vector<uint8_t>{0, 255, 0, 255}));  // (2+5)%3
  EXPECT_EQ(rgba(img, 1, 8)[3], 0);  // the transparent white

  // Through readImageFile, told apart by content: alpha is noticed.
  auto path = std::filesystem::temp_directory_path() / "kestrel_formats.img";
  std::ofstream(path, std::ios::binary) << bytes;
  RgbaImage read;
  ASSERT_TRUE(readImageFile(path.string(), read, &error)) << error;
  EXPECT_TRUE(read.hasAlpha);
  std::filesystem::remove(path);
}

TEST(ImageFormats, RealGifTextureOfTheCorpusDecodes) {
  const char* src = std::getenv("KESTREL_SOURCE_DIR");
  auto path = std::filesystem::path(src ? src : ".") / "testing" / "corpus" / "textures" /
              "crown.gif";
  RgbaImage img;
  std::string error;
  ASSERT_TRUE(readImageFile(path.string(), img, &error)) << error;
  EXPECT_EQ(img.width, 256);
  EXPECT_EQ(img.height, 100);
  // Not one flat colour: the picture came through.
  bool varied = false;
  for (size_t i = 4; i < img.pixels.size() && !varied; ++i) varied = img.pixels[i] != img.pixels[i % 4];
  EXPECT_TRUE(varied);
}

TEST(ImageFormats, DamagedAndOversizedGifsAreRefusedWithAReason) {
  GifFrame frame{16, 16, std::vector<GifPixelType>(256)};
  for (size_t i = 0; i < frame.pixels.size(); ++i) frame.pixels[i] = GifPixelType(i * 7 % 4);
  std::string bytes = encodeGif({frame});
  RgbaImage img;
  std::string error;
  ASSERT_TRUE(decodeGif(bytes, img, error)) << error;

  EXPECT_FALSE(decodeGif(bytes.substr(0, bytes.size() / 2), img, error));
  EXPECT_EQ(error.rfind("bad GIF: ", 0), 0u) << error;
  EXPECT_TRUE(img.pixels.empty());

  // The LZW data follows the 13-byte header, 12-byte colour table and
  // 10-byte image descriptor; its first byte is the code size.
  std::string broken = bytes;
  ASSERT_GT(broken.size(), 40u);
  broken[35] = 12;  // an LZW code size no GIF may have
  EXPECT_FALSE(decodeGif(broken, img, error));
  EXPECT_EQ(error.rfind("bad GIF: ", 0), 0u) << error;

  std::string huge = bytes;
  huge[6] = huge[7] = huge[8] = huge[9] = char(0xFF);  // 65535 x 65535 screen
  EXPECT_FALSE(decodeGif(huge, img, error));
  EXPECT_NE(error.find("GIF refused: 65535x65535 pixels exceed"), std::string::npos) << error;
}

TEST(ImageFormats, PngTransparencyGreyAlphaAndSixteenBits) {
  RgbaImage img;
  std::string error;
  // Palette with a transparent entry: the usual cut-out tree.
  std::string palette = encodePng(2, 1, PNG_COLOR_TYPE_PALETTE, 8, {{0, 1}},
                                  {{10, 120, 30}, {255, 255, 255}}, {255, 0});
  ASSERT_TRUE(decodePng(palette, img, error)) << error;
  EXPECT_EQ(rgba(img, 0, 0), (std::vector<uint8_t>{10, 120, 30, 255}));
  EXPECT_EQ(rgba(img, 1, 0)[3], 0);

  // Grey with alpha.
  std::string greyAlpha = encodePng(2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {{200, 255, 50, 128}});
  ASSERT_TRUE(decodePng(greyAlpha, img, error)) << error;
  EXPECT_EQ(rgba(img, 0, 0), (std::vector<uint8_t>{200, 200, 200, 255}));
  EXPECT_EQ(rgba(img, 1, 0), (std::vector<uint8_t>{50, 50, 50, 128}));

  // 16-bit RGB with alpha, big-endian samples.
  std::string deep = encodePng(1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16,
                               {{0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00}});
  ASSERT_TRUE(decodePng(deep, img, error)) << error;
  EXPECT_EQ(rgba(img, 0, 0), (std::vector<uint8_t>{255, 128, 0, 0}));
}

}  // namespace
}  // namespace kestrel
