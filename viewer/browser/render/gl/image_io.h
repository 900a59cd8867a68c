// RGBA8 images: reading PNG, JPEG and GIF files, writing PNG files, and the
// pixels of a PixelTexture. Rows run top to bottom.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/browser/field_value.h"

namespace kestrel {

// Largest image decoded: each side, and all pixels together (128 MiB as
// RGBA). Files are read up to kMaxImageFileBytes (file_input.h).
inline constexpr int kMaxImageSide = 8192;
inline constexpr uint64_t kMaxImagePixels = uint64_t{32} << 20;

struct RgbaImage {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;  // width * height * 4
  bool hasAlpha = false;        // some pixel is not opaque
  // The file gives alpha (an alpha channel, a transparent colour), whether
  // or not any pixel uses it: a texture of 2 or 4 components.
  bool alphaChannel = false;
  bool grey = false;            // the file held grey levels (intensity), not colours

  const uint8_t* at(int x, int y) const { return &pixels[size_t(y * width + x) * 4]; }
};

// PNG, JPEG, GIF (told apart by content; a GIF's first frame) or TGA (by its
// footer or a .tga name). False with ERROR filled on failure,
// also for images over the limits above and for PNGs whose compressed
// data is too short for the size they declare (refused before decoding).
bool readImageFile(const std::string& path, RgbaImage& image, std::string* error);
// Turns IMAGE upside down in place (OpenGL's rows run bottom first), with
// no copy of the image.
void flipRows(RgbaImage& image);
bool writePng(const std::string& path, const RgbaImage& image, std::string* error);
// SFImage pixels (bottom row first, 1-4 components) as RGBA rows top first.
RgbaImage imageFromSFImage(const Image& image);

}  // namespace kestrel
