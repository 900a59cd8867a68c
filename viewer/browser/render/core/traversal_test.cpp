#include "viewer/browser/render/core/traversal.h"

#include <gtest/gtest.h>

#include "viewer/browser/render/core/camera.h"
#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/test_scene.h"

namespace kestrel {
namespace {

DrawList drawListOf(const Scene& scene, Viewer viewer = {}) {
  return collectDrawList(scene.rootNodes(), scene.baseDir, viewer);
}

Vec3f worldOrigin(const DrawItem& item) { return item.model.transformPoint({0, 0, 0}); }

TEST(Traversal, TransformsCompose) {
  Scene s = parseScene(
      "Transform { translation 1 0 0 children Transform { scale 2 2 2 translation 0 1 0"
      " children Shape { geometry Box {} } } }");
  DrawList list = drawListOf(s);
  ASSERT_EQ(list.items.size(), 1u);
  EXPECT_EQ(worldOrigin(list.items[0]), (Vec3f{1, 1, 0}));
  EXPECT_EQ(list.items[0].model.transformPoint({1, 0, 0}), (Vec3f{3, 1, 0}));
  EXPECT_EQ(typeName(*list.items[0].geometry), "Box");
}

TEST(Traversal, SwitchDrawsOnlyItsChoice) {
  std::string choices = " choice [Shape { geometry Box {} } Shape { geometry Sphere {} }] }";
  EXPECT_TRUE(drawListOf(parseScene("Switch {" + choices)).items.empty());
  EXPECT_TRUE(drawListOf(parseScene("Switch { whichChoice 7" + choices)).items.empty());
  Scene chosen = parseScene("Switch { whichChoice 1" + choices);
  DrawList one = drawListOf(chosen);
  ASSERT_EQ(one.items.size(), 1u);
  EXPECT_EQ(typeName(*one.items[0].geometry), "Sphere");
}

TEST(Traversal, LodPicksTheLevelForTheViewerDistance) {
  Scene s = parseScene("LOD { range [5, 20] level [Shape { geometry Box {} }"
                       " Shape { geometry Sphere {} } Shape { geometry Cone {} }] }");
  auto at = [&](float z) {
    DrawList l = drawListOf(s, Viewer{{0, 0, z}, {0, 1, 0}});
    return l.items.empty() ? std::string() : typeName(*l.items[0].geometry);
  };
  EXPECT_EQ(at(2), "Box");
  EXPECT_EQ(at(10), "Sphere");
  EXPECT_EQ(at(100), "Cone");
}

TEST(Traversal, BillboardTurnsItsZTowardsTheViewer) {
  Scene s = parseScene("Billboard { children Shape { geometry Box {} } }");
  DrawList l = drawListOf(s, Viewer{{10, 0, 0}, {0, 1, 0}});
  ASSERT_EQ(l.items.size(), 1u);
  Vec3f z = l.items[0].model.transformDir({0, 0, 1});
  EXPECT_NEAR(z.x, 1, 1e-5f);
  EXPECT_NEAR(z.z, 0, 1e-5f);
}

TEST(Traversal, DirectionalLightLightsOnlyItsSiblings) {
  Scene s = parseScene(
      "Group { children [ DirectionalLight { direction 1 0 0 } Shape { geometry Box {} } ] }"
      " Shape { geometry Sphere {} }"
      " Transform { translation 0 5 0 children PointLight { location 1 0 0 } }");
  DrawList l = drawListOf(s);
  ASSERT_EQ(l.items.size(), 2u);
  ASSERT_EQ(l.lights.size(), 2u);
  EXPECT_EQ(l.items[0].lights.size(), 2u);  // the point light and its sibling light
  ASSERT_EQ(l.items[1].lights.size(), 1u);  // the point light, met after it
  const Light& point = l.lights[size_t(l.items[1].lights[0])];
  EXPECT_EQ(point.kind, Light::Kind::Point);
  EXPECT_EQ(point.location, (Vec3f{1, 5, 0}));
}

TEST(Traversal, LightsThatAreOffAreLeftOut) {
  Scene s = parseScene("DirectionalLight { on FALSE } SpotLight { on FALSE }"
                       " Shape { geometry Box {} }");
  DrawList l = drawListOf(s);
  EXPECT_TRUE(l.lights.empty());
}

TEST(Traversal, FirstBindableNodesAreBound) {
  Scene s = parseScene(
      "Switch { choice Viewpoint { description \"hidden\" } }"
      " Transform { translation 0 0 5 children Viewpoint { description \"first\" } }"
      " Viewpoint { description \"second\" } Background { skyColor 1 0 0 }"
      " Background { skyColor 0 1 0 } Fog { visibilityRange 9 } NavigationInfo { }");
  Bindings b = findBindings(s.rootNodes());
  ASSERT_NE(b.viewpoint, nullptr);
  EXPECT_EQ(fieldOr(*b.viewpoint, "description", std::string()), "first");
  EXPECT_EQ(b.viewpointMatrix.transformPoint({}), (Vec3f{0, 0, 5}));
  ASSERT_NE(b.background, nullptr);
  EXPECT_EQ(listOf<Vec3f>(*b.background, "skyColor").at(0), (Vec3f{1, 0, 0}));
  EXPECT_NE(b.fog, nullptr);
  EXPECT_NE(b.navigationInfo, nullptr);
}

TEST(Traversal, MaterialTextureAndTransparency) {
  Scene s = parseScene(
      "Shape { appearance Appearance { material Material { diffuseColor 1 0 0"
      " transparency 0.5 } texture ImageTexture { url \"a.png\" }"
      " textureTransform TextureTransform { translation 0.5 0 } } geometry Box {} }"
      " Shape { geometry Box {} }");
  DrawList l = drawListOf(s);
  ASSERT_EQ(l.items.size(), 2u);
  EXPECT_TRUE(l.items[0].material.lit);
  EXPECT_EQ(l.items[0].material.diffuse, (Vec3f{1, 0, 0}));
  EXPECT_TRUE(l.items[0].transparent);
  ASSERT_NE(l.items[0].texture, nullptr);
  EXPECT_EQ(l.items[0].textureMatrix.transformPoint({0, 0, 0}), (Vec3f{0.5f, 0, 0}));
  EXPECT_FALSE(l.items[1].material.lit);  // no Material: unlit
  EXPECT_FALSE(l.items[1].transparent);
}

TEST(Traversal, ProtoInstancesDrawTheirBody) {
  Scene s = parseScene(
      "PROTO Red [ field SFVec3f where 0 0 0 ] { Transform { translation IS where"
      " children Shape { geometry Sphere {} } } }"
      " Red { where 0 2 0 }");
  DrawList l = drawListOf(s);
  ASSERT_EQ(l.items.size(), 1u);
  EXPECT_EQ(worldOrigin(l.items[0]), (Vec3f{0, 2, 0}));
}

TEST(Traversal, InlineScenesAreDrawnWithTheirOwnDirectory) {
  Scene s = parseScene("Transform { translation 3 0 0 children Inline { } }");
  auto inner = std::make_shared<Scene>(parseScene("Shape { geometry Cone {} }"));
  inner->baseDir = "/some/where";
  NodePtr transform = s.firstNode();
  NodePtr inl = listOf<NodePtr>(*transform, "children").at(0);
  inl->editExtras().inlineScene = inner;
  DrawList l = drawListOf(s);
  ASSERT_EQ(l.items.size(), 1u);
  EXPECT_EQ(l.items[0].baseDir, "/some/where");
  EXPECT_EQ(worldOrigin(l.items[0]), (Vec3f{3, 0, 0}));
}

TEST(Traversal, SelfContainingGroupIsNotFollowedForever) {
  Scene s = parseScene("DEF G Group { children Shape { geometry Box {} } }");
  NodePtr g = s.firstNode();
  auto& kids = *g->editField("children")->as<std::vector<NodePtr>>();
  kids.push_back(g);  // a cycle no file can write, made by hand
  DrawList l = drawListOf(s);
  EXPECT_EQ(l.items.size(), 1u);
  kids.pop_back();
}

TEST(Traversal, TransparentShapesComeLastFarthestFirst) {
  Scene s = parseScene(
      "DEF A Transform { translation 0 0 -5 children Shape { appearance Appearance {"
      " material Material { transparency 0.5 } } geometry Box {} } }"
      " DEF B Shape { geometry Sphere {} }"
      " DEF C Transform { translation 0 0 -20 children Shape { appearance Appearance {"
      " material Material { transparency 0.5 } } geometry Cone {} } }");
  DrawList l = drawListOf(s);
  Camera cam = cameraFor(l.bound, 100, 100, {}, 10);
  sortForDrawing(l, cam.view, [](const Node&) { return Vec3f{}; });
  ASSERT_EQ(l.items.size(), 3u);
  EXPECT_EQ(typeName(*l.items[0].geometry), "Sphere");
  EXPECT_EQ(typeName(*l.items[1].geometry), "Cone");
  EXPECT_EQ(typeName(*l.items[2].geometry), "Box");
}

TEST(Camera, DefaultAndBoundViewpoint) {
  Camera def = cameraFor(Bindings{}, 200, 100, {}, 1);
  EXPECT_EQ(def.viewer.position, (Vec3f{0, 0, 10}));
  EXPECT_NEAR(def.view.transformPoint({0, 0, 0}).z, -10, 1e-5f);
  Scene s = parseScene("Transform { translation 1 0 0 children Viewpoint { position 0 0 3"
                       " orientation 0 1 0 1.5707963 } } NavigationInfo { headlight FALSE }");
  Camera cam = cameraFor(findBindings(s.rootNodes()), 100, 100, {}, 1);
  EXPECT_NEAR(cam.viewer.position.x, 1, 1e-5f);
  EXPECT_NEAR(cam.viewer.position.z, 3, 1e-5f);
  EXPECT_FALSE(cam.headlight);
  // Looking down -X now: a point at -X is in front of the eye.
  EXPECT_LT(cam.view.transformPoint({-5, 0, 3}).z, 0);
  EXPECT_GT(cam.farZ, 4.1f);  // reaches past the far side of the scene
}

TEST(Camera, ScaledViewpointMovesWithItsTransformButKeepsTheWorldScale) {
  Scene s = parseScene("Transform { scale 0.4 0.4 0.4 children Viewpoint { position 0 0 25 } }");
  Camera cam = cameraFor(findBindings(s.rootNodes()), 100, 100, {}, 1);
  EXPECT_NEAR(cam.viewer.position.z, 10, 1e-4f);
  // A point 4 units in front of the eye lies 4 units deep in eye space.
  EXPECT_NEAR(cam.view.transformPoint({0, 0, 6}).z, -4, 1e-4f);
  EXPECT_NEAR(length(cam.view.transformDir({1, 0, 0})), 1, 1e-5f);
}

TEST(Camera, MirroringTransformStillGivesARightHandedView) {
  Scene s = parseScene("Transform { scale -2 1 1 children Viewpoint { position 0 0 5 } }");
  Camera cam = cameraFor(findBindings(s.rootNodes()), 100, 100, {}, 1);
  EXPECT_NEAR(cam.viewer.position.z, 5, 1e-4f);
  Mat4 v = cam.view;
  Vec3f x = v.transformDir({1, 0, 0}), y = v.transformDir({0, 1, 0}), z = v.transformDir({0, 0, 1});
  EXPECT_NEAR(dot(cross(x, y), z), 1, 1e-4f);
  EXPECT_LT(cam.view.transformPoint({0, 0, 0}).z, 0);  // still looking at the origin
}

}  // namespace
}  // namespace kestrel

namespace kestrel {
namespace {

TEST(Traversal, TheBrowsersBoundNodesWinOverTheFirstMet) {
  Scene s = parseScene(
      "DEF A Viewpoint { position 0 0 1 } "
      "Transform { translation 5 0 0 children [ DEF B Viewpoint { position 0 0 2 } "
      "  DEF F2 Fog {} DEF N2 NavigationInfo {} ] } "
      "DEF F1 Fog {} "
      "Switch { choice DEF C Viewpoint { position 0 0 3 } }");
  const Node* b = s.names.find("B").get();
  const Node* c = s.names.find("C").get();
  BoundNodes bound{b, nullptr, s.names.find("F1").get(), nullptr};
  Bindings found = findBindings(s.rootNodes(), &bound);
  EXPECT_EQ(found.viewpoint, b);
  EXPECT_EQ(boundEyeToWorld(found).transformPoint({0, 0, 0}), (Vec3f{5, 0, 2}));
  EXPECT_EQ(found.fog, s.names.find("F1").get());
  // Kinds with nothing bound have none, even where the scene has some.
  EXPECT_EQ(found.background, nullptr);
  EXPECT_EQ(found.navigationInfo, nullptr);
  // A bound node the walk does not reach (an unchosen choice) sits in world space.
  bound.viewpoint = c;
  DrawList list = collectDrawList(s.rootNodes(), s.baseDir, Viewer{}, &bound);
  EXPECT_EQ(list.bound.viewpoint, c);
  EXPECT_EQ(boundEyeToWorld(list.bound).transformPoint({0, 0, 0}), (Vec3f{0, 0, 3}));
  // Without the browser's stacks: the first of each kind met.
  Bindings first = findBindings(s.rootNodes());
  EXPECT_EQ(first.viewpoint, s.names.find("A").get());
  EXPECT_EQ(first.fog, s.names.find("F2").get());
}

}  // namespace
}  // namespace kestrel
