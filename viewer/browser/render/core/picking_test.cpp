#include "viewer/browser/render/core/picking.h"

#include <gtest/gtest.h>

#include <cmath>

#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/test_scene.h"

namespace kestrel {
namespace {

PickHit pickScene(const Scene& scene, Vec3f origin, Vec3f direction = {0, 0, -1}) {
  Picker picker;
  return picker.pick(scene.rootNodes(), scene.baseDir, Viewer{}, {origin, direction});
}

void expectNear(Vec3f a, Vec3f b) {
  EXPECT_NEAR(a.x, b.x, 1e-4f);
  EXPECT_NEAR(a.y, b.y, 1e-4f);
  EXPECT_NEAR(a.z, b.z, 1e-4f);
}

std::vector<std::string> pathTypes(const PickHit& hit) {
  std::vector<std::string> types;
  for (const NodePtr& n : hit.path) types.push_back(typeName(*n));
  return types;
}

TEST(Picking, BoxFrontFaceGivesPointNormalTexCoordAndPath) {
  Scene s = parseScene("DEF S Shape { geometry Box {} }");
  PickHit hit = pickScene(s, {0.5f, 0, 10});
  ASSERT_TRUE(hit.hit());
  expectNear(hit.point, {0.5f, 0, 1});
  expectNear(hit.normal, {0, 0, 1});
  EXPECT_NEAR(hit.distance, 9, 1e-4f);
  EXPECT_NEAR(hit.texCoord.x, 0.75f, 1e-4f);
  EXPECT_NEAR(hit.texCoord.y, 0.5f, 1e-4f);
  EXPECT_EQ(pathTypes(hit), (std::vector<std::string>{"Shape", "Box"}));
  EXPECT_EQ(hit.frames.size(), hit.path.size());
  EXPECT_FALSE(pickScene(s, {2, 0, 10}).hit());       // beside it
  EXPECT_FALSE(pickScene(s, {0, 0, 10}, {0, 0, 1}).hit());  // looking away
}

TEST(Picking, SphereUnderATransformReportsItsFrames) {
  Scene s = parseScene(
      "Transform { translation 3 0 0 rotation 0 1 0 1.5708 scale 2 2 2"
      " children Group { children Shape { geometry Sphere { radius 1 } } } }");
  PickHit hit = pickScene(s, {3, 0, 10});
  ASSERT_TRUE(hit.hit());
  EXPECT_NEAR(hit.point.z, 2, 2e-2f);  // a tessellated sphere lies just inside
  EXPECT_NEAR(hit.normal.z, 1, 1e-2f);
  EXPECT_NEAR(length(hit.normal), 1, 1e-4f);
  EXPECT_EQ(pathTypes(hit), (std::vector<std::string>{"Transform", "Group", "Shape", "Sphere"}));
  expectNear(hit.frames[0].transformPoint({0, 0, 0}), {3, 0, 0});
  expectNear(hit.geometryToWorld().transformPoint({1, 0, 0}), {3, 0, -2});
  // Off the sphere's silhouette but inside its bounding box: no hit.
  EXPECT_FALSE(pickScene(s, {3 + 1.9f, 1.9f, 10}).hit());
}

TEST(Picking, IndexedFaceSetSolidOnlyFromTheFront) {
  std::string quad =
      " geometry IndexedFaceSet { coord Coordinate { point [-1 -1 0, 1 -1 0, 1 1 0, -1 1 0] }"
      " coordIndex [0 1 2 3 -1]";
  Scene solid = parseScene("Shape {" + quad + " } }");
  ASSERT_TRUE(pickScene(solid, {0.2f, 0.3f, 5}).hit());
  expectNear(pickScene(solid, {0.2f, 0.3f, 5}).point, {0.2f, 0.3f, 0});
  EXPECT_FALSE(pickScene(solid, {0.2f, 0.3f, -5}, {0, 0, 1}).hit());
  Scene twoSided = parseScene("Shape {" + quad + " solid FALSE } }");
  PickHit back = pickScene(twoSided, {0.2f, 0.3f, -5}, {0, 0, 1});
  ASSERT_TRUE(back.hit());
  expectNear(back.normal, {0, 0, -1});  // turned towards the ray
}

TEST(Picking, NearestOfTwoWinsWhateverTheirOrder) {
  Scene s = parseScene(
      "DEF FAR Transform { translation 0 0 -5 children Shape { geometry Box {} } }"
      "DEF NEAR Transform { translation 0 0 2 children Shape { geometry Cone {} } }");
  PickHit hit = pickScene(s, {0, 0, 10});
  ASSERT_TRUE(hit.hit());
  EXPECT_EQ(hit.path.front()->name, "NEAR");
  EXPECT_EQ(typeName(*hit.path.back()), "Cone");
  PickHit side = pickScene(s, {0.9f, 0.9f, 10});  // beside the cone
  ASSERT_TRUE(side.hit());
  EXPECT_EQ(side.path.front()->name, "FAR");
}

TEST(Picking, LargeMeshesAreSearchedRunByRun) {
  // 60 x 60 points, 6962 triangles in many runs; height = 0.1 * column.
  std::string heights;
  for (int j = 0; j < 60; ++j)
    for (int i = 0; i < 60; ++i) heights += std::to_string(0.1 * i) + " ";
  Scene s = parseScene("Shape { geometry ElevationGrid { xDimension 60 zDimension 60"
                       " height [" + heights + "] } }");
  for (float x : {0.5f, 17.25f, 41.5f, 58.75f}) {
    for (float z : {0.5f, 30.25f, 58.5f}) {
      PickHit hit = pickScene(s, {x, 20, z}, {0, -1, 0});
      ASSERT_TRUE(hit.hit()) << x << " " << z;
      expectNear(hit.point, {x, 0.1f * x, z});
    }
  }
}

TEST(Picking, FollowsWhatIsDrawnOnly) {
  Scene hidden = parseScene("Switch { whichChoice -1 choice Shape { geometry Box {} } }");
  EXPECT_FALSE(pickScene(hidden, {0, 0, 10}).hit());
  Scene lines = parseScene(
      "Shape { geometry IndexedLineSet { coord Coordinate { point [-1 0 0, 1 0 0] }"
      " coordIndex [0 1] } }");
  EXPECT_FALSE(pickScene(lines, {0, 0, 10}).hit());
  Scene proto = parseScene(
      "PROTO B [] { Transform { translation 0 0 -1 children Shape { geometry Box {} } } }"
      "DEF P B {}");
  PickHit hit = pickScene(proto, {0, 0, 10});
  ASSERT_TRUE(hit.hit());
  EXPECT_EQ(hit.path.front()->name, "P");  // the instance as written
  expectNear(hit.point, {0, 0, 0});
}

TEST(Picking, RayThroughThePictureCentreLooksAlongTheView) {
  Camera cam = cameraFor(Bindings{}, 200, 100, {}, 1);
  PickRay centre = rayThroughPixel(cam, 100, 50, 200, 100);
  expectNear(centre.direction, {0, 0, -1});
  EXPECT_NEAR(centre.origin.x, 0, 1e-4f);
  PickRay right = rayThroughPixel(cam, 200, 50, 200, 100);
  EXPECT_GT(right.direction.x, 0.1f);
  PickRay top = rayThroughPixel(cam, 100, 0, 200, 100);
  EXPECT_GT(top.direction.y, 0.1f);
  // The pixel under a picked point projects back onto it.
  Scene s = parseScene("Shape { geometry Box {} }");
  Picker picker;
  PickHit hit = picker.pick(s.rootNodes(), {}, Viewer{}, rayThroughPixel(cam, 110, 45, 200, 100));
  ASSERT_TRUE(hit.hit());
  Vec3f ndc = (cam.projection * cam.view).transformPoint(hit.point);
  EXPECT_NEAR((ndc.x + 1) * 100, 110, 1e-2f);
  EXPECT_NEAR((1 - ndc.y) * 50, 45, 1e-2f);
}

}  // namespace
}  // namespace kestrel
