// Text laid out with the system's DejaVu fonts (fonts-dejavu-core).
#include "viewer/browser/render/core/text_mesh.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "viewer/browser/render/core/math3d.h"
#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/tessellate.h"
#include "viewer/browser/render/core/test_scene.h"

namespace kestrel {
namespace {

struct Box {
  Vec3f lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
};

Box boxOf(const Mesh& m) {
  Box b;
  m.bounds(b.lo, b.hi);
  return b;
}

Mesh meshOf(const TextInput& in) {
  Mesh m;
  std::string error;
  EXPECT_TRUE(buildTextMesh(FontLibrary::shared(), in, m, &error)) << error;
  return m;
}

TextInput text(std::vector<std::string> strings) {
  TextInput in;
  in.strings = std::move(strings);
  return in;
}

// Whether (X, Y) lies strictly inside a front-facing triangle of M.
bool frontCovers(const Mesh& m, float x, float y) {
  auto side = [](Vec3f a, Vec3f b, float px, float py) {
    return (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x);
  };
  for (size_t i = 0; i + 2 < m.positions.size(); i += 3) {
    if (m.normals[i].z < 0.99f) continue;
    Vec3f a = m.positions[i], b = m.positions[i + 1], c = m.positions[i + 2];
    if (side(a, b, x, y) > 0 && side(b, c, x, y) > 0 && side(c, a, x, y) > 0) return true;
  }
  return false;
}

TEST(TextMesh, LetterATrianglesLieInsideItsOutlineBox) {
  const Glyph* g = nullptr;
  ASSERT_TRUE(FontLibrary::shared().load({}, nullptr));
  g = FontLibrary::shared().glyph({}, U'A');
  ASSERT_NE(g, nullptr);
  ASSERT_FALSE(g->shape.rings.empty());
  float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
  for (const auto& r : g->shape.rings)
    for (Vec2f v : r) x0 = std::min(x0, v.x), y0 = std::min(y0, v.y), x1 = std::max(x1, v.x), y1 = std::max(y1, v.y);
  TextInput in = text({"A"});
  in.style.size = 2;
  Mesh m = meshOf(in);
  ASSERT_GT(m.vertexCount(), 9u);
  EXPECT_EQ(m.vertexCount() % 3, 0u);
  EXPECT_FALSE(m.solid);
  for (const Vec3f& p : m.positions) {
    EXPECT_GE(p.x, 2 * x0 - 1e-4f);
    EXPECT_LE(p.x, 2 * x1 + 1e-4f);
    EXPECT_GE(p.y, 2 * y0 - 1e-4f);
    EXPECT_LE(p.y, 2 * y1 + 1e-4f);
    EXPECT_EQ(p.z, 0);
  }
  // A capital stands on the baseline and is about three quarters of the size high.
  EXPECT_NEAR(y0, 0, 0.01);
  EXPECT_GT(y1, 0.6f);
  EXPECT_LT(y1, 0.85f);
  EXPECT_FALSE(frontCovers(m, (x0 + x1), 2 * y1 * 0.45f));  // the counter of the A
  EXPECT_TRUE(frontCovers(m, (x0 + x1), 2 * y1 * 0.99f));   // its apex
}

TEST(TextMesh, HoleOfOHasNoTriangleOverItsCentre) {
  for (FontFamily f : {FontFamily::Serif, FontFamily::Sans, FontFamily::Typewriter}) {
    TextInput in = text({"O"});
    in.style.font.family = f;
    Mesh m = meshOf(in);
    Box b = boxOf(m);
    float cx = (b.lo.x + b.hi.x) / 2, cy = (b.lo.y + b.hi.y) / 2;
    EXPECT_FALSE(frontCovers(m, cx, cy));
    // The ring itself is filled: just inside the left edge.
    EXPECT_TRUE(frontCovers(m, b.lo.x + (b.hi.x - b.lo.x) * 0.04f, cy));
  }
}

TEST(TextMesh, MiddleCentresEachLineAndEndEndsIt) {
  TextInput in = text({"Kestrel"});
  in.style.major = Justify::Middle;
  Box mid = boxOf(meshOf(in));
  EXPECT_NEAR(mid.lo.x + mid.hi.x, 0, 0.1);
  EXPECT_LT(mid.lo.x, -1);
  in.style.major = Justify::End;
  Box end = boxOf(meshOf(in));
  EXPECT_LT(end.hi.x, 0.05);
  EXPECT_GT(end.hi.x, -0.2);
  in.style.major = Justify::Begin;
  Box begin = boxOf(meshOf(in));
  EXPECT_GT(begin.lo.x, -0.05);
  EXPECT_LT(begin.lo.x, 0.2);
}

TEST(TextMesh, SecondStringGoesOneLineDown) {
  TextInput one = text({"H"}), two = text({"H", "H"});
  one.style.spacing = two.style.spacing = 1.5f;
  one.style.size = two.style.size = 2;
  Box a = boxOf(meshOf(one)), b = boxOf(meshOf(two));
  EXPECT_NEAR(b.hi.y, a.hi.y, 1e-4);
  EXPECT_NEAR(b.lo.y, a.lo.y - 3, 1e-3);
  two.style.topToBottom = false;
  Box up = boxOf(meshOf(two));
  EXPECT_NEAR(up.hi.y, a.hi.y + 3, 1e-3);
}

TEST(TextMesh, MinorJustifyMovesTheBlock) {
  TextInput in = text({"H", "H"});
  in.style.minor = Justify::Begin;
  EXPECT_LE(boxOf(meshOf(in)).hi.y, 1e-4);
  in.style.minor = Justify::End;
  EXPECT_GE(boxOf(meshOf(in)).lo.y, -1e-4);
  in.style.minor = Justify::Middle;
  Box mid = boxOf(meshOf(in));
  EXPECT_LT(mid.lo.y, 0);
  EXPECT_GT(mid.hi.y, 0);
}

TEST(TextMesh, Text3DHasDepthWithBackAndSides) {
  TextInput in = text({"O"});
  in.depth = 0.25f;
  Mesh m = meshOf(in);
  EXPECT_TRUE(m.solid);
  Box b = boxOf(m);
  EXPECT_NEAR(b.lo.z, -0.25f, 1e-6);
  EXPECT_NEAR(b.hi.z, 0, 1e-6);
  int front = 0, back = 0, side = 0;
  for (const Vec3f& n : m.normals) {
    if (n.z > 0.99f) ++front;
    else if (n.z < -0.99f) ++back;
    else if (std::abs(n.z) < 1e-6f && std::abs(length(n) - 1) < 1e-4f) ++side;
  }
  EXPECT_GT(front, 0);
  EXPECT_EQ(front, back);
  EXPECT_GT(side, 0);
  EXPECT_EQ(size_t(front + back + side), m.vertexCount());
  // The outer wall of the O faces away from its centre.
  float cx = (b.lo.x + b.hi.x) / 2;
  for (size_t i = 0; i < m.vertexCount(); ++i)
    if (m.positions[i].x == b.lo.x && std::abs(m.normals[i].z) < 1e-6f) {
      EXPECT_LT(m.normals[i].x, 0);
    }
  EXPECT_LT(b.lo.x, cx);
}

TEST(TextMesh, EmptyStringsGiveAnEmptyMesh) {
  EXPECT_TRUE(meshOf(text({})).empty());
  EXPECT_TRUE(meshOf(text({""})).empty());
  EXPECT_TRUE(meshOf(text({"   "})).empty());
}

TEST(TextMesh, MissingFontGivesAnErrorValue) {
  FontLibrary none([](const FontKey&, std::string&) { return false; });
  Mesh m;
  std::string error;
  EXPECT_FALSE(buildTextMesh(none, text({"A"}), m, &error));
  EXPECT_TRUE(m.empty());
  EXPECT_NE(error.find("no font file found"), std::string::npos) << error;
  EXPECT_EQ(none.glyph({}, U'A'), nullptr);
  EXPECT_EQ(none.failures(), std::vector<std::string>{error});
  EXPECT_TRUE(FontLibrary::shared().failures().empty());

  auto bogus = std::filesystem::temp_directory_path() / "kestrel_not_a_font.ttf";
  std::ofstream(bogus) << "this is not a font";
  FontLibrary broken([&](const FontKey&, std::string& path) {
    path = bogus.string();
    return true;
  });
  error.clear();
  EXPECT_FALSE(buildTextMesh(broken, text({"A"}), m, &error));
  EXPECT_NE(error.find("cannot read outline font"), std::string::npos) << error;
  std::filesystem::remove(bogus);
}

TEST(TextMesh, GlyphsAreCachedPerFontAndCharacter) {
  FontLibrary& fonts = FontLibrary::shared();
  FontKey sans{FontFamily::Sans, false, false}, bold{FontFamily::Sans, true, false};
  ASSERT_TRUE(fonts.load(sans, nullptr));
  ASSERT_TRUE(fonts.load(bold, nullptr));
  const Glyph* a = fonts.glyph(sans, U'g');
  EXPECT_EQ(fonts.glyph(sans, U'g'), a);
  EXPECT_NE(fonts.glyph(bold, U'g'), a);
  EXPECT_GT(fonts.glyph(bold, U'g')->advance, a->advance);
}

TEST(TextMesh, TypewriterGivesEveryCharacterTheSameAdvance) {
  FontLibrary& fonts = FontLibrary::shared();
  FontKey mono{FontFamily::Typewriter, false, false};
  ASSERT_TRUE(fonts.load(mono, nullptr));
  EXPECT_FLOAT_EQ(fonts.glyph(mono, U'i')->advance, fonts.glyph(mono, U'm')->advance);
}

TEST(TextMesh, LengthAndMaxExtentSqueezeLines) {
  TextInput in = text({"Kestrel", "K"});
  in.length = {2};
  Box b = boxOf(meshOf(in));
  EXPECT_NEAR(b.hi.x, 2, 0.15);
  in.length.clear();
  in.maxExtent = 1;
  EXPECT_LE(boxOf(meshOf(in)).hi.x, 1.0001f);
}

TEST(TextMesh, NodesOfAParsedSceneTessellate) {
  Scene scene = parseScene(
      "Shape { geometry Text3D { string [\"Hi\" \"there\"] depth 0.5"
      " fontStyle FontStyle { family \"SANS\" justify \"MIDDLE\" size 3 } } }"
      "Shape { geometry Text { string \"Hi\" } }");
  ASSERT_EQ(scene.rootNodes().size(), 2u);
  Mesh deep = tessellate(*nodeOf(*scene.rootNodes()[0], "geometry"));
  Mesh flat = tessellate(*nodeOf(*scene.rootNodes()[1], "geometry"));
  Box d = boxOf(deep), f = boxOf(flat);
  EXPECT_NEAR(d.lo.z, -0.5f, 1e-5);
  EXPECT_NEAR(d.lo.x + d.hi.x, 0, 0.5);
  EXPECT_LT(d.lo.y, -2.5f);  // "there" lies one line (3 units) down
  EXPECT_NEAR(f.lo.z, 0, 1e-6);
  EXPECT_GT(f.lo.x, -0.01f);
  EXPECT_GT(d.hi.y - d.lo.y, 2 * (f.hi.y - f.lo.y));
}

TEST(TextMesh, Utf8DecodesAndReplacesMalformedBytes) {
  EXPECT_EQ(decodeUtf8("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), U"a\u00E9\u20AC\U0001F600");
  EXPECT_EQ(decodeUtf8("\xC3"), U"\uFFFD");
  EXPECT_EQ(decodeUtf8("\xC0\xAF" "b"), U"\uFFFD\uFFFDb");
  EXPECT_EQ(decodeUtf8("\xED\xA0\x80"), U"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(decodeUtf8(""), U"");
}

}  // namespace
}  // namespace kestrel

namespace kestrel {
namespace {

// Every printable Latin character of every family fills exactly the area
// its outline encloses: no triangle outside, none doubled, no gap.
TEST(TextMesh, EveryLatinGlyphFillsItsOutlineArea) {
  FontLibrary& fonts = FontLibrary::shared();
  int checked = 0;
  for (FontFamily f : {FontFamily::Serif, FontFamily::Sans, FontFamily::Typewriter})
    for (bool bold : {false, true}) {
      FontKey key{f, bold, false};
      ASSERT_TRUE(fonts.load(key, nullptr));
      for (char32_t c = 0x21; c < 0x250; ++c) {
        if (c >= 0x7F && c < 0xA1) continue;
        const Glyph* g = fonts.glyph(key, c);
        ASSERT_NE(g, nullptr);
        double outline = 0, filled = 0;
        for (const auto& r : g->shape.rings)
          for (size_t i = 0; i < r.size(); ++i) {
            Vec2f a = r[i], b = r[(i + 1) % r.size()];
            outline += (double(a.x) * b.y - double(b.x) * a.y) / 2;
          }
        const auto& p = g->shape.points;
        const auto& t = g->shape.triangles;
        for (size_t i = 0; i + 2 < t.size(); i += 3) {
          Vec2f a = p[size_t(t[i])], b = p[size_t(t[i + 1])], d = p[size_t(t[i + 2])];
          double area = ((b.x - a.x) * double(d.y - a.y) - (b.y - a.y) * double(d.x - a.x)) / 2;
          EXPECT_GE(area, -1e-9) << "U+" << std::hex << unsigned(c);
          filled += area;
        }
        EXPECT_NEAR(filled, outline, 1e-4 + outline * 1e-3)
            << "U+" << std::hex << unsigned(c) << " family " << int(f) << " bold " << bold;
        ++checked;
      }
    }
  EXPECT_GT(checked, 2000);
}

}  // namespace
}  // namespace kestrel

namespace kestrel {
namespace {

Box boxOfText(TextInput in) {
  Mesh m;
  EXPECT_TRUE(buildTextMesh(FontLibrary::shared(), in, m, nullptr));
  return boxOf(m);
}

TEST(TextMesh, VerticalTextRunsDownInColumnsToTheRight) {
  TextInput one = text({"H"}), col = text({"HHH"}), two = text({"HHH", "H"});
  for (TextInput* in : {&one, &col, &two}) {
    in->style.horizontal = false;
    in->style.size = 2;
  }
  Box a = boxOfText(one), c = boxOfText(col), t = boxOfText(two);
  EXPECT_LE(a.hi.y, 1e-4);  // the first cell hangs below y = 0
  EXPECT_GT(a.lo.x, 0);
  EXPECT_LT(a.hi.x, 2);
  EXPECT_NEAR(c.lo.y, a.lo.y - 4, 1e-3);  // two more cells of size 2
  EXPECT_NEAR(c.hi.x, a.hi.x, 1e-4);
  EXPECT_NEAR(t.hi.x, a.hi.x + 2, 1e-3);  // the second column one size to the right
  two.style.leftToRight = false;
  Box rtl = boxOfText(two);  // the first column ends at x = 0, the second left of it
  EXPECT_NEAR(rtl.hi.x, a.hi.x - 2, 1e-3);
  EXPECT_NEAR(rtl.lo.x, a.lo.x - 4, 1e-3);
  col.style.topToBottom = false;
  Box up = boxOfText(col);
  EXPECT_GE(up.lo.y, -1e-4);
  EXPECT_NEAR(up.hi.y - up.lo.y, c.hi.y - c.lo.y, 1e-3);
  col.style.topToBottom = true;
  col.style.major = Justify::Middle;
  Box mid = boxOfText(col);
  EXPECT_NEAR(mid.lo.y + mid.hi.y, 0, 0.6);
  col.length = {3};
  Box squeezed = boxOfText(col);
  EXPECT_LT(squeezed.hi.y - squeezed.lo.y, 3);
}

TEST(TextMesh, FontStyleNodeIsRead) {
  Scene scene = parseScene(
      "Text { string \"x\" maxExtent 4 length [2 -1] fontStyle FontStyle { family [\"FANCY\" "
      "\"TYPEWRITER\"] style \"BOLDITALIC\" size 3 spacing 2 justify [\"END\" \"BEGIN\"]"
      " horizontal FALSE leftToRight FALSE topToBottom FALSE } }"
      "Text3D { string \"y\" depth -1 fontStyle FontStyle { size -2 justify \"FIRST\" } }");
  TextInput a = textInputOf(*scene.rootNodes()[0]), b = textInputOf(*scene.rootNodes()[1]);
  EXPECT_EQ(a.style.font, (FontKey{FontFamily::Typewriter, true, true}));
  EXPECT_EQ(a.style.size, 3);
  EXPECT_EQ(a.style.spacing, 2);
  EXPECT_EQ(a.style.major, Justify::End);
  EXPECT_EQ(a.style.minor, Justify::Begin);
  EXPECT_FALSE(a.style.horizontal || a.style.leftToRight || a.style.topToBottom);
  EXPECT_EQ(a.maxExtent, 4);
  EXPECT_EQ(a.length, (std::vector<float>{2, -1}));
  EXPECT_EQ(a.depth, 0);
  EXPECT_EQ(b.depth, 0);          // a negative depth is no depth
  EXPECT_EQ(b.style.size, 1);     // nor is a negative size a size
  EXPECT_EQ(b.style.major, Justify::Begin);
  EXPECT_EQ(b.style.font, FontKey{});
}

}  // namespace
}  // namespace kestrel

namespace kestrel {
namespace {

TEST(TextMesh, TextureStartsAtTheFirstStringsOriginOneUnitPerSize) {
  TextInput in = text({"HI"});
  in.style.size = 2;
  Mesh begin = meshOf(in);
  in.style.major = Justify::Middle;
  Mesh middle = meshOf(in);
  ASSERT_EQ(begin.vertexCount(), middle.vertexCount());
  for (size_t i = 0; i < begin.vertexCount(); ++i) {
    EXPECT_NEAR(begin.texCoords[i].x, begin.positions[i].x / 2, 1e-5);
    EXPECT_NEAR(begin.texCoords[i].y, begin.positions[i].y / 2, 1e-5);
    EXPECT_NEAR(middle.texCoords[i].x, begin.texCoords[i].x, 1e-5);
    EXPECT_NEAR(middle.texCoords[i].y, begin.texCoords[i].y, 1e-5);
  }
}

}  // namespace
}  // namespace kestrel
