// Images from untrusted files: PNGs built byte by byte (with zlib) in every
// colour type the decoder converts, PNGs and JPEGs that declare more pixels
// than they hold or than the limits allow, and files that are no images.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include "viewer/browser/file_input.h"
#include "viewer/browser/render/gl/image_io.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

void putBigEndian32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(char((v >> shift) & 0xFF));
}

void putChunk(std::string& png, const char* type, const std::string& data) {
  putBigEndian32(png, uint32_t(data.size()));
  std::string body = std::string(type, 4) + data;
  png += body;
  putBigEndian32(png, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                     uInt(body.size()))));
}

std::string deflated(const std::string& raw) {
  uLongf size = compressBound(uLong(raw.size()));
  std::string out(size, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                      reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()), 9),
            Z_OK);
  out.resize(size);
  return out;
}

// A PNG of WIDTH x HEIGHT with the given depth and colour type whose
// image data is RAW (filter bytes included), deflated; EXTRA chunks
// (PLTE, tRNS...) go before it.
std::string makePng(uint32_t width, uint32_t height, int depth, int colorType,
                    const std::string& raw, const std::string& extra = "") {
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string ihdr;
  putBigEndian32(ihdr, width);
  putBigEndian32(ihdr, height);
  ihdr += {char(depth), char(colorType), 0, 0, 0};
  putChunk(png, "IHDR", ihdr);
  png += extra;
  putChunk(png, "IDAT", deflated(raw));
  putChunk(png, "IEND", "");
  return png;
}

class ImageFiles {
 public:
  ImageFiles() : dir_(fs::temp_directory_path() / ("kestrel-img-" + std::to_string(::getpid()))) {
    fs::create_directories(dir_);
  }
  ~ImageFiles() { fs::remove_all(dir_); }
  std::string write(const char* name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return (dir_ / name).string();
  }
  std::string path(const char* name) const { return (dir_ / name).string(); }

 private:
  fs::path dir_;
};

std::vector<uint8_t> rgba(std::initializer_list<int> values) {
  return std::vector<uint8_t>(values.begin(), values.end());
}

TEST(ImageLimits, EveryPngColourTypeBecomesRgba) {
  ImageFiles files;
  RgbaImage img;
  std::string error;
  // Gray, 8 bits: one row "\0" filter, two pixels.
  ASSERT_TRUE(readImageFile(files.write("g.png", makePng(2, 1, 8, 0, std::string("\0\x10\xF0", 3))),
                            img, &error))
      << error;
  EXPECT_EQ(img.pixels, rgba({0x10, 0x10, 0x10, 255, 0xF0, 0xF0, 0xF0, 255}));
  EXPECT_FALSE(img.hasAlpha);
  // RGB, 16 bits per sample: scaled to 8.
  ASSERT_TRUE(readImageFile(
      files.write("rgb16.png", makePng(1, 1, 16, 2, std::string("\0\xFF\xFF\x80\x00\x00\x00", 7))),
      img, &error))
      << error;
  EXPECT_EQ(img.pixels, rgba({255, 0x80, 0, 255}));
  // Palette with a transparent second entry; two rows.
  std::string palette, alpha;
  putChunk(palette, "PLTE", std::string("\xFF\x00\x00\x00\x00\xFF", 6));
  putChunk(alpha, "tRNS", std::string("\xFF\x00", 2));
  ASSERT_TRUE(readImageFile(
      files.write("p.png", makePng(1, 2, 8, 3, std::string("\0\0\0\1", 4), palette + alpha)), img,
      &error))
      << error;
  EXPECT_EQ(img.pixels, rgba({255, 0, 0, 255, 0, 0, 255, 0}));
  EXPECT_TRUE(img.hasAlpha);
}

// An interlaced (Adam7) RGB PNG of W x H written by libpng, pixel (x, y)
// being (x, y, x + y).
void writeInterlacedPng(const std::string& path, int w, int h) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<uint8_t> pixels;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      pixels.insert(pixels.end(), {uint8_t(x), uint8_t(y), uint8_t(x + y)});
  std::vector<png_bytep> rows;
  for (int y = 0; y < h; ++y) rows.push_back(&pixels[size_t(y * w * 3)]);
  png_set_interlace_handling(png);
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

TEST(ImageLimits, InterlacedPngsAreDeinterlaced) {
  ImageFiles files;
  writeInterlacedPng(files.path("adam7.png"), 13, 9);
  RgbaImage img;
  std::string error;
  ASSERT_TRUE(readImageFile(files.path("adam7.png"), img, &error)) << error;
  ASSERT_EQ(img.width, 13);
  ASSERT_EQ(img.height, 9);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 13; ++x) {
      const uint8_t* p = img.at(x, y);
      ASSERT_EQ(rgba({p[0], p[1], p[2], p[3]}), rgba({x, y, x + y, 255})) << x << "," << y;
    }
}

TEST(ImageLimits, PngsDeclaringMoreThanTheyHoldOrAllowAreRefused) {
  ImageFiles files;
  RgbaImage img;
  std::string error;
  // 177 bytes declaring 16000 x 16000 RGBA: the deflated data could not
  // inflate to the rows, so nothing is allocated or decoded.
  std::string bomb = makePng(16000, 16000, 8, 6, std::string(16000 * 4 + 1, '\0'));
  ASSERT_LT(bomb.size(), 300u);
  EXPECT_FALSE(readImageFile(files.write("bomb.png", bomb), img, &error));
  EXPECT_NE(error.find("exceed the 8192 pixel side limit"), std::string::npos) << error;
  EXPECT_EQ(img.pixels.size(), 0u);
  // Within the side limit, but the image data holds far too little.
  std::string thin = makePng(4000, 4000, 8, 6, std::string(4000 * 4 + 1, '\0'));
  EXPECT_FALSE(readImageFile(files.write("thin.png", thin), img, &error));
  EXPECT_NE(error.find("4000x4000 pixels declared in"), std::string::npos) << error;
  EXPECT_NE(error.find("cannot hold them"), std::string::npos) << error;
  // An image data chunk whose length promises more than the file holds.
  std::string promise = makePng(4000, 4000, 8, 6, std::string(4000 * 4 + 1, '\0'));
  size_t idat = promise.find("IDAT") - 4;
  promise[idat] = '\x01';  // 16 MiB and more promised; the file ends long before
  promise.resize(promise.size() - 12);  // no IEND
  EXPECT_FALSE(readImageFile(files.write("promise.png", promise), img, &error));
  EXPECT_NE(error.find("cannot hold them"), std::string::npos) << error;
  // Each side allowed, all pixels together not.
  std::string wide = makePng(8192, 8192, 1, 0, std::string(8192 * 1025, '\0'));
  EXPECT_FALSE(readImageFile(files.write("wide.png", wide), img, &error));
  EXPECT_NE(error.find("exceed the limit of 33554432 pixels"), std::string::npos) << error;
  // Data cut short after a header that fits: an error, not a hang or crash.
  std::string cut = makePng(64, 64, 8, 2, std::string(64 * 193, '\x07'));
  cut.resize(cut.size() - 30);
  EXPECT_FALSE(readImageFile(files.write("cut.png", cut), img, &error));
  EXPECT_NE(error.find("bad PNG"), std::string::npos) << error;
}

// A W x H JPEG of one grey level, encoded with libjpeg.
std::string makeJpeg(int width, int height) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = JDIMENSION(width);
  c.image_height = JDIMENSION(height);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<unsigned char> row(size_t(width) * 3, 200);
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::string bytes(reinterpret_cast<char*>(out), size);
  std::free(out);
  return bytes;
}

// BYTES with the frame header's height and width set to H and W.
std::string withJpegSize(std::string bytes, uint16_t h, uint16_t w) {
  size_t sof = bytes.find("\xFF\xC0");
  EXPECT_NE(sof, std::string::npos);
  bytes[sof + 5] = char(h >> 8);
  bytes[sof + 6] = char(h & 0xFF);
  bytes[sof + 7] = char(w >> 8);
  bytes[sof + 8] = char(w & 0xFF);
  return bytes;
}

TEST(ImageLimits, JpegSizeIsCheckedBeforeDecoding) {
  ImageFiles files;
  RgbaImage img;
  std::string error;
  std::string jpeg = makeJpeg(16, 8);
  ASSERT_TRUE(readImageFile(files.write("ok.jpg", jpeg), img, &error)) << error;
  EXPECT_EQ(img.width, 16);
  EXPECT_EQ(img.height, 8);
  EXPECT_NEAR(img.at(3, 3)[1], 200, 3);
  EXPECT_FALSE(
      readImageFile(files.write("big.jpg", withJpegSize(jpeg, 60000, 60000)), img, &error));
  EXPECT_NE(error.find("JPEG refused: 60000x60000 pixels exceed the 8192 pixel side limit"),
            std::string::npos)
      << error;
  EXPECT_FALSE(readImageFile(files.write("many.jpg", withJpegSize(jpeg, 8000, 8000)), img, &error));
  EXPECT_NE(error.find("exceed the limit of"), std::string::npos) << error;
}

TEST(ImageLimits, FifosDevicesAndHugeFilesAreNotRead) {
  ImageFiles files;
  RgbaImage img;
  std::string error;
  ASSERT_EQ(::mkfifo(files.path("pipe.png").c_str(), 0600), 0);
  EXPECT_FALSE(readImageFile(files.path("pipe.png"), img, &error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  EXPECT_FALSE(readImageFile("/dev/zero", img, &error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  std::string huge = files.write("huge.png", "\x89PNG");
  fs::resize_file(huge, kMaxImageFileBytes + 1);
  EXPECT_FALSE(readImageFile(huge, img, &error));
  EXPECT_NE(error.find("larger than the 64 MiB limit"), std::string::npos) << error;
}

}  // namespace
}  // namespace kestrel
