// Parses the input as VRML and tessellates every geometry node it holds,
// then walks it into a draw list: neither may read out of bounds or hang.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "viewer/browser/parser.h"
#include "viewer/browser/render/core/tessellate.h"
#include "viewer/browser/render/core/traversal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 20000) return 0;
  kestrel::Scene scene;
  kestrel::ParseError error;
  kestrel::ParseOptions options;
  options.requireHeader = false;
  options.maxNodes = 5000;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!kestrel::parseVrml(text, options, scene, error)) return 0;
  kestrel::DrawList list = kestrel::collectDrawList(scene.rootNodes(), {}, kestrel::Viewer{});
  for (const kestrel::DrawItem& item : list.items) {
    kestrel::Mesh mesh = kestrel::tessellate(*item.geometry);
    if (mesh.vertexCount() > 1 && mesh.kind == kestrel::Mesh::Kind::Triangles &&
        mesh.normals.size() != mesh.vertexCount())
      __builtin_trap();
  }
  return 0;
}
