// TGA textures: hand-made files of each kind read (raw and run-length,
// bottom-first and top-first rows, grey, alpha), the real leaf texture of
// the large corpus, and damaged or unsupported files refused with a reason.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "viewer/browser/render/gl/image_decoders.h"
#include "viewer/browser/render/gl/image_io.h"

namespace kestrel {
namespace {

std::string header(uint8_t type, int width, int height, int bits, uint8_t descriptor) {
  std::string h(18, '\0');
  h[2] = char(type);
  h[12] = char(width & 0xFF);
  h[13] = char(width >> 8);
  h[14] = char(height & 0xFF);
  h[15] = char(height >> 8);
  h[16] = char(bits);
  h[17] = char(descriptor);
  return h;
}

std::vector<uint8_t> rgba(const RgbaImage& img, int x, int y) {
  const uint8_t* p = img.at(x, y);
  return {p[0], p[1], p[2], p[3]};
}

TEST(TgaDecoder, RawAndRunLengthRowsGreyAndAlpha) {
  RgbaImage img;
  std::string error;
  // 2 x 2, 24 bits, bottom row first: blue green red order in the file.
  std::string raw = header(2, 2, 2, 24, 0) + std::string("\x00\x00\xFF" "\x00\xFF\x00"
                                                         "\xFF\x00\x00" "\xFF\xFF\xFF", 12);
  ASSERT_TRUE(decodeTga(raw, img, error)) << error;
  EXPECT_EQ(rgba(img, 0, 1), (std::vector<uint8_t>{255, 0, 0, 255}));  // first stored: bottom
  EXPECT_EQ(rgba(img, 1, 1), (std::vector<uint8_t>{0, 255, 0, 255}));
  EXPECT_EQ(rgba(img, 0, 0), (std::vector<uint8_t>{0, 0, 255, 255}));
  EXPECT_FALSE(img.alphaChannel);

  // 3 x 1, 32 bits, run-length, top first: a run of two, then one raw pixel.
  std::string rle = header(10, 3, 1, 32, 0x28) + std::string("\x81\x10\x20\x30\x00"
                                                             "\x00\x01\x02\x03\xFF", 10);
  ASSERT_TRUE(decodeTga(rle, img, error)) << error;
  EXPECT_EQ(rgba(img, 0, 0), (std::vector<uint8_t>{0x30, 0x20, 0x10, 0}));
  EXPECT_EQ(rgba(img, 1, 0), (std::vector<uint8_t>{0x30, 0x20, 0x10, 0}));
  EXPECT_EQ(rgba(img, 2, 0), (std::vector<uint8_t>{3, 2, 1, 255}));
  EXPECT_TRUE(img.alphaChannel);

  // Grey, run-length, with an image id to skip.
  std::string grey = header(11, 2, 1, 8, 0x20);
  grey[0] = 3;
  grey += "abc" + std::string("\x81\x40", 2);
  ASSERT_TRUE(decodeTga(grey, img, error)) << error;
  EXPECT_TRUE(img.grey);
  EXPECT_EQ(rgba(img, 1, 0), (std::vector<uint8_t>{0x40, 0x40, 0x40, 255}));

  // Through readImageFile: by the .tga name, alpha noticed.
  auto path = std::filesystem::temp_directory_path() / "kestrel_tga_test.TGA";
  std::ofstream(path, std::ios::binary) << rle;
  RgbaImage read;
  ASSERT_TRUE(readImageFile(path.string(), read, &error)) << error;
  EXPECT_TRUE(read.hasAlpha);
  std::filesystem::remove(path);
}

TEST(TgaDecoder, DamagedAndUnsupportedFilesAreRefusedWithAReason) {
  RgbaImage img;
  std::string error;
  EXPECT_FALSE(decodeTga(std::string(10, '\0'), img, error));
  EXPECT_NE(error.find("too short"), std::string::npos) << error;
  // Pixel data cut short, raw and run-length (a run past the image too).
  EXPECT_FALSE(decodeTga(header(2, 2, 2, 24, 0) + std::string(11, 'x'), img, error));
  EXPECT_NE(error.find("ends early"), std::string::npos) << error;
  EXPECT_FALSE(decodeTga(header(10, 2, 1, 24, 0) + std::string("\x85\x01\x02\x03", 4), img,
                         error));
  EXPECT_NE(error.find("ends early"), std::string::npos) << error;
  EXPECT_FALSE(decodeTga(header(10, 2, 1, 24, 0) + std::string("\x80", 1), img, error));
  // Colour-mapped, 16-bit, empty and oversized images.
  std::string mapped = header(1, 2, 2, 8, 0);
  mapped[1] = 1;
  EXPECT_FALSE(decodeTga(mapped, img, error));
  EXPECT_NE(error.find("image type 1"), std::string::npos) << error;
  EXPECT_FALSE(decodeTga(header(2, 2, 2, 16, 0), img, error));
  EXPECT_NE(error.find("16 bits"), std::string::npos) << error;
  EXPECT_FALSE(decodeTga(header(2, 0, 2, 24, 0), img, error));
  EXPECT_FALSE(decodeTga(header(2, 65535, 65535, 24, 0), img, error));
  EXPECT_NE(error.find("limit"), std::string::npos) << error;
  // Not a TGA by name or footer: still no image format.
  auto path = std::filesystem::temp_directory_path() / "kestrel_tga_test.img";
  std::ofstream(path, std::ios::binary) << header(2, 1, 1, 24, 0) << "abc";
  EXPECT_FALSE(readImageFile(path.string(), img, &error));
  EXPECT_NE(error.find("nor TGA"), std::string::npos) << error;
  std::filesystem::remove(path);
}

TEST(TgaDecoder, RealLeafTextureOfTheLargeCorpusHasCutOutAlpha) {
  const char* src = std::getenv("KESTREL_SOURCE_DIR");
  auto path = std::filesystem::path(src ? src : ".") / "testing" / "corpus" / "large" /
              "castle_with_trees" / "opengameart.org" / "jkm_oaktree" / "models" /
              "oakleaf_fall.tga";
  RgbaImage img;
  std::string error;
  ASSERT_TRUE(readImageFile(path.string(), img, &error)) << error;
  EXPECT_EQ(img.width, 256);
  EXPECT_EQ(img.height, 256);
  EXPECT_TRUE(img.alphaChannel);
  int clear = 0, solid = 0;
  for (size_t i = 3; i < img.pixels.size(); i += 4) {
    clear += img.pixels[i] == 0;
    solid += img.pixels[i] == 255;
  }
  EXPECT_GT(clear, 1000);
  EXPECT_GT(solid, 1000);
}

}  // namespace
}  // namespace kestrel
