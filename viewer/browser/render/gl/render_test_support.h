// Test helpers for frames drawn off screen: a scene text rendered into a
// square image, and its pixels as plain colours.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "viewer/browser/render/gl/snapshot.h"
#include "viewer/browser/render/core/test_scene.h"

namespace kestrel {

struct Rgb {
  int r, g, b;
};

inline Rgb pixel(const RgbaImage& img, int x, int y) {
  const uint8_t* p = img.at(x, y);
  return {p[0], p[1], p[2]};
}

// TEXT rendered into a SIZE x SIZE image; a black image (and a test failure)
// when it cannot be drawn, so that pixel checks never read out of range.
inline RgbaImage drawScene(const std::string& text, int size, const std::string& baseDir = {}) {
  Scene scene = parseScene(text);
  scene.baseDir = baseDir;
  RgbaImage img;
  std::string error;
  EXPECT_TRUE(renderImage(scene, size, size, img, &error)) << error;
  if (img.width != size) {
    img.pixels.assign(size_t(size) * size_t(size) * 4, 0);
    img.width = img.height = size;
  }
  return img;
}

}  // namespace kestrel
