// Sphere and mesh file conversion of arbitrary text. The first byte picks
// the converter (even: sphere, odd: mesh) and, for meshes, whether the
// output is textured; the rest is the file, one line per "\n".
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "viewer/shell/mesh_processor.h"
#include "viewer/shell/scene_block.h"
#include "viewer/shell/sphere_processor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  std::vector<std::string> pieces;
  if (mode % 2 == 0) {
    kestrel::SphereProcessor sphere;
    sphere.reset("fuzz");
    for (const std::string& line : lines) sphere.convertLine(line, pieces);
    kestrel::SphereProcessor::finish(pieces);
  } else {
    kestrel::MeshProcessor mesh;
    mesh.reset("fuzz");
    for (const std::string& line : lines) mesh.addLine(line);
    std::optional<std::string> image;
    if (mode & 2) image = "c:/corvid/render/textures/aworld.png";
    mesh.generate(image, pieces);
  }
  std::vector<std::string> entries = kestrel::joinPieces(pieces);
  if (kestrel::blockText(entries) != kestrel::blockText(pieces)) __builtin_trap();
  return 0;
}
