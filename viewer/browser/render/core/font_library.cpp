#include "viewer/browser/render/core/font_library.h"

#include <fontconfig/fontconfig.h>

#include <filesystem>
#include <unordered_map>

#include "viewer/browser/render/core/glyph_outline.h"
#include "viewer/intake/thread_annotations.h"

namespace kestrel {
namespace {

const char* familyName(FontFamily f) {
  switch (f) {
    case FontFamily::Sans: return "DejaVu Sans";
    case FontFamily::Typewriter: return "DejaVu Sans Mono";
    case FontFamily::Serif: break;
  }
  return "DejaVu Serif";
}

std::string dejaVuFile(const FontKey& key) {
  std::string base = key.family == FontFamily::Serif  ? "DejaVuSerif"
                     : key.family == FontFamily::Sans ? "DejaVuSans"
                                                      : "DejaVuSansMono";
  const char* slanted = key.family == FontFamily::Serif ? "Italic" : "Oblique";
  if (key.bold && key.italic) return base + "-Bold" + slanted + ".ttf";
  if (key.bold) return base + "-Bold.ttf";
  if (key.italic) return base + "-" + slanted + ".ttf";
  return base + ".ttf";
}

bool fontconfigMatch(const FontKey& key, std::string& path) {
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (!config) return false;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(familyName(key.family)));
  FcPatternAddInteger(pattern, FC_WEIGHT, key.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, key.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  bool found = false;
  FcChar8* file = nullptr;
  FcBool outline = FcFalse;
  if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
      FcPatternGetBool(match, FC_OUTLINE, 0, &outline) == FcResultMatch && outline) {
    path = reinterpret_cast<const char*>(file);
    found = std::filesystem::exists(path);
  }
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  FcConfigDestroy(config);
  return found;
}

struct KeyHash {
  size_t operator()(const FontKey& k) const {
    return size_t(k.family) * 4 + size_t(k.bold) * 2 + size_t(k.italic);
  }
};

struct Font {
  FT_Face face = nullptr;  // null when loading failed
  std::string error;
  std::unordered_map<char32_t, Glyph> glyphs;
};

bool findDejaVuFile(const FontKey& key, std::string& path) {
  for (const char* dir : {"/usr/share/fonts/truetype/dejavu/", "/usr/share/fonts/dejavu/",
                          "/usr/local/share/fonts/"}) {
    std::string candidate = dir + dejaVuFile(key);
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec)) {
      path = candidate;
      return true;
    }
  }
  return false;
}

}  // namespace

bool findSystemFont(const FontKey& key, std::string& path) {
  if (findDejaVuFile(key, path) || fontconfigMatch(key, path)) return true;
  // Italic and bold faces come in a separate package; upright text beats none.
  FontKey upright = key;
  upright.italic = false;
  if (findDejaVuFile(upright, path)) return true;
  upright.bold = false;
  return findDejaVuFile(upright, path);
}

struct FontLibrary::Impl {
  FontLocator locator;
  Mutex mutex;
  FT_Library ft GUARDED_BY(mutex) = nullptr;
  std::unordered_map<FontKey, Font, KeyHash> fonts GUARDED_BY(mutex);

  ~Impl() {
    for (auto& [key, font] : fonts)
      if (font.face) FT_Done_Face(font.face);
    if (ft) FT_Done_FreeType(ft);
  }

  Font& open(const FontKey& key) REQUIRES(mutex) {
    auto found = fonts.find(key);
    if (found != fonts.end()) return found->second;
    Font& font = fonts[key];
    std::string path;
    if (!ft && FT_Init_FreeType(&ft)) {
      ft = nullptr;
      font.error = "the font engine could not start";
    } else if (!locator || !locator(key, path)) {
      font.error = std::string("no font file found for ") + familyName(key.family) +
                   (key.bold ? " bold" : "") + (key.italic ? " italic" : "") +
                   " (install fonts-dejavu-core)";
    } else if (FT_New_Face(ft, path.c_str(), 0, &font.face) || !FT_IS_SCALABLE(font.face)) {
      if (font.face) FT_Done_Face(font.face);
      font.face = nullptr;
      font.error = "cannot read outline font \"" + path + "\"";
    }
    return font;
  }

  Font* loaded(const FontKey& key) REQUIRES(mutex) {
    auto found = fonts.find(key);
    return found != fonts.end() && found->second.face ? &found->second : nullptr;
  }
};

FontLibrary::FontLibrary(FontLocator locator) : impl_(std::make_unique<Impl>()) {
  impl_->locator = std::move(locator);
}

FontLibrary::~FontLibrary() = default;

bool FontLibrary::load(const FontKey& key, std::string* error) {
  MutexLock lock(impl_->mutex);
  Font& font = impl_->open(key);
  if (!font.face && error) *error = font.error;
  return font.face != nullptr;
}

const Glyph* FontLibrary::glyph(const FontKey& key, char32_t c) {
  MutexLock lock(impl_->mutex);
  Font* font = impl_->loaded(key);
  if (!font) return nullptr;
  auto found = font->glyphs.find(c);
  if (found != font->glyphs.end()) return &found->second;
  std::vector<std::vector<Vec2f>> contours;
  Glyph g;
  if (readGlyphOutline(font->face, c, contours, g.advance)) g.shape = fillContours(contours, FillRule::Winding);
  return &font->glyphs.emplace(c, std::move(g)).first->second;
}

float FontLibrary::kerning(const FontKey& key, char32_t left, char32_t right) {
  MutexLock lock(impl_->mutex);
  Font* font = impl_->loaded(key);
  if (!font || !FT_HAS_KERNING(font->face)) return 0;
  FT_Vector k{};
  FT_UInt l = FT_Get_Char_Index(font->face, FT_ULong(left));
  FT_UInt r = FT_Get_Char_Index(font->face, FT_ULong(right));
  if (FT_Get_Kerning(font->face, l, r, FT_KERNING_UNSCALED, &k)) return 0;
  return float(double(k.x) / std::max<double>(font->face->units_per_EM, 1));
}

FontMetrics FontLibrary::metrics(const FontKey& key) {
  MutexLock lock(impl_->mutex);
  FontMetrics m;
  Font* font = impl_->loaded(key);
  if (!font) return m;
  double units = std::max<double>(font->face->units_per_EM, 1);
  m.ascender = float(font->face->ascender / units);
  m.descender = float(font->face->descender / units);
  return m;
}

std::vector<std::string> FontLibrary::failures() {
  MutexLock lock(impl_->mutex);
  std::vector<std::string> out;
  for (const auto& [key, font] : impl_->fonts)
    if (!font.face) out.push_back(font.error);
  return out;
}

FontLibrary& FontLibrary::shared() {
  static FontLibrary library;
  return library;
}

}  // namespace kestrel
