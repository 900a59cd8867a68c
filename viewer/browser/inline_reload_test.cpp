// An Inline whose url changes: the old content leaves the scene (its
// nodes are freed, its bound nodes unbound, its TimeSensors stop), the new
// content loads, and an empty url leaves the Inline empty. Real files in a
// temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "viewer/browser/browser_test_support.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;
using testing::named;

class InlineFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kestrel-inline-" + std::to_string(::getpid()));
    fs::create_directories(dir_ / "sub");
    write("a.wrl", "#VRML V2.0 utf8\nDEF inA Transform {} DEF viewA Viewpoint { position 0 0 5 }\n"
                   "DEF clockA TimeSensor { loop TRUE }\n");
    write("sub/b.wrl", "#VRML V2.0 utf8\nDEF inB Group {} DEF viewB Viewpoint { position 0 0 7 }\n");
    write("main.wrl", "#VRML V2.0 utf8\nDEF I Inline { url \"a.wrl\" }\n");
  }
  void TearDown() override { fs::remove_all(dir_); }
  void write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name) << text;
  }
  bool setUrl(CVrmlBrowser& b, std::vector<std::string> urls) {
    FieldHandle url;
    return b.field(named(b, "I"), "url", url) &&
           url.set(FieldValue{FieldType::MFString, std::move(urls)});
  }
  NodePtr inInline(const CVrmlBrowser& b, std::string_view name) {
    NodeHandle n;
    b.findInlineNode(named(b, "I"), name, n);
    return n.node();
  }

  fs::path dir_;
};

TEST_F(InlineFiles, ANewUrlReplacesTheContentAndAnEmptyOneEmptiesIt) {
  CVrmlBrowser b;
  VrmlContent content;
  ASSERT_TRUE(b.createFromFile((dir_ / "main.wrl").string(), content));
  ASSERT_TRUE(b.appendToRoot(content));
  ASSERT_NE(inInline(b, "inA"), nullptr);
  // The world has no Viewpoint of its own: the Inline's binds.
  EXPECT_EQ(b.boundNodes().viewpoint, inInline(b, "viewA").get());
  std::weak_ptr<Node> oldNode = inInline(b, "inA");
  std::weak_ptr<Node> oldClock = inInline(b, "clockA");
  b.advanceTime(1);
  EXPECT_TRUE(*oldClock.lock()->field("isActive")->as<bool>());

  const uint64_t geometryBefore = b.changes().geometry;
  ASSERT_TRUE(setUrl(b, {"missing.wrl", "sub/b.wrl"}));  // the first that loads wins
  EXPECT_EQ(inInline(b, "inA"), nullptr);
  EXPECT_NE(inInline(b, "inB"), nullptr);
  EXPECT_TRUE(oldNode.expired());  // nothing of the old content stays alive
  EXPECT_TRUE(oldClock.expired());
  EXPECT_GT(b.changes().geometry, geometryBefore);  // a window drops its cached meshes
  // The old bound Viewpoint left: the new content's binds in its place.
  EXPECT_EQ(b.boundNodes().viewpoint, inInline(b, "viewB").get());
  EXPECT_EQ(b.viewpointStack().size(), 1u);
  b.advanceTime(2);  // the clock runs on without the old TimeSensor

  ASSERT_TRUE(setUrl(b, {}));
  EXPECT_EQ(named(b, "I").node()->extras().inlineScene, nullptr);
  EXPECT_EQ(b.boundNodes().viewpoint, nullptr);

  ASSERT_TRUE(setUrl(b, {"a.wrl"}));  // back again, resolved against main.wrl's folder
  EXPECT_NE(inInline(b, "inA"), nullptr);
  EXPECT_EQ(b.boundNodes().viewpoint, inInline(b, "viewA").get());
}

TEST_F(InlineFiles, AnInlineNotYetInTheSceneLoadsItsNewUrlWhenItEnters) {
  CVrmlBrowser b;
  VrmlContent content;
  ASSERT_TRUE(b.createFromFile((dir_ / "main.wrl").string(), content));
  NodeHandle inl = content.firstNode();
  FieldHandle url;
  ASSERT_TRUE(b.field(inl, "url", url));
  ASSERT_TRUE(url.set(FieldValue{FieldType::MFString, std::vector<std::string>{"sub/b.wrl"}}));
  EXPECT_EQ(inl.node()->extras().inlineScene, nullptr);  // nothing read yet
  ASSERT_TRUE(b.appendToRoot(content));
  NodeHandle n;
  EXPECT_TRUE(b.findInlineNode(inl, "inB", n));  // resolved against main.wrl's folder
}

TEST_F(InlineFiles, TheWorldsOwnViewpointBindsBeforeTheInlines) {
  write("own.wrl", "#VRML V2.0 utf8\nDEF I Inline { url \"a.wrl\" }\nDEF mine Viewpoint {}\n");
  CVrmlBrowser b;
  VrmlContent content;
  ASSERT_TRUE(b.createFromFile((dir_ / "own.wrl").string(), content));
  ASSERT_TRUE(b.appendToRoot(content));
  EXPECT_EQ(b.boundNodes().viewpoint, named(b, "mine").node().get());
  ASSERT_TRUE(setUrl(b, {"sub/b.wrl"}));  // reloading does not take the binding
  EXPECT_EQ(b.boundNodes().viewpoint, named(b, "mine").node().get());
}

}  // namespace
}  // namespace kestrel
