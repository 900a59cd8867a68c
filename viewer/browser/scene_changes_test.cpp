// The change counters a renderer reads, driven through the browser facade.
#include "viewer/browser/scene_changes.h"

#include <gtest/gtest.h>

#include "viewer/browser/vrml_browser.h"

namespace kestrel {
namespace {

constexpr const char* kObject =
    "DEF Xform_a Transform { children [ Shape { appearance Appearance { material DEF Mat_a "
    "Material { } } geometry DEF Text_a Text { string \"a\" } } ] }";

class SceneChangesTest : public ::testing::Test {
 protected:
  void SetUp() override { add(kObject); }
  void add(const std::string& text) {
    VrmlContent content;
    ASSERT_TRUE(browser_.createFromString(text, content)) << browser_.lastError().message;
    ASSERT_TRUE(browser_.appendToRoot(content));
  }
  template <class H>
  H field(const char* node, const char* name) {
    NodeHandle n;
    EXPECT_TRUE(browser_.findNode(node, n)) << node;
    H h;
    EXPECT_TRUE(browser_.field(n, name, h)) << name;
    return h;
  }
  SceneChanges changes() const { return browser_.changes(); }

  CVrmlBrowser browser_;
};

TEST_F(SceneChangesTest, AddingContentChangesThePictureButKeepsMeshes) {
  SceneChanges before = changes();
  add("Shape { geometry Box {} }");
  EXPECT_GT(changes().any, before.any);
  EXPECT_EQ(changes().geometry, before.geometry);
  EXPECT_EQ(changes().replaced, before.replaced);
}

TEST_F(SceneChangesTest, MovingAnObjectKeepsMeshesAndChangingItsTextDoesNot) {
  SceneChanges before = changes();
  ASSERT_TRUE(field<SFVec3fHandle>("Xform_a", "translation").set(Vec3f{1, 2, 3}));
  ASSERT_TRUE(field<SFColorHandle>("Mat_a", "diffuseColor").set(Vec3f{1, 0, 0}));
  EXPECT_EQ(changes().any, before.any + 2);
  EXPECT_EQ(changes().geometry, before.geometry);
  ASSERT_TRUE(field<MFStringHandle>("Text_a", "string").set0("b"));
  EXPECT_EQ(changes().geometry, before.geometry + 1);
}

TEST_F(SceneChangesTest, AppendingToAGroupKeepsMeshesReplacingChildrenDropsThem) {
  auto children = field<MFNodeHandle>("Xform_a", "children");
  SceneChanges before = changes();
  VrmlContent more;
  ASSERT_TRUE(browser_.createFromString("Shape { geometry Sphere {} }", more));
  ASSERT_TRUE(children.append(more));
  EXPECT_GT(changes().any, before.any);
  EXPECT_EQ(changes().geometry, before.geometry);
  ASSERT_TRUE(children.set({FieldType::MFNode, std::vector<NodePtr>{}}));
  EXPECT_EQ(changes().geometry, before.geometry + 1);
}

TEST_F(SceneChangesTest, EmptyingTheSceneCountsAsReplaced) {
  SceneChanges before = changes();
  ASSERT_TRUE(browser_.removeAllRoots());
  EXPECT_GT(changes().any, before.any);
  EXPECT_GT(changes().geometry, before.geometry);
  EXPECT_EQ(changes().replaced, before.replaced + 1);
}

TEST_F(SceneChangesTest, AnAnimationChangesThePictureOnlyWhileItRuns) {
  add("DEF Moved Transform { children Shape { geometry Box {} } } "
      "DEF Clock TimeSensor { cycleInterval 1 startTime 1 stopTime 0 loop FALSE } "
      "DEF Turn OrientationInterpolator { key [0 1] keyValue [0 1 0 0, 0 1 0 3] } "
      "ROUTE Clock.fraction_changed TO Turn.set_fraction "
      "ROUTE Turn.value_changed TO Moved.set_rotation");
  browser_.advanceTime(0.5);  // not started yet
  SceneChanges before = changes();
  browser_.advanceTime(0.6);
  EXPECT_EQ(changes().any, before.any);
  browser_.advanceTime(1.5);
  EXPECT_GT(changes().any, before.any);
  EXPECT_EQ(changes().geometry, before.geometry);
  browser_.advanceTime(3);  // ends with its last fraction
  before = changes();
  browser_.advanceTime(4);
  EXPECT_EQ(changes().any, before.any);
}

TEST_F(SceneChangesTest, OnlyLosingNodesCountsAsNodesLeavingTheScene) {
  SceneChanges before = changes();
  ASSERT_TRUE(field<MFStringHandle>("Text_a", "string").set0("b"));  // a mesh changes
  EXPECT_GT(changes().geometry, before.geometry);
  EXPECT_EQ(changes().detached, before.detached);
  FieldHandle all = field<FieldHandle>("Xform_a", "children");
  ASSERT_TRUE(all.set(FieldValue{FieldType::MFNode, std::vector<NodePtr>{}}));  // emptied
  EXPECT_GT(changes().detached, before.detached);
  SceneChanges emptied = changes();
  browser_.removeAllRoots();
  EXPECT_GT(changes().detached, emptied.detached);
}

}  // namespace
}  // namespace kestrel
