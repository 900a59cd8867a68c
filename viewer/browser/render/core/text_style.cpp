// Reading Text, Text3D and FontStyle nodes; decoding their UTF-8 strings.
#include <cmath>

#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/text_mesh.h"
#include "viewer/browser/render/core/traversal.h"

namespace kestrel {
namespace {

Justify justifyOf(const std::string& word, Justify fallback) {
  if (word == "FIRST") return Justify::First;
  if (word == "BEGIN") return Justify::Begin;
  if (word == "MIDDLE") return Justify::Middle;
  if (word == "END") return Justify::End;
  return fallback;
}

float positiveOr(float v, float fallback) { return std::isfinite(v) && v > 0 ? v : fallback; }

TextStyle styleOf(const Node* fs) {
  TextStyle s;
  if (!fs) return s;
  // The first family this renderer knows wins; SERIF when none is known.
  for (const std::string& f : listOf<std::string>(*fs, "family")) {
    if (f == "SERIF") s.font.family = FontFamily::Serif;
    else if (f == "SANS") s.font.family = FontFamily::Sans;
    else if (f == "TYPEWRITER") s.font.family = FontFamily::Typewriter;
    else continue;
    break;
  }
  std::string style = fieldOr(*fs, "style", std::string("PLAIN"));
  s.font.bold = style == "BOLD" || style == "BOLDITALIC";
  s.font.italic = style == "ITALIC" || style == "BOLDITALIC";
  s.size = positiveOr(fieldOr(*fs, "size", 1.0f), 1);
  float spacing = fieldOr(*fs, "spacing", 1.0f);
  s.spacing = std::isfinite(spacing) && spacing >= 0 ? spacing : 1;
  const auto& justify = listOf<std::string>(*fs, "justify");
  if (!justify.empty()) {
    s.major = justifyOf(justify[0], Justify::Begin);
    if (s.major == Justify::First) s.major = Justify::Begin;
  }
  if (justify.size() > 1) s.minor = justifyOf(justify[1], Justify::First);
  s.horizontal = fieldOr(*fs, "horizontal", true);
  s.leftToRight = fieldOr(*fs, "leftToRight", true);
  s.topToBottom = fieldOr(*fs, "topToBottom", true);
  return s;
}

}  // namespace

TextInput textInputOf(const Node& text) {
  TextInput in;
  in.strings = listOf<std::string>(text, "string");
  NodePtr fs = nodeOf(text, "fontStyle");
  in.style = styleOf(actualNode(fs.get()));
  in.length = listOf<float>(text, "length");
  float extent = fieldOr(text, "maxExtent", 0.0f);
  in.maxExtent = std::isfinite(extent) && extent > 0 ? extent : 0;
  if (kindOf(text) == NodeKind::Text3D) {
    float depth = fieldOr(text, "depth", 0.1f);
    in.depth = std::isfinite(depth) && depth > 0 ? depth : 0;
  }
  return in;
}

std::u32string decodeUtf8(const std::string& text) {
  std::u32string out;
  size_t i = 0, n = text.size();
  while (i < n) {
    auto b = static_cast<unsigned char>(text[i]);
    int extra = b < 0x80              ? 0
                : (b & 0xE0) == 0xC0  ? 1
                : (b & 0xF0) == 0xE0  ? 2
                : (b & 0xF8) == 0xF0  ? 3
                                      : -1;
    char32_t c = extra == 0 ? b : extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
    bool ok = extra >= 0;
    for (int k = 1; ok && k <= extra; ++k) {
      if (i + size_t(k) >= n) {
        ok = false;
        break;
      }
      auto cont = static_cast<unsigned char>(text[i + size_t(k)]);
      if ((cont & 0xC0) != 0x80) ok = false;
      c = (c << 6) | (cont & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are malformed too.
    static const char32_t least[4] = {0, 0x80, 0x800, 0x10000};
    if (ok && (c < least[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) ok = false;
    if (ok) {
      out.push_back(c);
      i += size_t(extra) + 1;
    } else {
      out.push_back(U'\uFFFD');
      ++i;
    }
  }
  return out;
}

}  // namespace kestrel
