// Glyph outlines from system fonts: FreeType reads the font files, which
// are DejaVu's (Serif, Sans, Sans Mono) at their Debian paths or whatever
// fontconfig offers for those families. Each glyph is flattened and filled
// once per font and character and kept for the library's life.
//
// Thread-safe: one mutex guards the fonts and the glyph cache. Glyph
// pointers stay valid until the library is destroyed.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "viewer/browser/render/core/polygon_holes.h"

namespace kestrel {

enum class FontFamily { Serif, Sans, Typewriter };

struct FontKey {
  FontFamily family = FontFamily::Serif;
  bool bold = false, italic = false;
  bool operator==(const FontKey&) const = default;
};

// One glyph in em units (1 = the font's em square), its origin on the
// baseline at the pen position.
struct Glyph {
  FilledShape shape;
  float advance = 0;
};

struct FontMetrics {
  float ascender = 0.8f, descender = -0.2f;  // em units; the descender is negative
};

// Maps a font request to a font file; false when there is none.
using FontLocator = std::function<bool(const FontKey& key, std::string& path)>;

// DejaVu at its usual places, else fontconfig's best scalable match for the
// same DejaVu family and style, else the upright (or regular) DejaVu face.
bool findSystemFont(const FontKey& key, std::string& path);

class FontLibrary {
 public:
  explicit FontLibrary(FontLocator locator = findSystemFont);
  ~FontLibrary();
  FontLibrary(const FontLibrary&) = delete;
  FontLibrary& operator=(const FontLibrary&) = delete;

  // Opens the font for KEY (once; a failure is remembered too). False with
  // ERROR when no font file is found or it is not a readable outline font.
  bool load(const FontKey& key, std::string* error);
  // The glyph of character C, or null when the font for KEY is not loaded.
  // A character the font lacks gets the font's missing-glyph shape.
  const Glyph* glyph(const FontKey& key, char32_t c);
  // Extra advance between LEFT and RIGHT (em units), 0 without kerning.
  float kerning(const FontKey& key, char32_t left, char32_t right);
  FontMetrics metrics(const FontKey& key);
  // Why each font that was asked for and could not be opened failed.
  std::vector<std::string> failures();

  // The process-wide library used by tessellation.
  static FontLibrary& shared();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kestrel
