#include "viewer/browser/visual_object.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

class VisualObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VrmlContent content;
    ASSERT_TRUE(browser.createFromString(R"(
      DEF obj Transform { rotation 0 1 0 0.5 scale 3 3 3 children [
        DEF Xform_obj Transform { translation 1 2 3 scale 2 2 2 }
        DEF Mat_obj Material { transparency 0.5 diffuseColor 0.1 0.2 0.3 emissiveColor 0.4 0.5 0.6 }
        DEF info_script Script { eventIn SFString inString } ] })",
                                         content));
    object = VisualObject(content.firstNode());
    ASSERT_TRUE(browser.appendToRoot(content));
    NodeHandle xform, mat, info;
    ASSERT_TRUE(browser.findNode("Xform_obj", xform));
    ASSERT_TRUE(browser.findNode("Mat_obj", mat));
    ASSERT_TRUE(browser.findNode("info_script", info));
    ASSERT_TRUE(browser.field(xform, "scale", object.scale));
    ASSERT_TRUE(browser.field(xform, "translation", object.innerTranslation));
    ASSERT_TRUE(browser.field(object.content, "rotation", object.rotation));
    ASSERT_TRUE(browser.field(mat, "transparency", object.transparency));
    ASSERT_TRUE(browser.field(mat, "diffuseColor", object.diffuseColor));
    ASSERT_TRUE(browser.field(mat, "emissiveColor", object.emissiveColor));
    ASSERT_TRUE(browser.field(info, "inString", object.infoInput));
  }

  CVrmlBrowser browser;
  VisualObject object;
};

TEST_F(VisualObjectTest, SnapshotReadsAndRestoresEveryHandle) {
  object.takeSnapshot();
  const VisualObject::Snapshot expected = {0.5f, 2, 2, 2, 0, 1, 0, 0.5f,
                                           0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
  EXPECT_EQ(object.snapshot(), expected);
  object.transparency.set(1.0f);
  object.scale.set(Vec3f{9, 9, 9});
  object.diffuseColor.set(Vec3f{1, 1, 1});
  object.restoreSnapshot();
  float t = 0;
  object.transparency.get(t);
  EXPECT_EQ(t, 0.5f);
  Vec3f s;
  object.scale.get(s);
  EXPECT_EQ(s, (Vec3f{2, 2, 2}));
  Vec3f d;
  object.diffuseColor.get(d);
  EXPECT_EQ(d, (Vec3f{0.1f, 0.2f, 0.3f}));
}

TEST_F(VisualObjectTest, MissingTransparencySnapshotsZeroAndRestoresNothing) {
  object.transparency = SFFloatHandle();
  object.takeSnapshot();
  EXPECT_EQ(object.snapshot()[0], 0.0f);
  object.restoreSnapshot();  // no handle, nothing written, no failure
  NodeHandle mat;
  ASSERT_TRUE(browser.findNode("Mat_obj", mat));
  EXPECT_EQ(*mat.node()->field("transparency")->as<float>(), 0.5f);
}

TEST_F(VisualObjectTest, InfoTextNeedsAnInfoInput) {
  object.setInfoText("hello");
  ASSERT_TRUE(object.infoText());
  EXPECT_EQ(*object.infoText(), "hello");
  std::string written;
  ASSERT_TRUE(object.infoInput.get(written));
  EXPECT_EQ(written, "hello");
  VisualObject bare;
  bare.storeInfoText("created");
  bare.setInfoText("changed");
  EXPECT_EQ(*bare.infoText(), "created");
}

TEST_F(VisualObjectTest, InnerTranslationScalesFromTheBaseReadOnce) {
  object.scaleInnerTranslation(2.0f);
  ASSERT_TRUE(object.hasInnerBase());
  Vec3f v;
  object.innerTranslation.get(v);
  EXPECT_EQ(v, (Vec3f{2, 4, 6}));
  object.scaleInnerTranslation(0.5f);  // from the base, not from the last value
  object.innerTranslation.get(v);
  EXPECT_EQ(v, (Vec3f{0.5f, 1, 1.5f}));
  VisualObject none;
  none.scaleInnerTranslation(2.0f);
  EXPECT_FALSE(none.hasInnerBase());
}

TEST_F(VisualObjectTest, LinkIsKeptButNotOwned) {
  VisualObject other;
  object.setLinkedObject(&other);
  EXPECT_EQ(object.linkedObject(), &other);
}

}  // namespace
}  // namespace kestrel
