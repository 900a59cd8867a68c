// A binary STL of about a million triangles for the benchmarks: a 708 x 708
// height field of gentle waves, 2 x 707 x 707 = 999698 triangles, 0..707 in
// x and y, -5..5 in z, facet normals left zero (as many exporters write them).
#pragma once

#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>

namespace kestrel::bench {

constexpr int kBigStlGrid = 708;

inline void putStlTriangle(std::ofstream& out, const float (&v)[9]) {
  const float normal[3] = {0, 0, 0};
  const uint16_t attributes = 0;
  out.write(reinterpret_cast<const char*>(normal), sizeof normal);
  out.write(reinterpret_cast<const char*>(v), sizeof v);
  out.write(reinterpret_cast<const char*>(&attributes), sizeof attributes);
}

inline void writeBigStl(const std::string& path) {
  constexpr int n = kBigStlGrid;
  std::ofstream out(path, std::ios::binary);
  out << std::string(80, ' ');
  uint32_t count = 2u * (n - 1) * (n - 1);
  out.write(reinterpret_cast<const char*>(&count), sizeof count);
  auto h = [](int x, int y) { return static_cast<float>(std::sin(x * 0.05) * std::cos(y * 0.05) * 5); };
  for (int y = 0; y + 1 < n; ++y) {
    for (int x = 0; x + 1 < n; ++x) {
      float fx = static_cast<float>(x), fy = static_cast<float>(y);
      float a[3] = {fx, fy, h(x, y)}, b[3] = {fx + 1, fy, h(x + 1, y)};
      float c[3] = {fx + 1, fy + 1, h(x + 1, y + 1)}, d[3] = {fx, fy + 1, h(x, y + 1)};
      putStlTriangle(out, {a[0], a[1], a[2], b[0], b[1], b[2], c[0], c[1], c[2]});
      putStlTriangle(out, {a[0], a[1], a[2], c[0], c[1], c[2], d[0], d[1], d[2]});
    }
  }
}

}  // namespace kestrel::bench
