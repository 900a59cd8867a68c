#include "viewer/browser/pointing_sensors.h"

#include <gtest/gtest.h>

#include <cmath>

#include "testing/test_support.h"
#include "viewer/browser/anchor_links.h"
#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/vrml_browser.h"

namespace kestrel {
namespace {

// A browser with a scene, looked at along -Z with rays from z = 10, and
// the pointer driven through PointingSensors as a window would.
class PointerRig {
 public:
  explicit PointerRig(std::string_view text) {
    VrmlContent content;
    EXPECT_TRUE(browser.createFromString(text, content)) << browser.lastError().message;
    EXPECT_TRUE(browser.appendToRoot(content));
    roots = browser.scene().rootNodes();
    browser.advanceTime(5);
  }

  PointerSample at(float x, float y) {
    PointerSample s;
    s.ray = {{x, y, 10}, {0, 0, -1}};
    s.hit = picker.pick(roots, {}, Viewer{}, s.ray);
    s.roots = &roots;
    return s;
  }
  void move(float x, float y) {
    Cascade c = browser.cascade();
    sensors.move(at(x, y), c);
  }
  bool press(float x, float y) {
    Cascade c = browser.cascade();
    return sensors.press(at(x, y), c);
  }
  NodePtr release(float x, float y) {
    Cascade c = browser.cascade();
    return sensors.release(at(x, y), c);
  }
  void click(float x, float y) {
    press(x, y);
    release(x, y);
  }

  NodePtr node(std::string_view name) {
    NodeHandle h;
    EXPECT_TRUE(browser.findNode(name, h)) << name;
    return h.node();
  }
  template <class T>
  T value(std::string_view name, std::string_view member) {
    NodePtr n = node(name);
    const FieldValue* v = n ? n->field(member) : nullptr;
    const T* t = v ? v->as<T>() : nullptr;
    EXPECT_TRUE(t) << name << "." << member;
    return t ? *t : T{};
  }

  CVrmlBrowser browser;
  Picker picker;
  PointingSensors sensors;
  std::vector<NodePtr> roots;
};

void expectNear(Vec3f a, Vec3f b, float tolerance = 1e-4f) {
  EXPECT_NEAR(a.x, b.x, tolerance);
  EXPECT_NEAR(a.y, b.y, tolerance);
  EXPECT_NEAR(a.z, b.z, tolerance);
}

void expectRotation(Rotation r, Vec3f axis, float angle) {
  // The same turn may be written with the axis reversed and the angle negated.
  if (r.x * axis.x + r.y * axis.y + r.z * axis.z < 0) r = {-r.x, -r.y, -r.z, -r.angle};
  expectNear(normalized({r.x, r.y, r.z}), axis);
  EXPECT_NEAR(r.angle, angle, 1e-3f);
}

// Each TouchSensor output is routed on into an exposed field somewhere, so
// the tests see the events arrive, not only the sensor's own members.
constexpr std::string_view kTouchScene = R"(
  DEF T Transform { translation 1 0 0 children [
    DEF TS TouchSensor {}
    Shape { geometry Box {} } ] }
  DEF OVER TimeSensor { loop FALSE }
  DEF ACTIVE TimeSensor { enabled FALSE }
  DEF TOUCHED TimeSensor {}
  DEF POINT Transform {}
  DEF NORMAL Transform {}
  DEF TEX TextureTransform {}
  ROUTE TS.isOver TO OVER.set_loop
  ROUTE TS.isActive TO ACTIVE.set_enabled
  ROUTE TS.touchTime TO TOUCHED.set_startTime
  ROUTE TS.hitPoint_changed TO POINT.set_translation
  ROUTE TS.hitNormal_changed TO NORMAL.set_scale
  ROUTE TS.hitTexCoord_changed TO TEX.set_translation
)";

TEST(PointingSensors, TouchSensorReportsOverActiveHitAndTouchTime) {
  PointerRig rig(kTouchScene);
  rig.move(1.5f, 0);
  EXPECT_TRUE(rig.value<bool>("OVER", "loop"));
  EXPECT_TRUE(rig.sensors.overSensor());
  expectNear(rig.value<Vec3f>("POINT", "translation"), {0.5f, 0, 1});  // sensor coordinates
  expectNear(rig.value<Vec3f>("NORMAL", "scale"), {0, 0, 1});
  EXPECT_NEAR(rig.value<Vec2f>("TEX", "translation").x, 0.75f, 1e-4f);

  EXPECT_TRUE(rig.press(1.5f, 0));
  EXPECT_TRUE(rig.value<bool>("ACTIVE", "enabled"));
  EXPECT_EQ(rig.value<double>("TOUCHED", "startTime"), 0);  // not before the release
  rig.release(1.5f, 0);
  EXPECT_FALSE(rig.value<bool>("ACTIVE", "enabled"));
  EXPECT_EQ(rig.value<double>("TOUCHED", "startTime"), 5);

  rig.move(-3, 0);
  EXPECT_FALSE(rig.value<bool>("OVER", "loop"));
  EXPECT_FALSE(rig.sensors.overSensor());
  EXPECT_FALSE(rig.press(-3, 0));  // nothing there: the view may move

  // Pressed over it, released elsewhere: no touchTime, and isOver follows.
  rig.browser.advanceTime(7);
  rig.press(1.5f, 0);
  rig.move(-3, 0);
  EXPECT_FALSE(rig.value<bool>("OVER", "loop"));
  rig.release(-3, 0);
  EXPECT_EQ(rig.value<double>("TOUCHED", "startTime"), 5);
  rig.click(1.2f, 0.1f);
  EXPECT_EQ(rig.value<double>("TOUCHED", "startTime"), 7);
}

TEST(PointingSensors, PlaneSensorMovesByTheDraggedAmountWithinItsLimits) {
  PointerRig rig(R"(
    Transform { translation 0 0 -2 children [
      DEF PS PlaneSensor { minPosition -1 -10 maxPosition 1.5 10 }
      DEF M Transform { children Shape { geometry Box {} } } ] }
    DEF KEEP PlaneSensor { autoOffset FALSE }
    Transform { translation 6 0 0 children [
      USE KEEP
      DEF K Transform { children Shape { geometry Box {} } } ] }
    ROUTE PS.translation_changed TO M.set_translation
    ROUTE KEEP.translation_changed TO K.set_translation
  )");
  EXPECT_TRUE(rig.press(0, 0));
  EXPECT_TRUE(rig.value<bool>("PS", "isActive"));
  rig.move(0.5f, 0.25f);
  expectNear(rig.value<Vec3f>("M", "translation"), {0.5f, 0.25f, 0});
  expectNear(rig.value<Vec3f>("PS", "trackPoint_changed"), {0.5f, 0.25f, 1});
  rig.move(3, 0);  // past maxPosition.x
  expectNear(rig.value<Vec3f>("M", "translation"), {1.5f, 0, 0});
  rig.release(3, 0);
  EXPECT_FALSE(rig.value<bool>("PS", "isActive"));
  expectNear(rig.value<Vec3f>("PS", "offset"), {1.5f, 0, 0});  // autoOffset

  // The next drag starts from where the last one left the box.
  rig.press(1.5f, 0);
  rig.move(1, 2);
  expectNear(rig.value<Vec3f>("M", "translation"), {1, 2, 0});
  rig.release(1, 2);

  // autoOffset FALSE: each drag starts again from the offset.
  rig.press(6, 0);
  rig.move(7, 0);
  expectNear(rig.value<Vec3f>("K", "translation"), {1, 0, 0});
  rig.release(7, 0);
  expectNear(rig.value<Vec3f>("KEEP", "offset"), {0, 0, 0});
  rig.press(7, 0);
  rig.move(7.5f, 0);
  expectNear(rig.value<Vec3f>("K", "translation"), {0.5f, 0, 0});
  rig.release(7.5f, 0);
}

TEST(PointingSensors, SphereAndCylinderSensorsTurnByTheDraggedAngle) {
  const float thirty = std::asin(0.5f);
  PointerRig rig(R"(
    DEF SS SphereSensor {}
    Shape { geometry Box {} }
    Transform { translation 5 0 0 children [
      DEF CS CylinderSensor { minAngle -1 maxAngle 0.6 }
      Shape { geometry Box {} } ] }
    Transform { translation -5 0 0 rotation 1 0 0 1.5708 children [
      DEF DISK CylinderSensor {}
      Shape { geometry Box {} } ] }
  )");
  // Sphere of radius 1 through the pressed point 0 0 1; x = 0.5 is 30
  // degrees round it about +Y.
  rig.press(0, 0);
  rig.move(0.5f, 0);
  expectRotation(rig.value<Rotation>("SS", "rotation_changed"), {0, 1, 0}, thirty);
  rig.release(0.5f, 0);
  rig.press(0, 0);
  rig.move(0.5f, 0);  // on top of the kept offset
  expectRotation(rig.value<Rotation>("SS", "rotation_changed"), {0, 1, 0}, 2 * thirty);
  rig.release(0.5f, 0);
  rig.press(0, 0);
  rig.move(0, 0.5f);  // upwards: 30 degrees about -X, after the 60 about +Y
  {
    float c15 = std::cos(thirty / 2), s15 = std::sin(thirty / 2);
    float c30 = std::cos(thirty), s30 = std::sin(thirty);
    expectRotation(rig.value<Rotation>("SS", "rotation_changed"),
                   normalized({-c30 * s15, c15 * s30, -s15 * s30}), 2 * std::acos(c15 * c30));
  }
  rig.release(0, 0.5f);

  // Cylinder seen from the side: turns about Y, clamped to maxAngle.
  rig.press(5, 0);
  rig.move(5.5f, 0);
  expectRotation(rig.value<Rotation>("CS", "rotation_changed"), {0, 1, 0}, thirty);
  rig.move(5.9f, 0);
  EXPECT_NEAR(rig.value<Rotation>("CS", "rotation_changed").angle, 0.6f, 1e-5f);
  rig.release(5.9f, 0);
  EXPECT_NEAR(rig.value<float>("CS", "offset"), 0.6f, 1e-5f);

  // Its axis pointing at the viewer (within diskAngle): turns like a disk.
  rig.press(-5, -0.5f);
  rig.move(-4.5f, -0.5f);
  expectRotation(rig.value<Rotation>("DISK", "rotation_changed"), {0, 1, 0},
                 std::atan2(0.5f, 0.5f));
  rig.release(-4.5f, -0.5f);
}

TEST(PointingSensors, TheNearestSensorsAboveTheGeometryGetTheEvents) {
  PointerRig rig(R"(
    DEF OUTER TouchSensor {}
    Group { children [
      DEF A TouchSensor {}
      DEF B TouchSensor {}
      Transform { children Shape { geometry Box {} } } ] }
    Transform { translation 3 0 0 children Shape { geometry Box {} } }
    Transform { translation -3 0 0 children [
      DEF OFF TouchSensor { enabled FALSE }
      Shape { geometry Box {} } ] }
    Transform { translation 0 3 0 children [
      DEF DRAG PlaneSensor {}
      Shape { geometry Box {} } ] }
  )");
  rig.click(0, 0);  // both siblings of the group, not the top-level one
  EXPECT_EQ(rig.value<double>("A", "touchTime"), 5);
  EXPECT_EQ(rig.value<double>("B", "touchTime"), 5);
  EXPECT_EQ(rig.value<double>("OUTER", "touchTime"), 0);
  rig.browser.advanceTime(6);
  rig.click(3, 0);  // no sensor in its Transform: the top level's
  EXPECT_EQ(rig.value<double>("OUTER", "touchTime"), 6);
  EXPECT_EQ(rig.value<double>("A", "touchTime"), 5);
  rig.browser.advanceTime(7);
  rig.click(-3, 0);  // a disabled sensor hides nothing
  EXPECT_EQ(rig.value<double>("OUTER", "touchTime"), 7);
  EXPECT_EQ(rig.value<double>("OFF", "touchTime"), 0);

  // A drag stays with the sensor that got the press.
  rig.browser.advanceTime(8);
  rig.press(0, 3);
  rig.move(0, 0);
  EXPECT_FALSE(rig.value<bool>("A", "isOver"));
  expectNear(rig.value<Vec3f>("DRAG", "translation_changed"), {0, -3, 0});
  rig.release(0, 0);
  EXPECT_EQ(rig.value<double>("A", "touchTime"), 5);
  rig.move(0.1f, 0);
  EXPECT_TRUE(rig.value<bool>("A", "isOver"));
}

TEST(PointingSensors, SensorsInPrototypesAndInlinesAreReached) {
  testing::TempDir dir;
  std::string inlined = dir.write("inlined.wrl",
                                  "#VRML V2.0 utf8\nDEF ROOT_TS TouchSensor { }\n"
                                  "Shape { geometry Box { } }\n");
  PointerRig rig(R"(
    PROTO Button [ eventOut SFTime touched ] { TouchSensor { touchTime IS touched } }
    Group { children [ DEF B Button { } Shape { geometry Box { } } ] }
    DEF TOUCHED TimeSensor { }
    ROUTE B.touched TO TOUCHED.set_startTime
    Transform { translation 4 0 0 children Inline { url ")" + inlined + R"(" } }
  )");
  rig.click(0, 0);  // the instance's body node fires, its interface passes it on
  EXPECT_EQ(rig.value<double>("TOUCHED", "startTime"), 5);

  SensorsReached reached = sensorsReached(rig.at(4, 0));
  ASSERT_EQ(reached.sensors.size(), 1u);
  EXPECT_EQ(reached.sensors[0].sensor->name, "ROOT_TS");
  EXPECT_EQ(reached.sensors[0].frame.transformPoint({0, 0, 0}), (Vec3f{4, 0, 0}));
  rig.click(4.2f, 0);
  EXPECT_EQ(*reached.sensors[0].sensor->field("touchTime")->as<double>(), 5);
}

TEST(PointingSensors, AnchorsAreClickedAndSayWhereTheyLead) {
  PointerRig rig(R"(
    DEF FRONT Viewpoint { description "Front" }
    DEF BACK Viewpoint { position 0 0 -20 orientation 0 1 0 3.1416 }
    Anchor { url "#BACK" description "Go round" children Shape { geometry Box {} } }
    Anchor { url "other/world.WRL#Top" children Transform { translation 3 0 0
      children Shape { geometry Box {} } } }
    Anchor { url "http://example.org/page.html" children Transform { translation -3 0 0
      children Shape { geometry Box {} } } }
    Group { children [ DEF IN Viewpoint { description "Inner" } ] }
  )");
  rig.move(0, 0);
  ASSERT_TRUE(rig.sensors.anchorUnder());
  EXPECT_EQ(anchorLink(*rig.sensors.anchorUnder()).description, "Go round");
  EXPECT_TRUE(rig.press(0, 0));
  NodePtr clicked = rig.release(0, 0);
  ASSERT_TRUE(clicked);
  AnchorLink link = anchorLink(*clicked);
  EXPECT_EQ(link.target, AnchorLink::Target::Viewpoint);
  EXPECT_EQ(link.url, "BACK");
  Cascade c = rig.browser.cascade();
  EXPECT_TRUE(bindViewpoint(rig.node(link.url), c));

  rig.press(0, 0);  // released off the Anchor: not followed
  EXPECT_FALSE(rig.release(5, 5));

  rig.click(3, 0);
  rig.press(3, 0);
  NodePtr world = rig.release(3, 0);
  ASSERT_TRUE(world);
  EXPECT_EQ(anchorLink(*world).target, AnchorLink::Target::World);
  EXPECT_EQ(anchorLink(*world).url, "other/world.WRL#Top");
  rig.press(-3, 0);
  NodePtr page = rig.release(-3, 0);
  ASSERT_TRUE(page);
  EXPECT_EQ(anchorLink(*page).target, AnchorLink::Target::Elsewhere);

  std::vector<NodePtr> views = viewpointsOf(rig.roots);
  ASSERT_EQ(views.size(), 3u);
  EXPECT_EQ(viewpointLabel(*views[0], 0), "Front");
  EXPECT_EQ(viewpointLabel(*views[1], 1), "BACK");
  EXPECT_EQ(viewpointLabel(*views[2], 2), "Inner");
  EXPECT_FALSE(bindViewpoint(rig.roots[2], c));  // an Anchor is not a Viewpoint
}

TEST(PointingSensors, TheCorpusWorldsAnchorAndViewpoints) {
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromFile(
      testing::sourcePath("testing/corpus/vrml/Floppy__web3dguide__tut23.wrl"), content))
      << browser.lastError().message;
  ASSERT_TRUE(browser.appendToRoot(content));
  std::vector<NodePtr> roots = browser.scene().rootNodes();
  Picker picker;
  PointingSensors sensors;
  PointerSample over;  // the textured sphere above the monument
  over.ray = {{0, 2.25f, 10}, {0, 0, -1}};
  over.hit = picker.pick(roots, browser.scene().baseDir, Viewer{}, over.ray);
  over.roots = &roots;
  ASSERT_TRUE(over.hit.hit());
  EXPECT_NEAR(over.hit.point.z, 0.75f, 0.02f);
  Cascade cascade = browser.cascade();
  EXPECT_TRUE(sensors.press(over, cascade));
  NodePtr anchor = sensors.release(over, cascade);
  ASSERT_TRUE(anchor);
  AnchorLink link = anchorLink(*anchor);
  EXPECT_EQ(link.description, "Back to the Tutorial");
  EXPECT_EQ(link.target, AnchorLink::Target::Elsewhere);
  EXPECT_EQ(link.url, "../tut23.html");

  std::vector<std::string> labels;
  std::vector<NodePtr> views = viewpointsOf(roots);
  for (size_t i = 0; i < views.size(); ++i) labels.push_back(viewpointLabel(*views[i], i));
  EXPECT_EQ(labels, (std::vector<std::string>{"Normal Entry", "Aerial View", "HeadCam"}));
}

}  // namespace
}  // namespace kestrel
