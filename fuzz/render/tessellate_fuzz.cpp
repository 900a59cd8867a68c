// Parses the input as VRML and tessellates every geometry node it holds,
// then walks it into a draw list: neither may read out of bounds or hang.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/browser/parser.h"
#include "viewer/browser/render/core/tessellate.h"
#include "viewer/browser/render/core/traversal.h"

namespace {

// Scenes up to 16 KB (the fuzzer's -max_len for this target).
constexpr size_t kMaxInput = 16384;
// Glyph outlines come from the font, not from the input: a longer text adds
// time but no new paths through the text mesher.
constexpr size_t kMaxTextCharacters = 64;

bool textTooLong(const kestrel::Node& geometry) {
  const kestrel::FieldValue* field = geometry.field("string");
  const auto* strings = field ? field->as<std::vector<std::string>>() : nullptr;
  size_t characters = 0;
  if (strings != nullptr) {
    for (const std::string& s : *strings) characters += s.size();
  }
  return characters > kMaxTextCharacters;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  kestrel::Scene scene;
  kestrel::ParseError error;
  kestrel::ParseOptions options;
  options.requireHeader = false;
  options.maxNodes = 5000;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!kestrel::parseVrml(text, options, scene, error)) return 0;
  kestrel::DrawList list = kestrel::collectDrawList(scene.rootNodes(), {}, kestrel::Viewer{});
  for (const kestrel::DrawItem& item : list.items) {
    if (textTooLong(*item.geometry)) continue;
    kestrel::Mesh mesh = kestrel::tessellate(*item.geometry);
    if (mesh.vertexCount() > 1 && mesh.kind == kestrel::Mesh::Kind::Triangles &&
        mesh.normals.size() != mesh.vertexCount())
      __builtin_trap();
  }
  return 0;
}
