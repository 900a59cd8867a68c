#include "viewer/browser/vrml_browser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "viewer/browser/url_resolver.h"
#include "viewer/browser/writer.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    path_ = fs::temp_directory_path() /
            ("kestrel-browser-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }
  void write(const std::string& name, const std::string& text) const {
    fs::create_directories((path_ / name).parent_path());
    std::ofstream(path_ / name) << text;
  }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

constexpr const char* kObject = R"(#VRML V2.0 utf8
DEF ball Transform {
  translation 1 2 3
  children [
    DEF Xform_ball Transform { scale 2 2 2 translation 4 5 6
      children Shape { appearance Appearance { material DEF Mat_ball Material {
        diffuseColor 1 0 0 transparency 0.25 } } geometry Sphere {} } }
    DEF Script_ball Script { eventIn SFInt32 in1 eventIn SFInt32 in2
                             field SFVec3f markLocation 7 8 9 }
  ]
}
Group {}
)";

TEST(UrlResolver, MapsRenderRootFileUrlsAndRelativePaths) {
  UrlResolver r("/srv/render");
  std::string p;
  ASSERT_TRUE(r.resolve("c:/corvid/render/models/a.wrl", "/base", p));
  EXPECT_EQ(p, "/srv/render/models/a.wrl");
  ASSERT_TRUE(r.resolve("C:\\Corvid\\Render\\models\\b.wrl", "", p));
  EXPECT_EQ(p, "/srv/render/models/b.wrl");
  ASSERT_TRUE(r.resolve("sub\\c.wrl#view", "/base", p));
  EXPECT_EQ(p, "/base/sub/c.wrl");
  ASSERT_TRUE(r.resolve("file:///tmp/x%20y.wrl", "/base", p));
  EXPECT_EQ(p, "/tmp/x y.wrl");
  ASSERT_TRUE(r.resolve("file:///tmp/%00x%2", "/base", p));
  EXPECT_EQ(p, "/tmp/%00x%2");
  ASSERT_TRUE(r.resolve("file:c:/corvid/render/d.wrl", "/base", p));
  EXPECT_EQ(p, "/srv/render/d.wrl");
  ASSERT_TRUE(r.resolve("/abs/e.wrl", "/base", p));
  EXPECT_EQ(p, "/abs/e.wrl");
  EXPECT_FALSE(r.resolve("http://example.org/a.wrl", "/base", p));
  EXPECT_FALSE(r.resolve("urn:web3d:media:a", "/base", p));
  EXPECT_FALSE(r.resolve("d:/other/a.wrl", "/base", p));
  // A render-root path may not climb out of the render root.
  EXPECT_FALSE(r.resolve("c:/corvid/render/../../etc/passwd", "/base", p));
  ASSERT_TRUE(r.resolve("c:/corvid/render/a/../b.wrl", "/base", p));
  EXPECT_EQ(p, "/srv/render/b.wrl");
}

TEST(Browser, CreatedContentIsNotInTheSceneUntilAppended) {
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(kObject, content));
  SFVec3fHandle translation;
  ASSERT_TRUE(browser.field(content.firstNode(), "translation", translation));
  Vec3f v;
  ASSERT_TRUE(translation.get(v));
  EXPECT_EQ(v, (Vec3f{1, 2, 3}));
  NodeHandle node;
  EXPECT_FALSE(browser.findNode("Mat_ball", node));
  ASSERT_TRUE(browser.appendToRoot(content));
  EXPECT_FALSE(content.valid());
  EXPECT_EQ(browser.scene().rootNodes().size(), 2u);
  ASSERT_TRUE(browser.findNode("Mat_ball", node));
  SFFloatHandle transparency;
  ASSERT_TRUE(browser.field(node, "transparency", transparency));
  float t = 0;
  ASSERT_TRUE(transparency.get(t));
  EXPECT_EQ(t, 0.25f);
  ASSERT_TRUE(browser.removeAllRoots());
  EXPECT_TRUE(browser.scene().rootNodes().empty());
  EXPECT_FALSE(browser.findNode("Mat_ball", node));
  // The handle still works on the node it holds.
  EXPECT_TRUE(transparency.set(0.5f));
}

TEST(Browser, ContentWithoutNodesHasNoFirstNode) {
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString("PROTO P [] { Box {} }", content));
  EXPECT_FALSE(content.firstNode().valid());
  FieldHandle any;
  EXPECT_FALSE(browser.field(content.firstNode(), "size", any));
  EXPECT_TRUE(browser.appendToRoot(content));
  EXPECT_TRUE(browser.scene().rootNodes().empty());
}

TEST(Browser, FailedCreateReportsTheErrorAndAddsNothing) {
  CVrmlBrowser browser;
  VrmlContent content;
  EXPECT_FALSE(browser.createFromString("DEF a Transform { translation 1 2 }", content));
  EXPECT_FALSE(content.valid());
  EXPECT_EQ(browser.lastError().line, 1u);
  EXPECT_EQ(browser.lastError().message, "expected a number but found '}'");
  EXPECT_FALSE(browser.appendToRoot(content));
  NodeHandle node;
  EXPECT_FALSE(browser.findNode("a", node));
}

TEST(Browser, TypedLookupsCheckTheFieldType) {
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(kObject, content));
  ASSERT_TRUE(browser.appendToRoot(content));
  NodeHandle mat, script, ball;
  ASSERT_TRUE(browser.findNode("Mat_ball", mat));
  ASSERT_TRUE(browser.findNode("Script_ball", script));
  ASSERT_TRUE(browser.findNode("ball", ball));
  SFColorHandle color;
  SFVec3fHandle vec;
  SFFloatHandle f;
  SFInt32Handle in1, in3;
  EXPECT_TRUE(browser.field(mat, "diffuseColor", color));
  EXPECT_FALSE(browser.field(mat, "diffuseColor", vec));  // SFColor is not SFVec3f
  EXPECT_FALSE(browser.field(mat, "shine", f));
  EXPECT_TRUE(browser.field(script, "in1", in1));
  EXPECT_FALSE(browser.field(script, "in3", in3));
  EXPECT_FALSE(in3.set(4));
  EXPECT_TRUE(in1.set(4));
  SFVec3fHandle mark;
  ASSERT_TRUE(browser.field(script, "markLocation", mark));
  float y = 0;
  ASSERT_TRUE(mark.get(1, y));
  EXPECT_EQ(y, 8.0f);
  SFRotationHandle rotation;
  ASSERT_TRUE(browser.field(ball, "rotation", rotation));
  ASSERT_TRUE(rotation.set(3, 1.5f));
  float angle = 0;
  ASSERT_TRUE(rotation.get(3, angle));
  EXPECT_EQ(angle, 1.5f);
  EXPECT_FALSE(rotation.set(4, 1.0f));
  NodeHandle none;
  EXPECT_FALSE(browser.field(none, "rotation", rotation));
  EXPECT_FALSE(rotation.valid());
}

TEST(Browser, MFNodeAppendAddsContentAndItsNames) {
  CVrmlBrowser browser;
  VrmlContent group, child;
  ASSERT_TRUE(browser.createFromString("DEF grp Group {}", group));
  ASSERT_TRUE(browser.appendToRoot(group));
  NodeHandle grp;
  ASSERT_TRUE(browser.findNode("grp", grp));
  MFNodeHandle children;
  ASSERT_TRUE(browser.field(grp, "children", children));
  ASSERT_TRUE(browser.createFromString("DEF one Shape {} DEF two Shape {}", child));
  ASSERT_TRUE(children.append(child));
  EXPECT_EQ(children.size(), 2u);
  NodeHandle two;
  EXPECT_TRUE(browser.findNode("two", two));
  EXPECT_FALSE(children.append(child));  // used up
}

TEST(Browser, StringAndMFStringHandles) {
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(
      "DEF info_script Script { eventIn SFString inString }"
      "DEF Imgtexture ImageTexture { }",
      content));
  ASSERT_TRUE(browser.appendToRoot(content));
  NodeHandle script, tex;
  ASSERT_TRUE(browser.findNode("info_script", script));
  ASSERT_TRUE(browser.findNode("Imgtexture", tex));
  SFStringHandle in;
  MFStringHandle url;
  ASSERT_TRUE(browser.field(script, "inString", in));
  ASSERT_TRUE(browser.field(tex, "url", url));
  std::string s;
  EXPECT_FALSE(url.get0(s));
  ASSERT_TRUE(url.set0("a.jpg"));
  ASSERT_TRUE(url.get0(s));
  EXPECT_EQ(s, "a.jpg");
  ASSERT_TRUE(in.set("hello"));
  ASSERT_TRUE(in.get(s));
  EXPECT_EQ(s, "hello");
}

TEST(Browser, InlineLoadsRelativeToItsFileAndThroughTheRenderRoot) {
  TempDir dir;
  dir.write("root/terrain/land.wrl",
            "#VRML V2.0 utf8\nInline { url \"parts/mat.wrl\" }\n"
            "Shape { appearance Appearance { material DEF Terrain_Material Material {} } }");
  dir.write("root/terrain/parts/mat.wrl", "#VRML V2.0 utf8\nDEF Deep Material {}");
  CVrmlBrowser browser((dir.path() / "root").string());
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(
      "DEF terrain Inline { url \"C:\\\\corvid\\\\render\\\\terrain\\\\land.wrl\" }", content));
  ASSERT_TRUE(browser.appendToRoot(content));
  NodeHandle inlineNode, material, deep;
  ASSERT_TRUE(browser.findNode("terrain", inlineNode));
  ASSERT_TRUE(browser.findInlineNode(inlineNode, "Terrain_Material", material));
  SFFloatHandle transparency;
  EXPECT_TRUE(browser.field(material, "transparency", transparency));
  // Names inside an Inline are not names of the scene.
  EXPECT_FALSE(browser.findNode("Terrain_Material", material));
  // The nested Inline resolved against land.wrl's own directory.
  const NodePtr inner = inlineNode.node()->extras().inlineScene->rootNodes()[0];
  ASSERT_TRUE(inner->extras().inlineScene);
  EXPECT_EQ(inner->extras().inlineScene->names.count("Deep"), 1u);
  // A node that is not an Inline has no inline scene.
  EXPECT_FALSE(browser.findInlineNode(material, "Deep", deep));
}

TEST(Browser, MissingInlineLeavesItEmptyWithOneLogLine) {
  TempDir dir;
  openLogIn(dir.path().string());
  CVrmlBrowser browser(dir.path().string());
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(
      "DEF terrain Inline { url \"c:/corvid/render/none.wrl\" } DEF after Group {}", content));
  ASSERT_TRUE(browser.appendToRoot(content));
  NodeHandle node;
  ASSERT_TRUE(browser.findNode("terrain", node));
  EXPECT_FALSE(node.node()->extras().inlineScene);
  EXPECT_TRUE(browser.findNode("after", node));
  std::ifstream log(dir.path() / "kestrel.log");
  std::string line, all;
  int lines = 0;
  while (std::getline(log, line)) {
    ++lines;
    all += line;
  }
  EXPECT_EQ(lines, 1);
  EXPECT_NE(all.find("none.wrl"), std::string::npos);
  openLogIn("");
}

TEST(Browser, AnInlineThatIncludesItselfStops) {
  TempDir dir;
  dir.write("loop.wrl", "#VRML V2.0 utf8\nInline { url \"loop.wrl\" } Inline { url \"loop.wrl\" }");
  openLogIn(dir.path().string());
  CVrmlBrowser browser(dir.path().string());
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString("Inline { url \"c:/corvid/render/loop.wrl\" }", content));
  EXPECT_TRUE(browser.appendToRoot(content));
  openLogIn("");
}

TEST(Events, SettingAFieldSendsItAlongRoutesOncePerTimestamp) {
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(R"(
    DEF A Transform {} DEF B Transform {} DEF C Transform {}
    ROUTE A.translation_changed TO B.set_translation
    ROUTE B.translation_changed TO C.set_translation
    ROUTE C.translation_changed TO A.set_translation)",
                                       content));
  ASSERT_TRUE(browser.appendToRoot(content));
  NodeHandle a, c;
  ASSERT_TRUE(browser.findNode("A", a));
  ASSERT_TRUE(browser.findNode("C", c));
  SFVec3fHandle ta, tc;
  ASSERT_TRUE(browser.field(a, "translation", ta));
  ASSERT_TRUE(browser.field(c, "translation", tc));
  ASSERT_TRUE(ta.set(Vec3f{1, 2, 3}));  // the loop ends where it began
  Vec3f v;
  ASSERT_TRUE(tc.get(v));
  EXPECT_EQ(v, (Vec3f{1, 2, 3}));
  ASSERT_TRUE(ta.set(Vec3f{4, 5, 6}));  // a second set in the same tick still counts
  ASSERT_TRUE(tc.get(v));
  EXPECT_EQ(v, (Vec3f{4, 5, 6}));
}

TEST(Events, EventsCrossIntoProtoBodiesAndScriptsStoreThem) {
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(R"(
    PROTO Icon [ eventIn SFVec3f set_position ] { DEF Location Transform { translation IS set_position } }
    DEF icon Icon {}
    DEF mover Transform {}
    DEF S Script { eventIn SFVec3f seen }
    ROUTE mover.translation_changed TO icon.set_position
    ROUTE mover.translation_changed TO S.seen)",
                                       content));
  ASSERT_TRUE(browser.appendToRoot(content));
  NodeHandle mover, icon, s;
  ASSERT_TRUE(browser.findNode("mover", mover));
  ASSERT_TRUE(browser.findNode("icon", icon));
  ASSERT_TRUE(browser.findNode("S", s));
  SFVec3fHandle t;
  ASSERT_TRUE(browser.field(mover, "translation", t));
  ASSERT_TRUE(t.set(Vec3f{0, 3, 0}));
  const NodePtr& body = icon.node()->extras().protoBody[0];
  EXPECT_EQ(*body->field("translation")->as<Vec3f>(), (Vec3f{0, 3, 0}));
  EXPECT_EQ(*s.node()->field("seen")->as<Vec3f>(), (Vec3f{0, 3, 0}));
}

TEST(Events, TimeSensorDrivesInterpolatorsFromTheBrowserClock) {
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(R"(
    DEF T TimeSensor { cycleInterval 2 loop TRUE startTime 10 }
    DEF P PositionInterpolator { key [0 0.5 1] keyValue [0 0 0, 0 10 0, 0 0 0] }
    DEF O OrientationInterpolator { key [0 1] keyValue [0 1 0 0, 0 1 0 3] }
    DEF X Transform {}
    ROUTE T.fraction_changed TO P.set_fraction
    ROUTE T.fraction_changed TO O.set_fraction
    ROUTE P.value_changed TO X.set_translation
    ROUTE O.value_changed TO X.set_rotation)",
                                       content));
  ASSERT_TRUE(browser.appendToRoot(content));
  NodeHandle x, t;
  ASSERT_TRUE(browser.findNode("X", x));
  ASSERT_TRUE(browser.findNode("T", t));
  SFVec3fHandle translation;
  SFRotationHandle rotation;
  ASSERT_TRUE(browser.field(x, "translation", translation));
  ASSERT_TRUE(browser.field(x, "rotation", rotation));
  Vec3f v;
  browser.advanceTime(5);  // before startTime: nothing moves
  ASSERT_TRUE(translation.get(v));
  EXPECT_EQ(v, (Vec3f{0, 0, 0}));
  EXPECT_FALSE(*t.node()->field("isActive")->as<bool>());
  browser.advanceTime(10.5);  // a quarter of the cycle
  ASSERT_TRUE(translation.get(v));
  EXPECT_FLOAT_EQ(v.y, 5.0f);
  EXPECT_TRUE(*t.node()->field("isActive")->as<bool>());
  Rotation r;
  ASSERT_TRUE(rotation.get(r));
  EXPECT_NEAR(r.angle, 0.75f, 1e-4);
  EXPECT_NEAR(r.y, 1.0f, 1e-4);
  browser.advanceTime(13);  // the second cycle, halfway
  ASSERT_TRUE(translation.get(v));
  EXPECT_FLOAT_EQ(v.y, 10.0f);
  EXPECT_EQ(*t.node()->field("cycleTime")->as<double>(), 13.0);
  browser.advanceTime(12);  // the clock never goes back
  EXPECT_EQ(browser.now(), 13.0);
}

TEST(Events, NonLoopingSensorEndsWithFractionOne) {
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(R"(
    DEF T TimeSensor { cycleInterval 1 startTime 1 }
    DEF S ScalarInterpolator { key [0 1] keyValue [0 100] }
    DEF M Material {}
    ROUTE T.fraction_changed TO S.set_fraction
    ROUTE S.value_changed TO M.set_shininess)",
                                       content));
  ASSERT_TRUE(browser.appendToRoot(content));
  NodeHandle m, t;
  ASSERT_TRUE(browser.findNode("M", m));
  ASSERT_TRUE(browser.findNode("T", t));
  browser.advanceTime(1.25);
  EXPECT_FLOAT_EQ(*m.node()->field("shininess")->as<float>(), 25.0f);
  browser.advanceTime(3);
  EXPECT_FLOAT_EQ(*m.node()->field("shininess")->as<float>(), 100.0f);
  EXPECT_FALSE(*t.node()->field("isActive")->as<bool>());
  browser.advanceTime(4);  // stays finished
  EXPECT_FALSE(*t.node()->field("isActive")->as<bool>());
}

TEST(Browser, WrittenSceneHoldsAppendedContent) {
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString("DEF a Transform { translation 1 0 0 }", content));
  ASSERT_TRUE(browser.appendToRoot(content));
  std::string text = writeScene(browser.scene()).text;
  EXPECT_EQ(text, "#VRML V2.0 utf8\n\nDEF a Transform {\n  translation 1 0 0\n}\n");
}

}  // namespace
}  // namespace kestrel
