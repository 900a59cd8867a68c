// Text and Text3D as triangles: glyph outlines from FontLibrary laid out
// by a FontStyle (size, spacing, family, style, justify, direction), with
// Text3D's glyphs extruded by its depth. Plain code, no OpenGL.
//
// Lines run left to right (or right to left) along +X from the origin,
// one line below the other (or above); the front faces +Z at z = 0 and an
// extruded back lies at z = -depth. Texture coordinates start at the first
// string's origin (after justification), one unit per size. Vertical text
// (horizontal FALSE) runs down (or up) in columns one size wide that
// follow each other to the right (or left).
#pragma once

#include <string>
#include <vector>

#include "viewer/browser/node.h"
#include "viewer/browser/render/core/font_library.h"
#include "viewer/browser/render/core/mesh.h"

namespace kestrel {

enum class Justify { First, Begin, Middle, End };

struct TextStyle {
  FontKey font;
  float size = 1, spacing = 1;
  Justify major = Justify::Begin, minor = Justify::First;
  bool horizontal = true, leftToRight = true, topToBottom = true;
};

struct TextInput {
  std::vector<std::string> strings;  // UTF-8, one a line
  TextStyle style;
  std::vector<float> length;  // > 0: the line is stretched or squeezed to it
  float maxExtent = 0;        // > 0: lines longer than this are squeezed to it
  float depth = 0;            // > 0: extruded
};

// The strings and style of a Text or Text3D node (and its FontStyle).
TextInput textInputOf(const Node& text);

// Lays out IN into MESH (replacing it). False with ERROR when the font
// cannot be had; MESH is then empty. No strings give an empty mesh.
bool buildTextMesh(FontLibrary& fonts, const TextInput& in, Mesh& mesh, std::string* error);

// The mesh of a Text or Text3D node with the shared font library; empty
// when no font can be found (FontLibrary::shared().failures() says why).
Mesh textMesh(const Node& text);

// The code points of UTF-8 text; a malformed sequence gives U+FFFD.
std::u32string decodeUtf8(const std::string& text);

}  // namespace kestrel
