// Test helpers: GIF and PNG files made with giflib's and libpng's own
// encoders, in memory.
#pragma once

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>

#include <string>
#include <vector>

namespace kestrel::testing {

inline int appendGifBytes(GifFileType* gif, const GifByteType* data, int count) {
  static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), size_t(count));
  return count;
}

struct GifFrame {
  int width, height;
  std::vector<GifPixelType> pixels;  // row by row
  int transparent = -1;
  bool interlaced = false;
};

// A GIF of FRAMES with a four-colour global table: red, green, blue, white.
inline std::string encodeGif(const std::vector<GifFrame>& frames) {
  std::string out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, appendGifBytes, &error);
  EXPECT_NE(gif, nullptr);
  GifColorType colours[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  ColorMapObject* map = GifMakeMapObject(4, colours);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, frames[0].width, frames[0].height, 2, 0, map);
  for (const GifFrame& f : frames) {
    if (f.transparent >= 0) {
      GraphicsControlBlock gcb{};
      gcb.TransparentColor = f.transparent;
      GifByteType ext[4];
      size_t n = EGifGCBToExtension(&gcb, ext);
      EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(n), ext);
    }
    EGifPutImageDesc(gif, 0, 0, f.width, f.height, f.interlaced, nullptr);
    std::vector<int> order;
    for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
      for (int y = start; y < f.height; y += step) order.push_back(y);
      if (!f.interlaced) break;
    }
    if (!f.interlaced) {
      order.clear();
      for (int y = 0; y < f.height; ++y) order.push_back(y);
    }
    for (int y : order) {
      std::vector<GifPixelType> row(f.pixels.begin() + y * f.width,
                                    f.pixels.begin() + (y + 1) * f.width);
      EGifPutLine(gif, row.data(), f.width);
    }
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

// A PNG of the given colour type and depth with ROWS of raw samples.
inline std::string encodePng(int width, int height, int colorType, int depth,
                      const std::vector<std::vector<uint8_t>>& rows,
                      const std::vector<png_color>& palette = {},
                      const std::vector<png_byte>& trns = {}) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t n) {
        static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<char*>(data), n);
      },
      nullptr);
  png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), depth, colorType,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
  if (!trns.empty()) png_set_tRNS(png, info, trns.data(), int(trns.size()), nullptr);
  png_write_info(png, info);
  for (const auto& row : rows) png_write_row(png, row.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

}  // namespace kestrel::testing
