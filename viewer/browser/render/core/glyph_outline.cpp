#include "viewer/browser/render/core/glyph_outline.h"

#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>

namespace kestrel {
namespace {

struct Flattener {
  std::vector<std::vector<Vec2f>>* contours;
  double scale;      // font units to em
  double tolerance;  // font units a flattened curve may stray from the true one
  double x = 0, y = 0;

  void to(double nx, double ny) {
    if (contours->empty()) contours->emplace_back();
    contours->back().push_back({float(nx * scale), float(ny * scale)});
    x = nx;
    y = ny;
  }
  // Segments enough that the chord error (about |second difference| / 8n^2)
  // stays within the tolerance.
  int steps(double ddx, double ddy) const {
    double n = std::ceil(std::sqrt(std::hypot(ddx, ddy) / (8 * tolerance)));
    return std::clamp(static_cast<int>(n), 1, 32);
  }
};

Flattener& self(void* user) { return *static_cast<Flattener*>(user); }

int moveTo(const FT_Vector* to, void* user) {
  Flattener& f = self(user);
  f.contours->emplace_back();
  f.to(double(to->x), double(to->y));
  return 0;
}

int lineTo(const FT_Vector* to, void* user) {
  self(user).to(double(to->x), double(to->y));
  return 0;
}

int conicTo(const FT_Vector* c, const FT_Vector* to, void* user) {
  Flattener& f = self(user);
  double x0 = f.x, y0 = f.y, x1 = double(c->x), y1 = double(c->y);
  double x2 = double(to->x), y2 = double(to->y);
  int n = f.steps(x0 - 2 * x1 + x2, y0 - 2 * y1 + y2);
  for (int i = 1; i <= n; ++i) {
    double t = double(i) / n, u = 1 - t;
    f.to(u * u * x0 + 2 * u * t * x1 + t * t * x2, u * u * y0 + 2 * u * t * y1 + t * t * y2);
  }
  return 0;
}

int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  Flattener& f = self(user);
  double x0 = f.x, y0 = f.y, x1 = double(c1->x), y1 = double(c1->y);
  double x2 = double(c2->x), y2 = double(c2->y), x3 = double(to->x), y3 = double(to->y);
  double ddx = std::max(std::abs(x0 - 2 * x1 + x2), std::abs(x1 - 2 * x2 + x3));
  double ddy = std::max(std::abs(y0 - 2 * y1 + y2), std::abs(y1 - 2 * y2 + y3));
  int n = f.steps(6 * ddx, 6 * ddy);
  for (int i = 1; i <= n; ++i) {
    double t = double(i) / n, u = 1 - t;
    double a = u * u * u, b = 3 * u * u * t, cc = 3 * u * t * t, d = t * t * t;
    f.to(a * x0 + b * x1 + cc * x2 + d * x3, a * y0 + b * y1 + cc * y2 + d * y3);
  }
  return 0;
}

}  // namespace

bool readGlyphOutline(FT_Face face, char32_t c, std::vector<std::vector<Vec2f>>& contours,
                      float& advance) {
  contours.clear();
  advance = 0;
  FT_UInt index = FT_Get_Char_Index(face, FT_ULong(c));
  if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING))
    return false;
  double units = face->units_per_EM > 0 ? double(face->units_per_EM) : 1000.0;
  advance = float(double(face->glyph->metrics.horiAdvance) / units);
  if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return true;  // nothing to draw
  FT_Outline_Funcs funcs{};
  funcs.move_to = moveTo;
  funcs.line_to = lineTo;
  funcs.conic_to = conicTo;
  funcs.cubic_to = cubicTo;
  Flattener f{&contours, 1.0 / units, units / 512.0};
  if (FT_Outline_Decompose(&face->glyph->outline, &funcs, &f)) {
    contours.clear();
    return false;
  }
  // TrueType fills clockwise contours, PostScript counter-clockwise ones;
  // outlines are handed on counter-clockwise.
  if (FT_Outline_Get_Orientation(&face->glyph->outline) == FT_ORIENTATION_TRUETYPE)
    for (auto& ring : contours) std::reverse(ring.begin(), ring.end());
  return true;
}

}  // namespace kestrel
