// Mipmap levels made on the CPU. The driver can make them
// (glGenerateMipmap), but Mesa's software rasterizer compiles blit shaders
// the first time it does, tens of milliseconds before the first textured
// frame; a 2 x 2 box filter here costs well under a millisecond for the
// usual texture.
#pragma once

#include <cstdint>
#include <vector>

namespace kestrel {

struct MipLevel {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;  // width * height * 4, RGBA
};

// The level below an RGBA image of WIDTH x HEIGHT: half its size in each
// direction, rounded down and at least 1, each texel the rounded mean of
// the 2 x 2 texels above it (of 2 or 1 where a side is 1 texel). An odd
// last row or column is left out, as a box filter does.
MipLevel halveRgba(const uint8_t* pixels, int width, int height);

// Every level below WIDTH x HEIGHT down to 1 x 1, largest first.
std::vector<MipLevel> mipmapsBelow(const uint8_t* pixels, int width, int height);

}  // namespace kestrel
