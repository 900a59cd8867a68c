// Reads the input as contours of small integer points (a byte 0x80 starts
// a new contour) and fills them by both rules: whatever the contours do,
// the fill must end, index only its own points and wind every triangle
// counter-clockwise.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "viewer/browser/render/core/polygon_holes.h"

namespace {

void check(const kestrel::FilledShape& s) {
  if (s.triangles.size() % 3) __builtin_trap();
  for (size_t t = 0; t < s.triangles.size(); t += 3) {
    for (size_t k = 0; k < 3; ++k)
      if (s.triangles[t + k] < 0 || size_t(s.triangles[t + k]) >= s.points.size()) __builtin_trap();
    kestrel::Vec2f a = s.points[size_t(s.triangles[t])], b = s.points[size_t(s.triangles[t + 1])];
    kestrel::Vec2f c = s.points[size_t(s.triangles[t + 2])];
    double cross = (double(b.x) - a.x) * (double(c.y) - a.y) - (double(b.y) - a.y) * (double(c.x) - a.x);
    if (!(cross > 0)) __builtin_trap();
  }
}

// Up to 128 points: every way contours can touch, cross and nest shows in
// a few dozen points, and the fill's cost grows faster than its input.
constexpr size_t kMaxInput = 256;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  std::vector<std::vector<kestrel::Vec2f>> contours(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0x80) {
      contours.emplace_back();
    } else if (i + 1 < size) {
      contours.back().push_back({float(int8_t(data[i])), float(int8_t(data[i + 1]))});
      ++i;
    }
  }
  check(kestrel::fillContours(contours, kestrel::FillRule::Nesting));
  check(kestrel::fillContours(contours, kestrel::FillRule::Winding));
  return 0;
}
