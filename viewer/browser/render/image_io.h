// RGBA8 images: reading PNG and JPEG files, writing PNG files, and the
// pixels of a PixelTexture. Rows run top to bottom.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/browser/field_value.h"

namespace kestrel {

struct RgbaImage {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;  // width * height * 4
  bool hasAlpha = false;        // some pixel is not opaque

  const uint8_t* at(int x, int y) const { return &pixels[size_t(y * width + x) * 4]; }
};

// PNG or JPEG (told apart by content). False with ERROR filled on failure.
bool readImageFile(const std::string& path, RgbaImage& image, std::string* error);
bool writePng(const std::string& path, const RgbaImage& image, std::string* error);
// SFImage pixels (bottom row first, 1-4 components) as RGBA rows top first.
RgbaImage imageFromSFImage(const Image& image);

}  // namespace kestrel
