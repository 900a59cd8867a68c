// Laying glyphs out into lines and turning them into faces (and, for
// extruded text, a back and side walls).
#include "viewer/browser/render/core/text_mesh.h"

#include <algorithm>
#include <cmath>

#include "viewer/browser/render/core/math3d.h"

namespace kestrel {
namespace {

struct Placed {
  const Glyph* glyph;
  float x, y;  // origin in the text's plane
  float sx, sy;  // scales: the size, times a line's stretch along it
};

class MeshWriter {
 public:
  MeshWriter(Mesh& mesh, float size, float depth) : m_(mesh), size_(size), depth_(depth) {}

  // Texture coordinates count from the first string's origin, one unit per size.
  void setTextureOrigin(Vec2f o) { origin_ = o; }

  void glyph(const Placed& p) {
    const FilledShape& s = p.glyph->shape;
    auto at = [&](Vec2f v) { return Vec2f{p.x + v.x * p.sx, p.y + v.y * p.sy}; };
    for (size_t t = 0; t + 2 < s.triangles.size(); t += 3) {
      Vec2f a = at(s.points[size_t(s.triangles[t])]), b = at(s.points[size_t(s.triangles[t + 1])]);
      Vec2f c = at(s.points[size_t(s.triangles[t + 2])]);
      for (Vec2f v : {a, b, c}) vertex(v, 0, {0, 0, 1});
      if (depth_ > 0)
        for (Vec2f v : {a, c, b}) vertex(v, -depth_, {0, 0, -1});
    }
    if (depth_ > 0)
      for (const auto& ring : s.rings) {
        std::vector<Vec2f> placed;
        for (Vec2f v : ring) placed.push_back(at(v));
        walls(placed);
      }
  }

 private:
  Mesh& m_;
  float size_, depth_;
  Vec2f origin_;

  void vertex(Vec2f p, float z, Vec3f n) {
    m_.positions.push_back({p.x, p.y, z});
    m_.normals.push_back(n);
    m_.texCoords.push_back({(p.x - origin_.x) / size_, (p.y - origin_.y) / size_});
  }

  // The side of a ring (filled side on its left), facing outwards. Corners
  // flatter than about 35 degrees are smoothed, so curves look round.
  void walls(const std::vector<Vec2f>& r) {
    size_t n = r.size();
    if (n < 3) return;
    std::vector<Vec3f> normal(n);
    for (size_t i = 0; i < n; ++i) {
      Vec2f a = r[i], b = r[(i + 1) % n];
      normal[i] = normalized(Vec3f{b.y - a.y, a.x - b.x, 0});
    }
    const float smooth = 0.82f;
    auto blend = [&](size_t i, size_t j) {
      return dot(normal[i], normal[j]) > smooth ? normalized(normal[i] + normal[j]) : normal[i];
    };
    for (size_t i = 0; i < n; ++i) {
      Vec2f p = r[i], q = r[(i + 1) % n];
      Vec3f np = blend(i, (i + n - 1) % n), nq = blend(i, (i + 1) % n);
      float u0 = 0, u1 = length(Vec3f{q.x - p.x, q.y - p.y, 0}) / size_;
      auto put = [&](Vec2f v, float z, Vec3f nn, float u) {
        m_.positions.push_back({v.x, v.y, z});
        m_.normals.push_back(nn);
        m_.texCoords.push_back({u, -z / size_});
      };
      put(p, 0, np, u0);
      put(p, -depth_, np, u0);
      put(q, -depth_, nq, u1);
      put(p, 0, np, u0);
      put(q, -depth_, nq, u1);
      put(q, 0, nq, u1);
    }
  }
};

struct Line {
  std::vector<std::pair<const Glyph*, float>> glyphs;  // with the pen position (em)
  float width = 0;                                      // em
};

Line layoutLine(FontLibrary& fonts, const FontKey& key, const std::string& text, bool ltr) {
  std::u32string chars = decodeUtf8(text);
  if (!ltr) std::reverse(chars.begin(), chars.end());
  Line line;
  float pen = 0;
  for (size_t i = 0; i < chars.size(); ++i) {
    if (i > 0) pen += fonts.kerning(key, chars[i - 1], chars[i]);
    const Glyph* g = fonts.glyph(key, chars[i]);
    if (!g) continue;
    line.glyphs.push_back({g, pen});
    pen += g->advance;
  }
  line.width = std::max(pen, 0.0f);
  return line;
}

float majorOffset(Justify j, bool ltr, float width) {
  if (j == Justify::Middle) return -width / 2;
  bool atEnd = (j == Justify::End) == ltr;
  return atEnd ? -width : 0;
}

// Each line's stretch: LENGTH where it is given, then all squeezed so
// the longest fits MAXEXTENT. NATURAL: the lines' lengths unstretched.
std::vector<float> stretches(const TextInput& in, const std::vector<float>& natural) {
  std::vector<float> stretch;
  float longest = 0;
  for (size_t i = 0; i < natural.size(); ++i) {
    float s = 1;
    if (i < in.length.size() && std::isfinite(in.length[i]) && in.length[i] > 0 && natural[i] > 0)
      s = in.length[i] / natural[i];
    stretch.push_back(s);
    longest = std::max(longest, natural[i] * s);
  }
  if (in.maxExtent > 0 && longest > in.maxExtent)
    for (float& s : stretch) s *= in.maxExtent / longest;
  return stretch;
}

void layoutHorizontal(FontLibrary& fonts, const TextInput& in, MeshWriter& writer) {
  const TextStyle& st = in.style;
  std::vector<Line> lines;
  std::vector<float> natural;
  for (const std::string& s : in.strings) {
    lines.push_back(layoutLine(fonts, st.font, s, st.leftToRight));
    natural.push_back(lines.back().width * st.size);
  }
  std::vector<float> stretch = stretches(in, natural);
  FontMetrics fm = fonts.metrics(st.font);
  float step = st.size * st.spacing * (st.topToBottom ? -1.0f : 1.0f);
  float last = step * float(lines.size() - 1);
  float top = std::max(0.0f, last) + fm.ascender * st.size;
  float bottom = std::min(0.0f, last) + fm.descender * st.size;
  float shift = 0;
  if (st.minor == Justify::Middle) shift = -(top + bottom) / 2;
  else if (st.minor == Justify::Begin) shift = st.topToBottom ? -top : -bottom;
  else if (st.minor == Justify::End) shift = st.topToBottom ? -bottom : -top;
  for (size_t i = 0; i < lines.size(); ++i) {
    float sx = st.size * stretch[i];
    float x0 = majorOffset(st.major, st.leftToRight, lines[i].width * sx);
    float y = step * float(i) + shift;
    if (i == 0) writer.setTextureOrigin({x0, y});
    for (const auto& [g, pen] : lines[i].glyphs) writer.glyph({g, x0 + pen * sx, y, sx, st.size});
  }
}

// Columns of characters one size apart, each glyph centred in its cell;
// the columns follow each other size * spacing apart.
void layoutVertical(FontLibrary& fonts, const TextInput& in, MeshWriter& writer) {
  const TextStyle& st = in.style;
  std::vector<std::vector<const Glyph*>> columns;
  std::vector<float> natural;
  for (const std::string& s : in.strings) {
    columns.emplace_back();
    for (char32_t c : decodeUtf8(s))
      if (const Glyph* g = fonts.glyph(st.font, c)) columns.back().push_back(g);
    natural.push_back(float(columns.back().size()) * st.size);
  }
  std::vector<float> stretch = stretches(in, natural);
  FontMetrics fm = fonts.metrics(st.font);
  float span = fm.ascender - fm.descender;
  float baselineInCell = span > 0 ? fm.ascender / span : 0.8f;  // from the cell's top, in sizes
  // Column I's left edge; the first column starts at x = 0 and the
  // others follow to the right, or ends there and they go to the left.
  float step = st.size * st.spacing;
  auto leftEdge = [&](size_t i) {
    return st.leftToRight ? step * float(i) : -st.size - step * float(i);
  };
  float extent = step * float(columns.size() - 1) + st.size;
  float shift = 0;  // FIRST and BEGIN
  if (st.minor == Justify::Middle) shift = (st.leftToRight ? -extent : extent) / 2;
  else if (st.minor == Justify::End) shift = st.leftToRight ? -extent : extent;
  for (size_t i = 0; i < columns.size(); ++i) {
    float cell = st.size * stretch[i], length = natural[i] * stretch[i];
    // Where the column's first cell begins, going down (or up) from there.
    float start = 0;
    if (st.major == Justify::Middle) start = st.topToBottom ? length / 2 : -length / 2;
    else if (st.major == Justify::End) start = st.topToBottom ? length : -length;
    float x = leftEdge(i) + shift;
    if (i == 0) writer.setTextureOrigin({x, start});
    for (size_t k = 0; k < columns[i].size(); ++k) {
      const Glyph* g = columns[i][k];
      float top = st.topToBottom ? start - cell * float(k) : start + cell * float(k + 1);
      float y = top - baselineInCell * cell;
      writer.glyph({g, x + (st.size - g->advance * st.size) / 2, y, st.size, cell});
    }
  }
}

}  // namespace

bool buildTextMesh(FontLibrary& fonts, const TextInput& in, Mesh& mesh, std::string* error) {
  mesh = Mesh{};
  mesh.solid = in.depth > 0;  // flat text shows from both sides
  if (in.strings.empty()) return true;
  if (!fonts.load(in.style.font, error)) return false;
  MeshWriter writer(mesh, in.style.size, in.depth);
  if (in.style.horizontal) layoutHorizontal(fonts, in, writer);
  else layoutVertical(fonts, in, writer);
  return true;
}

Mesh textMesh(const Node& text) {
  Mesh mesh;
  buildTextMesh(FontLibrary::shared(), textInputOf(text), mesh, nullptr);
  return mesh;
}

}  // namespace kestrel
