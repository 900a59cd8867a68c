// Reading one glyph's outline out of a FreeType face, with its curves
// flattened into straight segments. Used by FontLibrary under its lock.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <vector>

#include "viewer/browser/field_value.h"

namespace kestrel {

// The closed contours (em units, baseline at y = 0) and the advance of
// the glyph for C in FACE: outlines counter-clockwise, holes clockwise.
// False when FreeType cannot load it.
bool readGlyphOutline(FT_Face face, char32_t c, std::vector<std::vector<Vec2f>>& contours,
                      float& advance);

}  // namespace kestrel
