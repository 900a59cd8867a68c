// JPEG through libjpeg, from memory. The header's size is checked before
// decompression starts, so a small file cannot claim a huge image.
#include <cstdio>
#include <cstring>
#include <vector>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include <csetjmp>

#include "viewer/browser/render/gl/image_decoders.h"

namespace kestrel {
namespace {

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  bool sizeRefused;  // set before a jump of our own
};

[[noreturn]] void jpegErrorExit(j_common_ptr c) {
  std::longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1);
}

// Copies the RGB scanlines into IMG's RGBA pixels (alpha stays 255).
void readRgbRows(jpeg_decompress_struct& d, RgbaImage& img, std::vector<uint8_t>& row) {
  row.resize(size_t(img.width) * 3);
  while (d.output_scanline < d.output_height) {
    JSAMPROW r = row.data();
    size_t y = d.output_scanline;
    jpeg_read_scanlines(&d, &r, 1);
    for (size_t x = 0; x < size_t(img.width); ++x)
      std::memcpy(&img.pixels[(y * size_t(img.width) + x) * 4], &row[x * 3], 3);
  }
}

bool sizeAllowed(JDIMENSION width, JDIMENSION height) {
  return imageSizeProblem(width, height).empty();
}

// Runs libjpeg over BYTES into IMG. libjpeg leaves by longjmp on any error,
// which skips destructors, so this function holds no object that has one
// (everything that does belongs to the caller): what a jump skips is then
// only plain C state.
bool runJpeg(std::string_view bytes, jpeg_decompress_struct& d, JpegError& err, RgbaImage& img,
             std::vector<uint8_t>& row) {
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&d);
    return false;
  }
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&d, TRUE);
  if (!sizeAllowed(d.image_width, d.image_height)) {
    err.sizeRefused = true;
    std::longjmp(err.jump, 1);
  }
  img.grey = d.jpeg_color_space == JCS_GRAYSCALE;
  d.out_color_space = JCS_RGB;
  jpeg_start_decompress(&d);
  img.width = int(d.output_width);
  img.height = int(d.output_height);
  img.pixels.assign(size_t(img.width) * size_t(img.height) * 4, 255);
  readRgbRows(d, img, row);
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return true;
}

}  // namespace

bool decodeJpeg(std::string_view bytes, RgbaImage& img, std::string& error) {
  jpeg_decompress_struct d;
  JpegError err{};
  d.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = jpegErrorExit;
  std::vector<uint8_t> row;
  if (runJpeg(bytes, d, err, img, row)) return true;
  img = RgbaImage{};
  if (err.sizeRefused) {
    error = "JPEG refused: ";
    error += imageSizeProblem(d.image_width, d.image_height);
  } else {
    error = "bad JPEG";
  }
  return false;
}

}  // namespace kestrel
