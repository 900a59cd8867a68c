#include "viewer/browser/render/image_io.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include <csetjmp>

namespace kestrel {
namespace {

using FilePtr = std::unique_ptr<FILE, int (*)(FILE*)>;

void fail(std::string* error, const std::string& what) {
  if (error) *error = what;
}

bool readPng(FILE* f, RgbaImage& img, std::string* error) {
  png_image p;
  std::memset(&p, 0, sizeof p);
  p.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_stdio(&p, f)) {
    fail(error, std::string("bad PNG: ") + p.message);
    return false;
  }
  p.format = PNG_FORMAT_RGBA;
  if (p.width > 16384 || p.height > 16384) {
    png_image_free(&p);
    fail(error, "PNG too large");
    return false;
  }
  img.width = int(p.width);
  img.height = int(p.height);
  img.pixels.resize(PNG_IMAGE_SIZE(p));
  if (!png_image_finish_read(&p, nullptr, img.pixels.data(), 0, nullptr)) {
    fail(error, std::string("bad PNG: ") + p.message);
    return false;
  }
  return true;
}

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

bool readJpeg(FILE* f, RgbaImage& img, std::string* error) {
  jpeg_decompress_struct d;
  JpegError err;
  d.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1); };
  std::vector<uint8_t> row;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&d);
    fail(error, "bad JPEG");
    return false;
  }
  jpeg_create_decompress(&d);
  jpeg_stdio_src(&d, f);
  jpeg_read_header(&d, TRUE);
  d.out_color_space = JCS_RGB;
  jpeg_start_decompress(&d);
  if (d.output_width > 16384 || d.output_height > 16384) std::longjmp(err.jump, 1);
  img.width = int(d.output_width);
  img.height = int(d.output_height);
  img.pixels.assign(size_t(img.width) * size_t(img.height) * 4, 255);
  row.resize(size_t(img.width) * 3);
  while (d.output_scanline < d.output_height) {
    JSAMPROW r = row.data();
    size_t y = d.output_scanline;
    jpeg_read_scanlines(&d, &r, 1);
    for (size_t x = 0; x < size_t(img.width); ++x)
      std::memcpy(&img.pixels[(y * size_t(img.width) + x) * 4], &row[x * 3], 3);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return true;
}

}  // namespace

bool readImageFile(const std::string& path, RgbaImage& img, std::string* error) {
  FilePtr f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) {
    fail(error, "cannot open " + path);
    return false;
  }
  unsigned char magic[4] = {};
  size_t got = std::fread(magic, 1, 4, f.get());
  std::rewind(f.get());
  bool ok;
  if (got == 4 && magic[0] == 0x89 && magic[1] == 'P') ok = readPng(f.get(), img, error);
  else if (got >= 2 && magic[0] == 0xFF && magic[1] == 0xD8) ok = readJpeg(f.get(), img, error);
  else {
    fail(error, path + " is neither PNG nor JPEG");
    return false;
  }
  if (!ok) return false;
  img.hasAlpha = false;
  for (size_t i = 3; i < img.pixels.size(); i += 4)
    if (img.pixels[i] != 255) img.hasAlpha = true;
  return true;
}

namespace {

struct PngWriteState {
  std::jmp_buf jump;
  char message[256] = {};
};

void pngWriteError(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngWriteState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", message);
  std::longjmp(state->jump, 1);
}

void pngWriteWarning(png_structp, png_const_charp) {}

// Writes ROWS to F; false with STATE.message on a libpng error. Nothing
// here owns resources a longjmp could skip.
bool writePngRows(FILE* f, const RgbaImage& img, png_bytep* rows, PngWriteState& state) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, pngWriteError, pngWriteWarning);
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
  // Snapshots are written every frame by a running viewer: two cheap
  // filters and a fast zlib level cost a fraction of the default's time
  // for files a little larger.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB | PNG_FILTER_UP);
  png_set_compression_level(png, 3);
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
  PngWriteState state;
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
