// Labels, inlines, flat maps and "*" lines through a real engine.
#include "viewer/shell/vrml_text_builders.h"

#include <gtest/gtest.h>

#include "viewer/shell/shell_test_rig.h"

namespace kestrel {
namespace {

using testing::ShellRig;

// The first child of OBJECT's content node.
NodeHandle firstChild(VisualObject* object) {
  if (object == nullptr || !object->children.valid()) return {};
  const auto* nodes = object->children.value()->as<std::vector<NodePtr>>();
  return nodes && !nodes->empty() ? NodeHandle(nodes->front()) : NodeHandle();
}

TEST(Labels, CountedNamesOwnMaterialsAndTheBuiltInText) {
  ShellRig rig;
  rig.run({"label hello", "label hello"});
  for (const char* name : {"label_1", "label_2"}) {
    VisualObject* label = rig.object(name);
    ASSERT_NE(label, nullptr) << rig.log();
    Vec3f color;
    ASSERT_TRUE(label->diffuseColor.get(color)) << name;
    EXPECT_EQ(color, (Vec3f{.8f, .3f, .3f}));
    float t = 0;
    ASSERT_TRUE(label->transparency.get(t));
    EXPECT_FLOAT_EQ(t, .3f);
  }
  EXPECT_EQ(rig.engine.currentObjectName(), "label_2");
  EXPECT_TRUE(rig.logHas(
      "Transform { children [  Shape { appearance Appearance { material DEF Mat_label_1 Material "
      "{\tdiffuseColor .8 0.3 .30 transparency .3\t} } geometry Text3D { string [ \"hello\" ] "
      "}}]}"));
  EXPECT_TRUE(rig.logHas("execute time, got param:  \"hello\""));
  EXPECT_NE(rig.sceneText().find("\"hello\""), std::string::npos);
}

TEST(Labels, TheLabelTemplateWins) {
  ShellRig rig;
  rig.run({"starttemplate label",
           "DEF Xform_%s Transform { children Shape { geometry Text3D { string \"%s\" } } }",
           "endtemplate", "label custom"});
  VisualObject* label = rig.object("label_1");
  ASSERT_NE(label, nullptr) << rig.log();
  EXPECT_TRUE(label->transformNode.valid());
  EXPECT_TRUE(rig.logHas("DEF Xform_label_1 Transform { children Shape { geometry Text3D { "
                         "string \"custom\" } } }"));
}

TEST(Inlines, BuiltInFormatReachesTheTerrainThroughTheRenderRoot) {
  ShellRig rig;
  rig.run({"inline terrain.wrl"});
  EXPECT_TRUE(rig.logHas("Inline { url \"c:\\\\corvid\\\\render\\\\terrain\\\\terrain.wrl\" }"))
      << rig.log();
  VisualObject* terrain = rig.object("");
  ASSERT_NE(terrain, nullptr) << rig.log();
  NodeHandle inlineNode = firstChild(terrain);
  ASSERT_TRUE(inlineNode.valid());
  NodeHandle material;
  EXPECT_TRUE(rig.engine.browser().findInlineNode(inlineNode, "Terrain_Material", material));
  EXPECT_EQ(rig.engine.currentObjectName(), "terrain");
}

TEST(Inlines, TemplateTakesTheFirstBasePathOnly) {
  ShellRig rig;
  rig.run({"starttemplate inline", "Transform { children [ DEF terrain Inline { url \"VAR_basepath%s\" } ] }",
           "endtemplate", "setinfo basepath c:/corvid/render/terrain/", "inline terrain.wrl",
           "inlineattributes terrain"});
  EXPECT_TRUE(rig.logHas("Inline { url \"c:/corvid/render/terrain/terrain.wrl\" }"));
  EXPECT_TRUE(rig.logHas("CPrismView::TestNode SUCCESS")) << rig.log();
  VisualObject* current = rig.engine.registry().currentObject();
  ASSERT_NE(current, nullptr);
  EXPECT_TRUE(current->transparency.valid());
  rig.run({"setproperty transparency", "setvalue 32767"});
  NodeHandle inlineNode, material;
  ASSERT_TRUE(rig.engine.browser().findNode("terrain", inlineNode));
  ASSERT_TRUE(rig.engine.browser().findInlineNode(inlineNode, "Terrain_Material", material));

  rig.run({"setinfo basepath /elsewhere/", "inline other.wrl"});
  EXPECT_TRUE(rig.logHas("Inline { url \"c:/corvid/render/terrain/other.wrl\" }"));
}

const char* kFlatMap =
    "DEF %s Transform { children [ WorldInfo { info [ \"%d %d %d %d|%d %d %d %d|%d %d %d %d|%d %d "
    "%d %d\" \"%s\" \"%s\" \"%.1f %.1f %.1f %.1f\" \"%d %d %d %d %d %d %d %d\" \"%c%c\" ] } ] }";

TEST(FlatMaps, NothingWithoutTheTemplate) {
  ShellRig rig;
  rig.run({"loadmap c:/maps/a.png"});
  EXPECT_EQ(rig.engine.registry().size(), 0);
  EXPECT_EQ(rig.engine.currentImageFile(), "c:/maps/a.png");
}

TEST(FlatMaps, LoadMapBeforeAnyMapFormUsesTheStartValues) {
  ShellRig rig;
  rig.run({"starttemplate flatmap", kFlatMap, "endtemplate", "loadmap c:/maps/a.png",
           "loadmap c:/maps/b.png"});
  EXPECT_TRUE(rig.logHas("DEF map_1 Transform { children [ WorldInfo { info [ \"0 0 0 0|0 0 0 "
                         "0|0 0 0 0|0 0 0 0\" \"map_1\" \"c:/maps/a.png\" \"0.0 0.0 0.0 0.0\" "
                         "\"0 0 0 0 0 0 0 0\" \"xX\" ] } ] }"))
      << rig.log();
  EXPECT_NE(rig.object("map_1"), nullptr);
  EXPECT_NE(rig.object("map_2"), nullptr);
}

TEST(FlatMaps, MapInputsFillTheTemplate) {
  ShellRig rig;
  rig.builders.textBuilders().setMapSource([] {
    return MapInputs{250, 1207, -122.5, -121.25, 37.5, 38, 'W', 'N'};
  });
  rig.run({"starttemplate flatmap", kFlatMap, "endtemplate"});
  rig.engine.setCurrentImageFile("c:/maps/bay.jpg");
  rig.builders.mapRequest("bay");
  EXPECT_TRUE(rig.logHas("\"2 50 12 7|2 50 12 7|2 50 12 7|2 50 12 7\" \"bay\" \"c:/maps/bay.jpg\" "
                         "\"-122.5 -121.2 37.5 38.0\" \"2 50 2 50 12 7 12 7\" \"WN\""))
      << rig.log();
  EXPECT_NE(rig.object("bay"), nullptr);
}

TEST(StarLines, GridViewImageAndLabelBecomeNamedObjects) {
  ShellRig rig;
  rig.run({"*grid size=2x1 color=1,0,0 name=g", "*view location=1,2", "*image size=4x2",
           "*label text=\"hi\" name=tag"});
  for (const char* name : {"g", "view", "image", "tag"}) {
    EXPECT_NE(rig.object(name), nullptr) << name << rig.log();
  }
  std::string scene = rig.sceneText();
  EXPECT_NE(scene.find("Viewpoint"), std::string::npos);
  EXPECT_NE(scene.find("1 2 10"), std::string::npos);
  EXPECT_EQ(rig.logCount("entered dwHandle"), 4u);
  EXPECT_EQ(rig.logCount("exitted dwHandle"), 4u);
  EXPECT_FALSE(rig.logHas("CREATE VRML FROM STRING FAILED"));
}

TEST(StarLines, OtherWordsWriteOnlyTheTwoLines) {
  ShellRig rig;
  rig.run({"*cube size=3"});
  EXPECT_EQ(rig.engine.registry().size(), 0);
  EXPECT_EQ(rig.logCount("entered dwHandle"), 1u);
  EXPECT_EQ(rig.logCount("exitted dwHandle"), 1u);
  EXPECT_EQ(rig.primary.waiting(), 0);
}

TEST(StarLines, LargeGridsFitTheQueueAndHugeOnesAreRefused) {
  ShellRig rig;
  rig.run({"*grid size=200x200 name=big", "*grid size=2000x2000 name=huge"});
  EXPECT_NE(rig.object("big"), nullptr) << rig.log();
  EXPECT_EQ(rig.object("huge"), nullptr);
  EXPECT_TRUE(rig.logHas("NOT QUEUED, GRID HAS TOO MANY CELLS: \"huge\""));
  EXPECT_EQ(rig.primary.dropped(), 0u);
}

}  // namespace
}  // namespace kestrel
