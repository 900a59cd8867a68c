// The engine driven by command lines; results read back from the scene.
#include "viewer/engine/engine.h"

#include <gtest/gtest.h>

#include "viewer/engine/engine_test_support.h"

namespace kestrel {
namespace {

using testing::EngineHarness;
using testing::kTransformTemplate;
using testing::objectBlock;

TEST(Engine, DataBlockBecomesARegisteredObjectWithItsHandlesBound) {
  EngineHarness h;
  h.run({kTransformTemplate, objectBlock("ball")});
  ASSERT_EQ(h.engine.registry().size(), 1);
  EXPECT_EQ(h.engine.registry().nameAt(0), "ball");
  EXPECT_EQ(h.engine.registry().currentIndex(), 0);
  VisualObject* ball = h.object("ball");
  ASSERT_NE(ball, nullptr);
  // The content node is the template's outer Transform; the inner one is
  // Xform_ball, whose scale the object uses.
  EXPECT_TRUE(ball->translation.valid());
  EXPECT_TRUE(ball->scale.valid());
  EXPECT_TRUE(ball->innerTranslation.valid());
  EXPECT_TRUE(ball->transparency.valid());
  EXPECT_TRUE(ball->diffuseColor.valid());
  EXPECT_TRUE(h.engine.view().hasSceneContent());
  EXPECT_TRUE(h.logged("Creating:  \"ball\""));

  h.run({"setproperty transparency", "setvalue 32767"});
  NodeHandle material;
  ASSERT_TRUE(h.engine.browser().findNode("Mat_ball", material));
  SFFloatHandle t;
  ASSERT_TRUE(h.engine.browser().field(material, "transparency", t));
  float value = 0;
  ASSERT_TRUE(t.get(value));
  EXPECT_FLOAT_EQ(value, 0.5f);
  h.run({"setvalue 70000"});
  EXPECT_FLOAT_EQ(h.transparency("ball"), 1.0f);
  h.run({"setvalue 655"});
  EXPECT_FLOAT_EQ(h.transparency("ball"), 0.01f);
}

TEST(Engine, WithoutTransformTemplateTheBodyIsTheSceneText) {
  EngineHarness h;
  h.run({"startdata raw", "DEF Xform_raw Transform { translation 4 5 6 }", "enddata"});
  EXPECT_TRUE(h.logged("NO transform template"));
  ASSERT_NE(h.object("raw"), nullptr);
  EXPECT_FLOAT_EQ(h.translation("raw").x, 4);
  h.run({"startdata bad", "Transform { children [ ", "enddata"});
  EXPECT_TRUE(h.logged("CREATE VRML FROM STRING FAILED"));
  EXPECT_EQ(h.engine.registry().size(), 1);
}

TEST(Engine, SetValueMapsIntoBoundsColoursScalesAndRotation) {
  EngineHarness h;
  h.run({kTransformTemplate, objectBlock("ball"), "setinfo xmin -5", "setinfo xmax 5",
         "setproperty x", "setvalue 65535"});
  EXPECT_FLOAT_EQ(h.translation("ball").x, 5.0f);
  EXPECT_TRUE(h.logged("XMIN now set '-5.000000'"));
  h.run({"setvalue 0"});
  EXPECT_FLOAT_EQ(h.translation("ball").x, -5.0f);
  h.run({"setinfo zmin 0", "setinfo zmax 10", "setinfo ymin 3", "setproperty z",
         "setvalue 65535"});
  EXPECT_FLOAT_EQ(h.translation("ball").z, 10.0f);
  h.run({"setproperty green", "setvalue 65535"});
  Vec3f color;
  ASSERT_TRUE(h.object("ball")->diffuseColor.get(color));
  EXPECT_FLOAT_EQ(color.y, 1.0f);
  h.run({"setproperty scale", "setvalue 43690"});
  EXPECT_FLOAT_EQ(h.scale("ball").y, 2.0f);
  // The content Transform has the rotation.
  h.run({"setproperty rotation", "setvalue 65535"});
  Rotation r;
  ASSERT_TRUE(h.object("ball")->rotation.get(r));
  EXPECT_FLOAT_EQ(r.angle, 6.28f);
}

TEST(Engine, SetValueBeforeAnySetPropertyDoesNothing) {
  EngineHarness h;
  h.run({kTransformTemplate, objectBlock("ball")});
  h.object("ball")->translation.set(Vec3f{1, 1, 1});
  h.run({"setinfo xmax 10", "setvalue 65535"});
  EXPECT_FLOAT_EQ(h.translation("ball").x, 1.0f);
  h.run({"setproperty x", "setvalue 65535"});
  EXPECT_FLOAT_EQ(h.translation("ball").x, 10.0f);
}

TEST(Engine, MovesRotationsAndScaling) {
  EngineHarness h;
  h.run({kTransformTemplate, objectBlock("ball"), "left", "up", "up", "in"});
  Vec3f t = h.translation("ball");
  EXPECT_FLOAT_EQ(t.x, -0.2f);
  EXPECT_FLOAT_EQ(t.y, 0.4f);
  EXPECT_FLOAT_EQ(t.z, 0.2f);

  VisualObject* ball = h.object("ball");
  ball->rotation.set(Rotation{1, 0, 0, 6.2f});
  h.run({"rx"});
  Rotation r;
  ball->rotation.get(r);
  EXPECT_NEAR(r.angle, 0.077f, 1e-5);
  ball->rotation.set(Rotation{0, 0, 1, 0.1f});
  h.run({"rycc"});
  ball->rotation.get(r);
  EXPECT_NEAR(r.angle, 6.223f, 1e-5);
  EXPECT_EQ(r.y, 1.0f);
  EXPECT_EQ(r.z, 0.0f);

  h.run({"bigger", "smaller"});
  EXPECT_NEAR(h.scale("ball").x, 1.0f, 1e-6);
  h.run({"taller"});
  EXPECT_NEAR(h.scale("ball").y, 1.1f, 1e-6);
  EXPECT_NEAR(h.scale("ball").x, 1.0f, 1e-6);
  h.run({"setinfo scale_units 50", "fatter"});
  EXPECT_NEAR(h.scale("ball").z, 1.5f, 1e-6);
  EXPECT_NEAR(h.scale("ball").y, 1.1f, 1e-6);
}

TEST(Engine, HideShrinksOnceAndShowRestores) {
  EngineHarness h;
  h.run({kTransformTemplate, objectBlock("ball"), "show"});
  EXPECT_FLOAT_EQ(h.scale("ball").x, 1.0f);  // new objects are shown
  h.run({"hide", "hide"});
  EXPECT_FLOAT_EQ(h.scale("ball").x, 0.01f);
  EXPECT_FALSE(h.engine.registry().isShown(0));
  h.run({"show"});
  EXPECT_FLOAT_EQ(h.scale("ball").x, 1.0f);
}

TEST(Engine, MarksMarkerAndLinks) {
  EngineHarness h;
  h.run({kTransformTemplate, objectBlock("ball"),
         "startdata post\nDEF post Transform { children [ ] }\nenddata"});
  // A node DEF'd with the object's own name and a markLocation field: a
  // Script declares one.
  h.run({"startdata flag\nDEF flag Script { field SFVec3f markLocation 7 8 9 }\nenddata"});
  h.run({"setobject ball", "markx flag", "marky flag"});
  Vec3f t = h.translation("ball");
  EXPECT_FLOAT_EQ(t.x, 7);
  EXPECT_FLOAT_EQ(t.y, 8);
  EXPECT_FLOAT_EQ(t.z, 0);
  h.run({"markx post"});
  EXPECT_TRUE(h.logged("did not find markLocation"));
  h.run({"setobject flag", "setmarker", "setobject ball", "setmarker"});
  EXPECT_EQ(h.engine.operations().marker(), 0);

  // The link effect: the second object's inner translation follows the
  // first's y scale, from the base read at the first update.
  h.run({objectBlock("arm"), "setobject arm"});
  h.object("arm")->innerTranslation.set(Vec3f{1, 2, 3});
  h.run({"link ball arm", "setobject ball", "setproperty yscale", "setvalue 43690"});
  Vec3f inner;
  ASSERT_TRUE(h.object("arm")->innerTranslation.get(inner));
  EXPECT_FLOAT_EQ(inner.y, 4.0f);
  h.run({"setvalue 21845"});
  h.object("arm")->innerTranslation.get(inner);
  EXPECT_FLOAT_EQ(inner.z, 3.0f);
  EXPECT_TRUE(h.logged("First object in link:  \"ball\""));
}

TEST(Engine, ModelSetsSwitchAndSpaceTheirInstances) {
  EngineHarness h;
  h.run({kTransformTemplate, "modelset ship 3\nDEF Xform_x Transform { }\nenddata"});
  ASSERT_EQ(h.engine.registry().size(), 3);
  EXPECT_EQ(h.engine.registry().nameAt(2), "ship_2");
  h.object("ship_0")->translation.set(Vec3f{1, 0, 0});
  h.run({"setproperty x", "setobject ship", "setvalue 100", "mswitch", "mswitch"});
  EXPECT_EQ(h.engine.registry().currentIndex(), 1);  // twice without a value moves once
  h.run({"setvalue 100", "mswitch", "setvalue 100", "mswitch"});
  EXPECT_EQ(h.engine.registry().currentIndex(), 0);
  h.run({"setobject ship", "spacex 2"});
  EXPECT_FLOAT_EQ(h.translation("ship_1").x, h.translation("ship_0").x + 2);
  EXPECT_FLOAT_EQ(h.translation("ship_2").x, h.translation("ship_0").x + 4);
  EXPECT_EQ(h.engine.registry().currentIndex(), 0);
  h.run({objectBlock("ball"), "setobject ball", "setobject ship_1", "spacey 1"});
  EXPECT_EQ(h.engine.registry().currentIndex(), 1);  // the current object stays
  EXPECT_FLOAT_EQ(h.translation("ship_2").y, h.translation("ship_0").y + 2);
  h.run({"clear", "mswitch"});
  EXPECT_EQ(h.engine.registry().currentIndex(), -1);
}

TEST(Engine, GroupsCyclingAndFades) {
  EngineHarness h;
  h.run({kTransformTemplate, objectBlock("a"), objectBlock("b"), objectBlock("c"), "cycle"});
  EXPECT_EQ(h.engine.registry().currentIndex(), 0);
  EXPECT_TRUE(h.logged("DID NOT FIND THE FUNCTION"));
  h.run({"startfunction jiggle", "right", "endfunction", "cycle"});
  EXPECT_EQ(h.engine.registry().currentIndex(), 1);
  EXPECT_FLOAT_EQ(h.translation("b").x, 0.2f);

  h.object("b")->transparency.set(0.95f);
  h.run({"fadeout"});
  EXPECT_FLOAT_EQ(h.transparency("b"), 1.0f);
  h.object("b")->transparency.set(0.05f);
  h.run({"fadein"});
  EXPECT_FLOAT_EQ(h.transparency("b"), 0.0f);
  h.run({"setinfo fade_units 25", "fadeout"});
  EXPECT_FLOAT_EQ(h.transparency("b"), 0.25f);

  // A group: new objects go into the group object's children.
  h.run({"setobject a", "setgroup", objectBlock("child")});
  EXPECT_TRUE(h.logged("SetGroup SET CURRENT GROUP TO  \"a\""));
  EXPECT_EQ(h.object("a")->children.size(), 2u);
  h.run({"clear", "setgroup"});
  EXPECT_TRUE(h.logged("SetGroup DID NOT SET CURRENT GROUP"));
  EXPECT_EQ(h.engine.operations().currentGroup(), "__root__");
  EXPECT_FALSE(h.engine.view().hasSceneContent());
  EXPECT_EQ(h.engine.browser().scene().rootNodes().size(), 0u);
}

TEST(Engine, TemplatesFunctionsAndCalls) {
  EngineHarness h;
  h.run({"starttemplate transform", "Transform { scale VAR_size VAR_size VAR_size children [ %s ] }",
         "endtemplate", "setinfo size 3", "setinfo size 2", objectBlock("ball")});
  EXPECT_FLOAT_EQ(h.scale("ball").x, 1.0f);  // Xform_ball's own scale
  VisualObject* ball = h.object("ball");
  SFVec3fHandle outer;
  ASSERT_TRUE(h.engine.browser().field(ball->content, "scale", outer));
  Vec3f s;
  outer.get(s);
  EXPECT_FLOAT_EQ(s.x, 2.0f);
  EXPECT_EQ(h.engine.info().size(), 1u);

  h.run({"startfunction spin", "rx", "setobject ball", "endfunction", "call spin"});
  EXPECT_TRUE(h.logged("FOUND THE FUNCTION"));
  EXPECT_TRUE(h.logged("put in line \"setobject ball\""));
  h.run({"call nothere"});
  EXPECT_TRUE(h.logged("DID NOT FIND THE FUNCTION"));
  // A function holding a data block makes an object per call.
  h.run({"startfunction make", "startdata made", "Transform { }", "enddata", "endfunction",
         "call make", "call make"});
  EXPECT_EQ(h.engine.registry().size(), 3);
}

TEST(Engine, TablesRefuseEntriesPastTheirCapacity) {
  EngineHarness h;
  std::string many;
  for (int i = 0; i < 1001; ++i) many += "startdata o" + std::to_string(i) + "\nGroup { }\nenddata\n";
  h.run({"fast", many});
  EXPECT_EQ(h.engine.registry().size(), 1000);
  EXPECT_EQ(h.engine.registry().nameAt(999), "o999");
  EXPECT_TRUE(h.logged("object registry full, object not added: \"o1000\""));

  for (int i = 0; i < 201; ++i) h.engine.info().setInfo("k" + std::to_string(i), "v");
  EXPECT_EQ(h.engine.info().size(), 200u);
  EXPECT_EQ(h.engine.info().lookupText("k199"), "v");
  EXPECT_TRUE(h.logged("info table full, value not stored: \"k200\""));
  EXPECT_TRUE(h.engine.info().setInfo("k5", "changed"));  // existing names still change

  for (int i = 0; i < 201; ++i) h.engine.templates().createTemplate("t" + std::to_string(i));
  EXPECT_EQ(h.engine.templates().size(), 200u);
  EXPECT_FALSE(h.engine.templates().appendToLast("lost"));
  EXPECT_EQ(h.engine.templates().findTemplate("t199")->body, "");

  for (int i = 0; i < 101; ++i) h.engine.operations().addModelSet("m" + std::to_string(i), 1);
  EXPECT_EQ(h.engine.operations().modelSets().size(), 100u);

  std::string function = "startfunction long\n";
  for (int i = 0; i < 101; ++i) function += "rx\n";
  function += "endfunction";
  h.run({function});
  for (int i = 0; i < 101; ++i) h.engine.functions().add(CommandFunction("f" + std::to_string(i)));
  EXPECT_EQ(h.engine.functions().size(), 100u);
  EXPECT_TRUE(h.logged("function full, line dropped: \"long\""));
  EXPECT_TRUE(h.logged("function manager full, function not added: \"f99\""));
}

TEST(Engine, TestNodeFindsTerrainMaterialOnlyInsideInlines) {
  EngineHarness h;
  h.dir.write("terrain.wrl",
              "#VRML V2.0 utf8\nShape { appearance Appearance { material DEF Terrain_Material "
              "Material { transparency 0.3 } } geometry Box {} }\n");
  h.run({kTransformTemplate, objectBlock("ball"),
         "startdata land\nDEF land Inline { url \"" + h.dir.file("terrain.wrl") + "\" }\nenddata",
         "setobject ball", "inlineattributes land"});
  EXPECT_TRUE(h.logged("CPrismView::TestNode SUCCESS"));
  EXPECT_FLOAT_EQ(h.transparency("ball"), 0.3f);
  h.run({"inlineattributes ball"});
  EXPECT_TRUE(h.logged("CPrismView::TestNode Failed trying to get Terrain_Material"));
  EXPECT_TRUE(h.logged("NULL transparency"));
  h.run({"inlineattributes nothing"});
  EXPECT_TRUE(h.logged("CPrismView::TestNode false returned #3"));
}

}  // namespace
}  // namespace kestrel
