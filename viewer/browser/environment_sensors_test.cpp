// ProximitySensor, VisibilitySensor and the LOD level they sit in, driven
// by moving the viewer through the browser (no window): events, times and
// the viewer's place in the sensor's coordinates; the heads-up display of
// a real world keeps its geometry in front of the viewer.
#include "viewer/browser/environment_sensors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "viewer/browser/browser_test_support.h"
#include "viewer/browser/lod_selection.h"
#include "viewer/browser/placed_nodes.h"

namespace kestrel {
namespace {

using testing::append;
using testing::named;
using testing::read;

constexpr float kQuarter = 1.5707963f;

ViewerPose at(Vec3f position, Rotation orientation = {0, 0, 1, 0}) {
  ViewerPose pose;
  pose.position = position;
  pose.orientation = orientation;
  return pose;
}

void expectNear(Vec3f a, Vec3f b, float tolerance = 1e-4f) {
  EXPECT_NEAR(a.x, b.x, tolerance);
  EXPECT_NEAR(a.y, b.y, tolerance);
  EXPECT_NEAR(a.z, b.z, tolerance);
}

// Where the rotation R takes V.
Vec3f turned(const Rotation& r, Vec3f v) { return Mat4::rotation(r).transformDir(v); }

TEST(ProximitySensor, EntersReportsThePlaceInItsOwnCoordinatesAndExits) {
  CVrmlBrowser b;
  append(b, R"(DEF T Transform { translation 10 0 0 rotation 0 1 0 1.5707963
                 children DEF P ProximitySensor { size 4 4 4 } })");
  b.advanceTime(1);
  b.viewerMoved(at({0, 0, 10}));
  EXPECT_FALSE(read<bool>(b, "P", "isActive"));
  EXPECT_EQ(read<double>(b, "P", "enterTime"), 0);

  b.advanceTime(2);
  b.viewerMoved(at({10, 1, 0.5f}));
  EXPECT_TRUE(read<bool>(b, "P", "isActive"));
  EXPECT_EQ(read<double>(b, "P", "enterTime"), 2);
  // The sensor's frame is turned a quarter about Y: world +Z is its -X.
  expectNear(read<Vec3f>(b, "P", "position_changed"), {-0.5f, 1, 0});
  // The viewer looks down world -Z, which is the sensor's +X.
  Rotation o = read<Rotation>(b, "P", "orientation_changed");
  expectNear(turned(o, {0, 0, -1}), {1, 0, 0});

  b.advanceTime(3);
  b.viewerMoved(at({11, 0, 0}, {0, 1, 0, kQuarter}));  // inside, moved and turned
  expectNear(read<Vec3f>(b, "P", "position_changed"), {0, 0, 1});
  expectNear(turned(read<Rotation>(b, "P", "orientation_changed"), {0, 0, -1}), {0, 0, -1});
  EXPECT_EQ(read<double>(b, "P", "enterTime"), 2);  // still inside: no new entry

  b.advanceTime(4);
  b.viewerMoved(at({13, 0, 0}));  // 3 along the sensor's +Z: outside its 4-wide box
  EXPECT_FALSE(read<bool>(b, "P", "isActive"));
  EXPECT_EQ(read<double>(b, "P", "exitTime"), 4);

  // Disabled, it lets go of the viewer; enabled again, it takes it back.
  b.advanceTime(5);
  b.viewerMoved(at({10, 0, 0}));
  EXPECT_TRUE(read<bool>(b, "P", "isActive"));
  b.advanceTime(6);
  testing::send(b, "P", "enabled", FieldType::SFBool, false);
  b.viewerMoved(at({10, 0, 0}));
  EXPECT_FALSE(read<bool>(b, "P", "isActive"));
  EXPECT_EQ(read<double>(b, "P", "exitTime"), 6);
}

TEST(ProximitySensor, HeadsUpDisplayOfARealWorldStaysInFrontOfTheViewer) {
  const char* src = std::getenv("KESTREL_SOURCE_DIR");
  const std::filesystem::path file = std::filesystem::path(src ? src : ".") / "testing" /
                                     "corpus" / "vrml" / "Floppy__web3dguide__hud.wrl";
  CVrmlBrowser b;
  VrmlContent content;
  ASSERT_TRUE(b.createFromFile(file.string(), content)) << b.lastError().text();
  ASSERT_TRUE(b.appendToRoot(content));
  NodeHandle hud = named(b, "HUD");
  // The box of the display sits 0.2 ahead of and 0.075 below the eye.
  auto boxInEye = [&](const ViewerPose& pose) {
    Mat4 world = transformOfNode(*hud.node()) * Mat4::translation({0, -0.075f, -0.2f});
    Mat4 eye = Mat4::translation(pose.position) * Mat4::rotation(pose.orientation);
    return (eye.inverse() * world).transformPoint({0, 0, 0});
  };
  const ViewerPose path[] = {at({0, 0, 10}), at({1, 0, 8}, {0, 1, 0, 0.5f}),
                             at({3, 0.5f, 6}, {1, 0, 0, -0.3f}), at({6, 1, 3}, {0, 1, 0, 2})};
  double t = 1;
  for (const ViewerPose& pose : path) {
    b.advanceTime(t++);
    b.viewerMoved(pose);
    EXPECT_TRUE(read<bool>(b, "SENSOR", "isActive"));
    expectNear(boxInEye(pose), {0, -0.075f, -0.2f});
  }
}

TEST(VisibilitySensor, ActiveWhileItsBoxIsInTheViewFrustum) {
  CVrmlBrowser b;
  append(b, R"(DEF T Transform { translation 0 0 -5 children
                 DEF V VisibilitySensor { size 1 1 1 } })");
  b.advanceTime(1);
  b.viewerMoved(at({0, 0, 10}));  // straight ahead
  EXPECT_TRUE(read<bool>(b, "V", "isActive"));
  EXPECT_EQ(read<double>(b, "V", "enterTime"), 1);
  b.advanceTime(2);
  b.viewerMoved(at({0, 0, 10}, {0, 1, 0, 3.14159f}));  // looking away
  EXPECT_FALSE(read<bool>(b, "V", "isActive"));
  EXPECT_EQ(read<double>(b, "V", "exitTime"), 2);
  b.advanceTime(3);
  b.viewerMoved(at({20, 0, 10}));  // far to the side: outside the 45 degree view
  EXPECT_FALSE(read<bool>(b, "V", "isActive"));
  b.viewerMoved(at({3, 0, 10}));  // off centre but in view
  EXPECT_TRUE(read<bool>(b, "V", "isActive"));
  EXPECT_EQ(read<double>(b, "V", "enterTime"), 3);
  ViewerPose limited = at({0, 0, 10});
  limited.visibilityLimit = 5;  // the box is 14.5 away
  b.advanceTime(4);
  b.viewerMoved(limited);
  EXPECT_FALSE(read<bool>(b, "V", "isActive"));
  // A wide view sees the box that a narrow one misses.
  ViewerPose wide = at({0, 0, 10}, {0, 1, 0, 0.7f});
  b.viewerMoved(wide);
  EXPECT_FALSE(read<bool>(b, "V", "isActive"));
  wide.fieldOfView = 1.6f;
  b.viewerMoved(wide);
  EXPECT_TRUE(read<bool>(b, "V", "isActive"));
}

TEST(LodSelection, TheViewersDistanceChoosesTheLevelForSensorsAsForDrawing) {
  EXPECT_EQ(lodLevel({5, 20}, {0, 0, 0}, {0, 0, 4}, 3), 0u);
  EXPECT_EQ(lodLevel({5, 20}, {0, 0, 0}, {0, 0, 5}, 3), 1u);
  EXPECT_EQ(lodLevel({5, 20}, {0, 0, 0}, {0, 30, 0}, 3), 2u);
  EXPECT_EQ(lodLevel({5, 20}, {0, 0, 0}, {0, 30, 0}, 2), 1u);  // fewer levels than ranges
  EXPECT_EQ(lodLevel({}, {0, 0, 0}, {0, 30, 0}, 2), 0u);
  EXPECT_EQ(lodLevel({5}, {0, 0, 10}, {0, 0, 12}, 2), 0u);  // measured from the centre

  // A sensor in the far level acts only while the viewer is far away.
  CVrmlBrowser b;
  append(b, R"(Transform { translation 100 0 0 children LOD { range [ 10 ] center 0 0 0
                 level [ Group {} DEF FAR ProximitySensor { size 1000 1000 1000 } ] } })");
  b.viewerMoved(at({100, 0, 5}));
  EXPECT_FALSE(read<bool>(b, "FAR", "isActive"));
  b.viewerMoved(at({100, 0, 50}));
  EXPECT_TRUE(read<bool>(b, "FAR", "isActive"));
}

TEST(Collision, TheGroupTheViewerRanIntoSendsCollideTime) {
  CVrmlBrowser b;
  append(b, "DEF W Collision { children Shape { geometry Box {} } } DEF G Group {}");
  b.advanceTime(7);
  b.viewerCollided(named(b, "W").node().get());
  EXPECT_EQ(read<double>(b, "W", "collideTime"), 7);
  b.advanceTime(8);
  b.viewerCollided(named(b, "G").node().get());  // not a Collision: nothing
  b.viewerCollided(nullptr);
  EXPECT_EQ(read<double>(b, "W", "collideTime"), 7);
}

}  // namespace
}  // namespace kestrel
