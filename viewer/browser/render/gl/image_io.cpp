#include "viewer/browser/render/gl/image_io.h"

#include <algorithm>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <csetjmp>
#include <vector>

#include "viewer/browser/file_input.h"
#include "viewer/browser/render/gl/image_decoders.h"

namespace kestrel {
namespace {

void fail(std::string* error, const std::string& what) {
  if (error) *error = what;
}

bool anyPixelTransparent(const RgbaImage& img) {
  for (size_t i = 3; i < img.pixels.size(); i += 4)
    if (img.pixels[i] != 255) return true;
  return false;
}

}  // namespace

std::string imageSizeProblem(uint64_t width, uint64_t height) {
  if (width > uint64_t(kMaxImageSide) || height > uint64_t(kMaxImageSide)) {
    return std::to_string(width) + "x" + std::to_string(height) + " pixels exceed the " +
           std::to_string(kMaxImageSide) + " pixel side limit";
  }
  if (width * height > kMaxImagePixels) {
    return std::to_string(width) + "x" + std::to_string(height) + " pixels exceed the limit of " +
           std::to_string(kMaxImagePixels) + " pixels";
  }
  return "";
}

bool readImageFile(const std::string& path, RgbaImage& img, std::string* error) {
  std::string bytes;
  if (FileRead read = readRegularFile(path, kMaxImageFileBytes, bytes); read != FileRead::kOk) {
    std::string why = refusalText(read, kMaxImageFileBytes);
    fail(error, why.empty() ? "cannot open " + path : "cannot read " + path + ": " + why);
    return false;
  }
  const auto* magic = reinterpret_cast<const unsigned char*>(bytes.data());
  bool ok;
  std::string why;
  if (bytes.size() >= 4 && magic[0] == 0x89 && magic[1] == 'P') {
    ok = decodePng(bytes, img, why);
  } else if (bytes.size() >= 2 && magic[0] == 0xFF && magic[1] == 0xD8) {
    ok = decodeJpeg(bytes, img, why);
  } else if (bytes.size() >= 6 && (bytes.starts_with("GIF87a") || bytes.starts_with("GIF89a"))) {
    ok = decodeGif(bytes, img, why);
  } else if (looksLikeTga(path, bytes)) {
    ok = decodeTga(bytes, img, why);
  } else {
    fail(error, path + " is neither PNG, JPEG, GIF nor TGA");
    return false;
  }
  if (!ok) {
    fail(error, why + " (" + path + ")");
    return false;
  }
  img.hasAlpha = anyPixelTransparent(img);
  return true;
}

void flipRows(RgbaImage& image) {
  const size_t row = size_t(image.width) * 4;
  for (int y = 0; y < image.height / 2; ++y) {
    uint8_t* top = &image.pixels[size_t(y) * row];
    std::swap_ranges(top, top + row, &image.pixels[size_t(image.height - 1 - y) * row]);
  }
}

namespace {

// Writes ROWS to F; false with STATE.message on a libpng error. Nothing
// here owns resources a longjmp could skip.
bool writePngRows(FILE* f, const RgbaImage& img, png_bytep* rows, PngErrorTrap& state) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, pngTrapError, pngIgnoreWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(state.jump)) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return false;
  }
  png_init_io(png, f);
  bool alpha = img.hasAlpha;
  png_set_IHDR(png, info, png_uint_32(img.width), png_uint_32(img.height), 8,
               alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // Snapshots are written every frame by a running viewer, and the first
  // frame's file is waited for: the "up" filter alone and zlib's fastest
  // level take about half the time of two filters at level 3 (a 640 x 480
  // frame: 1.8 against 3.3 ms, a textured one 8.5 against 15 ms) for
  // files 8 to 25 % larger.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_set_compression_level(png, 1);
  png_write_info(png, info);
  if (!alpha) png_set_filler(png, 0, PNG_FILLER_AFTER);  // drops the opaque alpha byte
  png_write_image(png, rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool writePng(const std::string& path, const RgbaImage& img, std::string* error) {
  if (img.width <= 0 || img.height <= 0 ||
      img.pixels.size() < size_t(img.width) * size_t(img.height) * 4) {
    fail(error, "cannot write " + path + ": no image");
    return false;
  }
  std::vector<png_bytep> rows(size_t(img.height));
  for (size_t y = 0; y < rows.size(); ++y)
    rows[y] = const_cast<png_bytep>(&img.pixels[y * size_t(img.width) * 4]);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    fail(error, "cannot write " + path + ": " + std::strerror(errno));
    return false;
  }
  PngErrorTrap state;
  bool ok = writePngRows(f, img, rows.data(), state);
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    std::remove(path.c_str());  // no truncated file left behind
    fail(error, "cannot write " + path + (state.message[0] ? std::string(": ") + state.message : ""));
  }
  return ok;
}

RgbaImage imageFromSFImage(const Image& src) {
  RgbaImage img;
  int comps = src.components;
  if (src.width <= 0 || src.height <= 0 || comps < 1 || comps > 4 ||
      src.pixels.size() < size_t(src.width) * size_t(src.height))
    return img;
  img.width = src.width;
  img.height = src.height;
  img.pixels.resize(size_t(img.width) * size_t(img.height) * 4);
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      uint32_t v = src.pixels[size_t(y * img.width + x)];
      auto byte = [&](int k) { return uint8_t((v >> (8 * (comps - 1 - k))) & 0xFF); };
      uint8_t* d = &img.pixels[size_t((img.height - 1 - y) * img.width + x) * 4];
      if (comps <= 2) d[0] = d[1] = d[2] = byte(0);
      else {
        d[0] = byte(0);
        d[1] = byte(1);
        d[2] = byte(2);
      }
      d[3] = comps == 2 ? byte(1) : comps == 4 ? byte(3) : 255;
      if (d[3] != 255) img.hasAlpha = true;
    }
  return img;
}

}  // namespace kestrel
