// The live scene with real files: corpus scenes whose Inlines exist or are
// missing, loading limits, and the event behaviour of grouping nodes and
// the list interpolators.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "viewer/browser/file_input.h"
#include "viewer/browser/url_resolver.h"
#include "viewer/browser/vrml_browser.h"
#include "viewer/browser/world_clock.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

fs::path corpus(const char* name) {
  const char* src = std::getenv("KESTREL_SOURCE_DIR");
  return fs::path(src ? src : ".") / "testing" / "corpus" / "vrml" / name;
}

class LogDir {
 public:
  LogDir() : path_(fs::temp_directory_path() / ("kestrel-world-" + std::to_string(::getpid()))) {
    fs::create_directories(path_);
    openLogIn(path_.string());
  }
  ~LogDir() {
    openLogIn("");
    fs::remove_all(path_);
  }
  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    std::ifstream in(path_ / "kestrel.log");
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

TEST(World, CorpusInlineLoadsItsNeighbourFile) {
  LogDir log;
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromFile(corpus("bradenmcd__openvrml__Inline.wrl").string(), content))
      << browser.lastError().text();
  ASSERT_TRUE(browser.appendToRoot(content));
  int loaded = 0;
  for (const NodePtr& n : browser.scene().rootNodes()) {
    if (n->type->name == "Inline" && n->extras().inlineScene) {
      ++loaded;
      EXPECT_FALSE(n->extras().inlineScene->rootNodes().empty());
    }
  }
  EXPECT_EQ(loaded, 1);
  EXPECT_TRUE(log.lines().empty());
}

TEST(World, CorpusSceneWithMissingInlinesStillLoads) {
  LogDir log;
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromFile(corpus("Floppy__web3dguide__tut38.wrl").string(), content))
      << browser.lastError().text();
  ASSERT_TRUE(browser.appendToRoot(content));
  EXPECT_FALSE(browser.scene().rootNodes().empty());
  auto lines = log.lines();
  EXPECT_EQ(lines.size(), 3u);  // one per missing LOD level
  for (const std::string& l : lines) EXPECT_NE(l.find("lump_"), std::string::npos) << l;
}

TEST(World, CorpusAnimationRunsFromTheClock) {
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromFile(
      corpus("castle-engine__demo-models__orientation_interpolator_alum_box.wrl").string(),
      content));
  ASSERT_TRUE(browser.appendToRoot(content));
  // Every Transform rotation at the start, then after some time.
  auto rotations = [&browser]() {
    std::vector<Rotation> out;
    for (const NodePtr& n : browser.scene().rootNodes()) {
      forEachNode({n}, [&out](const NodePtr& m) {
        if (m->type->name == "Transform") out.push_back(*m->field("rotation")->as<Rotation>());
      });
    }
    return out;
  };
  browser.advanceTime(100.0);
  auto before = rotations();
  browser.advanceTime(100.3);
  auto after = rotations();
  EXPECT_NE(before, after);
}

TEST(World, GzipAndOversizedInputAreNotRead) {
  LogDir log;
  std::ofstream(log.path() / "packed.wrl", std::ios::binary) << "\x1f\x8b\x08rest";
  UrlResolver resolver(log.path().string());
  std::string text, dir;
  EXPECT_FALSE(resolver.load("c:/corvid/render/packed.wrl", "", text, dir));
  std::ofstream(log.path() / "plain.wrl") << "#VRML V2.0 utf8\n";
  ASSERT_TRUE(resolver.load("c:/corvid/render/plain.wrl", "", text, dir));
  EXPECT_EQ(dir, log.path().string());
}

TEST(World, InlinesAndExternProtosNamingFifosDevicesOrHugeFilesAreMissing) {
  LogDir log;
  const fs::path dir = log.path();
  ASSERT_EQ(::mkfifo((dir / "pipe.wrl").c_str(), 0600), 0);
  std::ofstream(dir / "huge.wrl").close();
  fs::resize_file(dir / "huge.wrl", kMaxSceneFileBytes + 1);  // sparse
  std::ofstream(dir / "main.wrl") << "#VRML V2.0 utf8\n"
                                     "EXTERNPROTO Far [] \"pipe.wrl\"\n"
                                     "Inline { url \"pipe.wrl\" }\n"
                                     "Inline { url \"/dev/zero\" }\n"
                                     "Inline { url \"huge.wrl\" }\n"
                                     "DEF Here Shape { geometry Box {} }\n";
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromFile((dir / "main.wrl").string(), content))
      << browser.lastError().text();
  ASSERT_TRUE(browser.appendToRoot(content));
  NodeHandle here;
  EXPECT_TRUE(browser.findNode("Here", here));
  int inlines = 0;
  for (const NodePtr& n : browser.scene().rootNodes()) {
    if (n->type->name != "Inline") continue;
    ++inlines;
    EXPECT_EQ(n->extras().inlineScene, nullptr);
  }
  EXPECT_EQ(inlines, 3);
  const std::vector<std::string> lines = log.lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines[0].find("EXTERNPROTO not found:"), std::string::npos) << lines[0];
  for (size_t i = 1; i < 4; ++i)
    EXPECT_NE(lines[i].find("Inline file not found:"), std::string::npos) << lines[i];
  EXPECT_NE(lines[3].find("huge.wrl"), std::string::npos) << lines[3];

  // The scene file itself is read the same way.
  EXPECT_FALSE(browser.createFromFile((dir / "pipe.wrl").string(), content));
  EXPECT_NE(browser.lastError().text().find("not a regular file"), std::string::npos);
  EXPECT_FALSE(browser.createFromFile((dir / "huge.wrl").string(), content));
  EXPECT_NE(browser.lastError().text().find("larger than the 256 MiB limit"), std::string::npos)
      << browser.lastError().text();
}

TEST(World, AddAndRemoveChildrenEvents) {
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(
      "DEF G Group { children [ DEF A Shape {} ] } DEF B Shape {}", content));
  ASSERT_TRUE(browser.appendToRoot(content));
  NodeHandle g, a, b;
  ASSERT_TRUE(browser.findNode("G", g));
  ASSERT_TRUE(browser.findNode("A", a));
  ASSERT_TRUE(browser.findNode("B", b));
  FieldHandle add, remove;
  ASSERT_TRUE(browser.field(g, "addChildren", add));
  ASSERT_TRUE(browser.field(g, "removeChildren", remove));
  ASSERT_TRUE(add.set({FieldType::MFNode, std::vector<NodePtr>{b.node(), a.node()}}));
  const auto& children = *g.node()->field("children")->as<std::vector<NodePtr>>();
  ASSERT_EQ(children.size(), 2u);  // A was there already
  EXPECT_EQ(children[1], b.node());
  ASSERT_TRUE(remove.set({FieldType::MFNode, std::vector<NodePtr>{a.node()}}));
  ASSERT_EQ(g.node()->field("children")->as<std::vector<NodePtr>>()->size(), 1u);
  EXPECT_FALSE(add.set({FieldType::SFNode, NodePtr{}}));  // wrong type
}

TEST(World, CoordinateAndColorInterpolators) {
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(R"(
    DEF CI CoordinateInterpolator { key [0 1] keyValue [0 0 0, 2 2 2, 10 0 0, 12 2 2] }
    DEF C Coordinate {}
    DEF K ColorInterpolator { key [0 1] keyValue [1 0 0, 0 0 1] }
    DEF M Material {}
    ROUTE CI.value_changed TO C.set_point
    ROUTE K.value_changed TO M.set_diffuseColor)",
                                       content));
  ASSERT_TRUE(browser.appendToRoot(content));
  NodeHandle ci, c, k, m;
  ASSERT_TRUE(browser.findNode("CI", ci));
  ASSERT_TRUE(browser.findNode("C", c));
  ASSERT_TRUE(browser.findNode("K", k));
  ASSERT_TRUE(browser.findNode("M", m));
  SFFloatHandle f1, f2;
  ASSERT_TRUE(browser.field(ci, "set_fraction", f1));
  ASSERT_TRUE(browser.field(k, "set_fraction", f2));
  ASSERT_TRUE(f1.set(0.5f));
  const auto& points = *c.node()->field("point")->as<std::vector<Vec3f>>();
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0], (Vec3f{5, 0, 0}));
  EXPECT_EQ(points[1], (Vec3f{7, 2, 2}));
  ASSERT_TRUE(f2.set(0.25f));
  EXPECT_EQ(*m.node()->field("diffuseColor")->as<Vec3f>(), (Vec3f{0.75f, 0, 0.25f}));
  ASSERT_TRUE(f2.set(-3.0f));  // clamps to the first key
  EXPECT_EQ(*m.node()->field("diffuseColor")->as<Vec3f>(), (Vec3f{1, 0, 0}));
}

TEST(World, EventsLeaveAProtoBodyThroughItsInterface) {
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(R"(
    PROTO Clock [ eventOut SFFloat tick exposedField SFTime period 4 ]
      { DEF T TimeSensor { loop TRUE cycleInterval IS period fraction_changed IS tick } }
    DEF clock Clock {}
    DEF S ScalarInterpolator { key [0 1] keyValue [0 8] }
    DEF M Material {}
    ROUTE clock.tick TO S.set_fraction
    ROUTE S.value_changed TO M.set_shininess)",
                                       content));
  ASSERT_TRUE(browser.appendToRoot(content));
  NodeHandle m;
  ASSERT_TRUE(browser.findNode("M", m));
  browser.advanceTime(1.0);  // a quarter of the 4 s period
  EXPECT_FLOAT_EQ(*m.node()->field("shininess")->as<float>(), 2.0f);
}

TEST(World, RunningTimeSensorIgnoresStartTimeAndStopsWhenDisabled) {
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(
      "DEF T TimeSensor { loop TRUE startTime 1 cycleInterval 10 }", content));
  ASSERT_TRUE(browser.appendToRoot(content));
  NodeHandle t;
  ASSERT_TRUE(browser.findNode("T", t));
  browser.advanceTime(2);
  ASSERT_TRUE(*t.node()->field("isActive")->as<bool>());
  FieldHandle start, enabled;
  ASSERT_TRUE(browser.field(t, "startTime", start));
  ASSERT_TRUE(browser.field(t, "enabled", enabled));
  ASSERT_TRUE(start.set({FieldType::SFTime, 50.0}));
  EXPECT_EQ(*t.node()->field("startTime")->as<double>(), 1.0);
  browser.advanceTime(3);
  EXPECT_FLOAT_EQ(*t.node()->field("fraction_changed")->as<float>(), 0.2f);
  ASSERT_TRUE(enabled.set({FieldType::SFBool, false}));
  browser.advanceTime(4);
  EXPECT_FALSE(*t.node()->field("isActive")->as<bool>());
  EXPECT_FLOAT_EQ(*t.node()->field("fraction_changed")->as<float>(), 0.2f);
}

TEST(World, ContentAppendedTwiceKeepsBothButFindsTheLatest) {
  CVrmlBrowser browser;
  for (int i = 0; i < 2; ++i) {
    VrmlContent content;
    ASSERT_TRUE(browser.createFromString(
        "DEF label Transform { translation " + std::to_string(i) + " 0 0 }", content));
    ASSERT_TRUE(browser.appendToRoot(content));
  }
  EXPECT_EQ(browser.scene().rootNodes().size(), 2u);
  NodeHandle n;
  ASSERT_TRUE(browser.findNode("label", n));
  EXPECT_EQ(n.node()->field("translation")->as<Vec3f>()->x, 1.0f);
}

TEST(World, ClockDrivenToATimeRunsTheFramesOnTheWay) {
  // B starts when A reports its first cycle; driven frame by frame, that is
  // in the first frame, so at 1.5 s B has run for almost 1.5 s. One jump to
  // 1.5 s would start B only then.
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(R"(
    DEF A TimeSensor { loop TRUE cycleInterval 1 }
    DEF B TimeSensor { cycleInterval 2 startTime -1 stopTime -2 }
    ROUTE A.cycleTime TO B.set_startTime)",
                                       content));
  ASSERT_TRUE(browser.appendToRoot(content));
  NodeHandle b;
  ASSERT_TRUE(browser.findNode("B", b));
  runClockTo(browser, 1.5);
  EXPECT_DOUBLE_EQ(browser.now(), 1.5);
  EXPECT_TRUE(*b.node()->field("isActive")->as<bool>());
  EXPECT_NEAR(*b.node()->field("fraction_changed")->as<float>(), (1.5 - kClockFrameStep) / 2,
              1e-4);
  // The clock does not go back.
  runClockTo(browser, 1.0);
  EXPECT_DOUBLE_EQ(browser.now(), 1.5);
}

}  // namespace
}  // namespace kestrel
