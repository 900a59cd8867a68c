// The scripted worlds of the corpus do what their scripts say, driven
// through the browser core as the viewer drives it (a TouchSensor's
// touchTime is sent straight into the script's eventIn).
#include <gtest/gtest.h>

#include "viewer/browser/script/script_test_rig.h"

namespace kestrel {
namespace {

TEST(ScriptCorpus, Tut37TouchesCycleTheSwitch) {
  ScriptRig rig;
  ASSERT_TRUE(rig.loadFile(corpusFile("Floppy__web3dguide__tut37.wrl")));
  EXPECT_EQ(rig.get<int32_t>("SWITCH", "whichChoice"), 0);  // initialize() sent output = 0
  for (int32_t expected : {1, 2, 3, 0, 1}) {
    ASSERT_TRUE(rig.send("CYCLE", "touchTime", sfTime(expected)));
    EXPECT_EQ(rig.get<int32_t>("SWITCH", "whichChoice"), expected);
  }
  EXPECT_EQ(rig.logLines("Script error"), 0) << rig.log();
}

TEST(ScriptCorpus, SFColorSplitsTheCycledColourIntoItsParts) {
  ScriptRig rig;
  ASSERT_TRUE(rig.loadFile(corpusFile("latheefth__FreeWRL__SFColor.wrl")));
  rig.browser.advanceTime(1.0);  // a quarter of the 4 s cycle: between blue and green
  const Vec3f c = rig.get<Vec3f>("MAT", "diffuseColor");
  EXPECT_GT(c.y, 0.5f);
  EXPECT_GT(c.z, 0.1f);
  EXPECT_EQ(rig.get<Vec3f>("RED", "diffuseColor"), (Vec3f{c.x, 0, 0}));
  EXPECT_EQ(rig.get<Vec3f>("GREEN", "diffuseColor"), (Vec3f{0, c.y, 0}));
  EXPECT_EQ(rig.get<Vec3f>("BLUE", "diffuseColor"), (Vec3f{0, 0, c.z}));
  const Vec3f inverse = rig.get<Vec3f>("INVERSE", "diffuseColor");
  EXPECT_FLOAT_EQ(inverse.y, 1 - c.y);
  EXPECT_FLOAT_EQ(inverse.z, 1 - c.z);
  EXPECT_EQ(rig.logLines("Script error"), 0) << rig.log();
}

TEST(ScriptCorpus, JsTouchAddsASphereAndStartsTheColourCycle) {
  ScriptRig rig;
  const std::string file = corpusFile("bradenmcd__openvrml__jsTouch.wrl");
  ASSERT_TRUE(rig.loadFile(file));
  EXPECT_EQ(rig.logLines("Script print: \"Toggle\", \" Browser: Kestrel"), 1) << rig.log();
  EXPECT_EQ(rig.logLines("Script print: \"Toggle\", \" World: " + file + "\""), 1);
  const size_t before = rig.get<std::vector<NodePtr>>("TheGroup", "children").size();
  rig.browser.advanceTime(5);
  ASSERT_TRUE(rig.send("Toggle", "touch", sfTime(5)));
  const auto& children = rig.get<std::vector<NodePtr>>("TheGroup", "children");
  ASSERT_EQ(children.size(), before + 1);
  const NodePtr& sphere = *children.back()->field("geometry")->as<NodePtr>();
  EXPECT_EQ(*sphere->field("radius")->as<float>(), 1.5f);
  EXPECT_EQ(rig.get<double>("TS", "startTime"), 5.0);
  EXPECT_EQ(rig.logLines("Script description: \"Toggle\", \"Touched 2\""), 1);
  EXPECT_EQ(rig.logLines("\" c.g = 0.4\""), 1);
  EXPECT_EQ(rig.logLines("\" Now c[1] = 0.6"), 1);
  EXPECT_EQ(rig.logLines("\" v3 = 13 3\""), 1);
  EXPECT_EQ(rig.logLines("\" v4 = 5.2 1.2\""), 1);
  EXPECT_EQ(rig.logLines("\" Adding 1 nodes: [Shape"), 1) << rig.log();
  // The colour cycle it started runs: half way from magenta to yellow.
  rig.browser.advanceTime(7.5);
  EXPECT_EQ(rig.get<Vec3f>("M", "diffuseColor"), (Vec3f{1, 0.5f, 0.5f}));
  ASSERT_TRUE(rig.send("Toggle", "touch", sfTime(8)));
  EXPECT_EQ(rig.logLines("Touched 3"), 1);
  EXPECT_EQ(rig.logLines("Script error"), 0) << rig.log();
}

TEST(ScriptCorpus, EventProtoBouncesThroughItsEventIn) {
  ScriptRig rig;
  ASSERT_TRUE(rig.loadFile(corpusFile("bradenmcd__openvrml__EventPROTO.wrl")));
  rig.browser.advanceTime(0.5);  // a quarter of the bounce: half way up
  const NodePtr bouncer = rig.node("bouncer");
  ASSERT_TRUE(bouncer && !bouncer->extras().protoBody.empty());
  EXPECT_EQ(*bouncer->extras().protoBody[0]->field("translation")->as<Vec3f>(), (Vec3f{0, 5, 0}));
}

}  // namespace
}  // namespace kestrel
