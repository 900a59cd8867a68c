#include "viewer/browser/render/gl/mipmaps.h"

#include <algorithm>

namespace kestrel {

MipLevel halveRgba(const uint8_t* pixels, int width, int height) {
  MipLevel out;
  out.width = std::max(1, width / 2);
  out.height = std::max(1, height / 2);
  out.pixels.resize(size_t(out.width) * size_t(out.height) * 4);
  // The second source column and row of a target texel: the next one, or
  // the same one along a side that is already 1 texel (then counted twice).
  const int dx = width > 1 ? 1 : 0, dy = height > 1 ? 1 : 0;
  const size_t rowBytes = size_t(width) * 4;
  uint8_t* to = out.pixels.data();
  for (int y = 0; y < out.height; ++y) {
    const uint8_t* top = pixels + size_t(y) * (dy + 1) * rowBytes;
    const uint8_t* bottom = top + size_t(dy) * rowBytes;
    for (int x = 0; x < out.width; ++x) {
      const size_t left = size_t(x) * (dx + 1) * 4, right = left + size_t(dx) * 4;
      for (int c = 0; c < 4; ++c) {
        const int sum = top[left + c] + top[right + c] + bottom[left + c] + bottom[right + c];
        *to++ = static_cast<uint8_t>((sum + 2) / 4);
      }
    }
  }
  return out;
}

std::vector<MipLevel> mipmapsBelow(const uint8_t* pixels, int width, int height) {
  std::vector<MipLevel> levels;
  while (width > 1 || height > 1) {
    levels.push_back(halveRgba(pixels, width, height));
    pixels = levels.back().pixels.data();
    width = levels.back().width;
    height = levels.back().height;
  }
  return levels;
}

}  // namespace kestrel
