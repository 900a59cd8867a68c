// Laying glyphs out into lines and turning them into faces (and, for
// extruded text, a back and side walls).
#include "viewer/browser/render/text_mesh.h"

#include <algorithm>
#include <cmath>

#include "viewer/browser/render/math3d.h"

namespace kestrel {
namespace {

struct Placed {
  const Glyph* glyph;
  float x, y;  // origin in the text's plane
  float sx;    // horizontal scale (size times the line's stretch)
};

class MeshWriter {
 public:
  MeshWriter(Mesh& mesh, float size, float depth) : m_(mesh), size_(size), depth_(depth) {}

  void glyph(const Placed& p) {
    const FilledShape& s = p.glyph->shape;
    auto at = [&](Vec2f v) { return Vec2f{p.x + v.x * p.sx, p.y + v.y * size_}; };
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

  void vertex(Vec2f p, float z, Vec3f n) {
    m_.positions.push_back({p.x, p.y, z});
    m_.normals.push_back(n);
    m_.texCoords.push_back({p.x / size_, p.y / size_});
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

}  // namespace

bool buildTextMesh(FontLibrary& fonts, const TextInput& in, Mesh& mesh, std::string* error) {
  mesh = Mesh{};
  mesh.solid = in.depth > 0;  // flat text shows from both sides
  if (in.strings.empty()) return true;
  const TextStyle& st = in.style;
  if (!fonts.load(st.font, error)) return false;
  std::vector<Line> lines;
  std::vector<float> stretch;
  float widest = 0;
  for (size_t i = 0; i < in.strings.size(); ++i) {
    lines.push_back(layoutLine(fonts, st.font, in.strings[i], st.leftToRight));
    float w = lines.back().width * st.size, s = 1;
    if (i < in.length.size() && std::isfinite(in.length[i]) && in.length[i] > 0 && w > 0)
      s = in.length[i] / w;
    stretch.push_back(s);
    widest = std::max(widest, w * s);
  }
  if (in.maxExtent > 0 && widest > in.maxExtent)
    for (float& s : stretch) s *= in.maxExtent / widest;
  FontMetrics fm = fonts.metrics(st.font);
  float step = st.size * st.spacing * (st.topToBottom ? -1.0f : 1.0f);
  float last = step * float(lines.size() - 1);
  float top = std::max(0.0f, last) + fm.ascender * st.size;
  float bottom = std::min(0.0f, last) + fm.descender * st.size;
  float shift = 0;
  if (st.minor == Justify::Middle) shift = -(top + bottom) / 2;
  else if (st.minor == Justify::Begin) shift = st.topToBottom ? -top : -bottom;
  else if (st.minor == Justify::End) shift = st.topToBottom ? -bottom : -top;
  MeshWriter writer(mesh, st.size, in.depth);
  for (size_t i = 0; i < lines.size(); ++i) {
    float sx = st.size * stretch[i];
    float x0 = majorOffset(st.major, st.leftToRight, lines[i].width * sx);
    float y = step * float(i) + shift;
    for (const auto& [g, pen] : lines[i].glyphs) writer.glyph({g, x0 + pen * sx, y, sx});
  }
  return true;
}

Mesh textMesh(const Node& text) {
  Mesh mesh;
  buildTextMesh(FontLibrary::shared(), textInputOf(text), mesh, nullptr);
  return mesh;
}

}  // namespace kestrel
