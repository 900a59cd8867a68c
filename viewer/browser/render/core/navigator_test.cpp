// The user's camera: how drags, the wheel and keys move it in each
// navigation type, "View all", and taking up the bound viewpoint.
#include "viewer/browser/render/core/navigator.h"

#include <gtest/gtest.h>

#include <cmath>

#include "viewer/browser/render/core/test_scene.h"
#include "viewer/browser/render/core/traversal.h"

namespace kestrel {
namespace {

constexpr int kW = 400, kH = 300;

float distance(Vec3f a, Vec3f b) { return length(a - b); }

class NavigatorTest : public ::testing::Test {
 protected:
  void bindTo(const std::string& text) {
    scene_ = parseScene(text);
    nav_.bind(findBindings(scene_.rootNodes()));
  }
  void drag(int button, int fromX, int fromY, int toX, int toY, int modifiers = 0) {
    nav_.press(button, fromX, fromY, modifiers);
    for (int i = 1; i <= 10; ++i) {
      nav_.move(fromX + (toX - fromX) * i / 10, fromY + (toY - fromY) * i / 10, modifiers);
    }
    nav_.release(button);
  }
  // Where world point P lands in normalised device coordinates.
  Vec3f project(Vec3f p) const {
    Camera cam = nav_.camera(Bindings{}, kW, kH, centre_, radius_);
    return (cam.projection * cam.view).transformPoint(p);
  }

  Scene scene_;
  Navigator nav_;
  Vec3f centre_{1, 2, 0};
  float radius_ = 2;
  void SetUp() override {
    nav_.setViewport(kW, kH);
    nav_.setSceneBounds(centre_, radius_);
  }
};

TEST_F(NavigatorTest, StartsAtTheDefaultViewpointInExamineWithoutBindings) {
  nav_.bind(Bindings{});
  EXPECT_EQ(nav_.mode(), Navigator::Mode::Examine);
  EXPECT_EQ(nav_.position(), (Vec3f{0, 0, 10}));
  EXPECT_NEAR(nav_.forward().z, -1, 1e-6);
  EXPECT_EQ(nav_.centre(), centre_);
}

TEST_F(NavigatorTest, TakesUpTheBoundViewpointAndNavigationInfo) {
  bindTo("Transform { translation 0 1 0 children Viewpoint { position 3 4 5 "
         "orientation 0 1 0 1.5708 fieldOfView 0.5 } } "
         "NavigationInfo { type [ \"FLY\" \"ANY\" ] speed 2 }");
  EXPECT_EQ(nav_.mode(), Navigator::Mode::Fly);
  EXPECT_NEAR(distance(nav_.position(), {3, 5, 5}), 0, 1e-5);
  EXPECT_NEAR(distance(nav_.forward(), {-1, 0, 0}), 0, 1e-5);
  EXPECT_FLOAT_EQ(nav_.fieldOfView(), 0.5f);
}

TEST_F(NavigatorTest, NavigationTypesPickTheFirstKnownOne) {
  bindTo("NavigationInfo { type [ \"HOVER\" \"WALK\" ] }");
  EXPECT_EQ(nav_.mode(), Navigator::Mode::Walk);
  bindTo("NavigationInfo { type \"NONE\" }");
  EXPECT_EQ(nav_.mode(), Navigator::Mode::None);
  bindTo("NavigationInfo { type \"ANY\" }");
  EXPECT_EQ(nav_.mode(), Navigator::Mode::Examine);
  bindTo("NavigationInfo { }");  // the node's default: WALK, ANY
  EXPECT_EQ(nav_.mode(), Navigator::Mode::Walk);
}

TEST_F(NavigatorTest, ExamineDragRotatesAboutTheCentreKeepingTheDistance) {
  nav_.bind(Bindings{});
  float before = distance(nav_.position(), centre_);
  Vec3f start = nav_.position();
  drag(Navigator::kLeft, 100, 100, 250, 160);
  EXPECT_GT(distance(nav_.position(), start), 1);
  EXPECT_NEAR(distance(nav_.position(), centre_), before, 1e-3);
  // Dragging right turns the scene to the right: the eye goes round to the left.
  Navigator other;
  other.setViewport(kW, kH);
  other.setSceneBounds({0, 0, 0}, 1);
  other.bind(Bindings{});
  other.press(Navigator::kLeft, 0, 0, 0);
  other.move(30, 0, 0);
  EXPECT_LT(other.position().x, -0.5f);
  // A point on the object's front moves right on the screen.
  Camera cam = other.camera(Bindings{}, kW, kH, {}, 1);
  EXPECT_GT((cam.projection * cam.view).transformPoint({0, 0, 1}).x, 0.01f);
}

TEST_F(NavigatorTest, ExamineKeepsTheCentreInTheMiddleOnlyWhenItWasThere) {
  nav_.setSceneBounds({0, 0, 0}, 1);
  nav_.bind(Bindings{});
  drag(Navigator::kLeft, 10, 10, 200, 90);
  Vec3f ndc = project({0, 0, 0});
  EXPECT_NEAR(ndc.x, 0, 1e-4);
  EXPECT_NEAR(ndc.y, 0, 1e-4);
}

TEST_F(NavigatorTest, WheelZoomMovesTowardTheCentre) {
  nav_.bind(Bindings{});
  float before = distance(nav_.position(), centre_);
  Vec3f towards = normalized(centre_ - nav_.position());
  Vec3f start = nav_.position();
  nav_.wheel(2);
  float after = distance(nav_.position(), centre_);
  EXPECT_LT(after, before * 0.8f);
  EXPECT_NEAR(dot(normalized(nav_.position() - start), towards), 1, 1e-4);
  nav_.wheel(-2);
  EXPECT_NEAR(distance(nav_.position(), centre_), before, 1e-3);
  for (int i = 0; i < 200; ++i) nav_.wheel(5);  // never reaches or passes the centre
  EXPECT_GT(distance(nav_.position(), centre_), 0);
  EXPECT_GT(dot(centre_ - nav_.position(), towards), 0);
}

TEST_F(NavigatorTest, PanMovesEyeAndCentreTogether) {
  nav_.bind(Bindings{});
  Vec3f eye = nav_.position();
  drag(Navigator::kMiddle, 100, 100, 200, 100);
  EXPECT_LT(nav_.position().x, eye.x);  // the scene follows the pointer to the right
  EXPECT_NEAR(nav_.position().y, eye.y, 1e-5);
  EXPECT_NEAR(nav_.position().x - eye.x, nav_.centre().x - centre_.x, 1e-5);
  Vec3f pannedCentre = nav_.centre();
  drag(Navigator::kLeft, 100, 100, 150, 100, Navigator::kShift);
  EXPECT_LT(nav_.centre().x, pannedCentre.x);
  nav_.setSceneBounds({9, 9, 9}, 1);  // a panned centre no longer follows the scene
  EXPECT_NE(nav_.centre(), (Vec3f{9, 9, 9}));
}

TEST_F(NavigatorTest, ViewAllPutsTheWholeBoundingSphereInTheFrustum) {
  bindTo("Viewpoint { position 40 -3 7 orientation 1 1 0 0.6 }");
  nav_.setSceneBounds({5, -2, 3}, 4);
  nav_.viewAll();
  centre_ = {5, -2, 3};
  radius_ = 4;
  Vec3f eyeRight = normalized(cross(nav_.forward(), nav_.up()));
  for (Vec3f d : {Vec3f{1, 0, 0}, Vec3f{0, 1, 0}, Vec3f{0, 0, 1}, nav_.up(), eyeRight,
                  nav_.forward()}) {
    for (float sign : {-1.0f, 1.0f}) {
      Vec3f ndc = project(centre_ + d * (sign * radius_ * 0.999f));
      EXPECT_LE(std::fabs(ndc.x), 1) << d.x << d.y << d.z;
      EXPECT_LE(std::fabs(ndc.y), 1);
      EXPECT_LE(std::fabs(ndc.z), 1);
    }
  }
  // It is tight: the sphere touches the narrower side.
  Vec3f top = project(centre_ + nav_.up() * (radius_ / std::cos(nav_.fieldOfView() / 2)));
  EXPECT_NEAR(top.y, 1, 0.02);
}

TEST_F(NavigatorTest, WalkKeepsTheHeight) {
  bindTo("Viewpoint { position 0 1.6 10 orientation 1 0 0 -0.4 } "
         "NavigationInfo { type \"WALK\" }");
  ASSERT_EQ(nav_.mode(), Navigator::Mode::Walk);
  float height = nav_.position().y;
  Vec3f start = nav_.position();
  drag(Navigator::kLeft, 200, 200, 230, 100);  // forward and turning
  EXPECT_GT(distance(nav_.position(), start), 0.5f);
  EXPECT_LT(nav_.position().z, start.z);
  EXPECT_TRUE(nav_.key(Navigator::Key::Up));
  EXPECT_TRUE(nav_.key(Navigator::Key::Left));
  EXPECT_TRUE(nav_.key(Navigator::Key::Down));
  nav_.wheel(3);
  EXPECT_NEAR(nav_.position().y, height, 1e-4);
}

TEST_F(NavigatorTest, SpeedZeroOnlyTurns) {
  bindTo("NavigationInfo { type \"WALK\" speed 0 }");
  Vec3f start = nav_.position();
  Vec3f ahead = nav_.forward();
  nav_.key(Navigator::Key::Up);
  drag(Navigator::kLeft, 100, 100, 150, 50);
  EXPECT_EQ(nav_.position(), start);
  EXPECT_LT(dot(nav_.forward(), ahead), 0.99f);
  bindTo("NavigationInfo { type \"WALK\" speed -3 }");  // taken as 1
  nav_.key(Navigator::Key::Up);
  EXPECT_LT(nav_.position().z, start.z);
}

TEST_F(NavigatorTest, FlyMovesWhereTheEyeLooks) {
  bindTo("Viewpoint { position 0 0 10 orientation 1 0 0 -0.5 } "
         "NavigationInfo { type \"FLY\" }");
  Vec3f start = nav_.position();
  Vec3f ahead = nav_.forward();
  nav_.key(Navigator::Key::Up);
  EXPECT_NEAR(dot(normalized(nav_.position() - start), ahead), 1, 1e-4);
  EXPECT_LT(nav_.position().y, start.y);
}

TEST_F(NavigatorTest, NoneIgnoresTheUser) {
  bindTo("NavigationInfo { type \"NONE\" }");
  Vec3f start = nav_.position();
  drag(Navigator::kLeft, 0, 0, 100, 100);
  nav_.wheel(3);
  EXPECT_FALSE(nav_.key(Navigator::Key::Up));
  EXPECT_FALSE(nav_.key(Navigator::Key::Home));
  EXPECT_EQ(nav_.position(), start);
}

TEST_F(NavigatorTest, ReturnsToTheBoundViewpointWhenAnotherIsBoundOrTheSceneIsReplaced) {
  bindTo("Viewpoint { position 0 0 20 }");
  Bindings first = findBindings(scene_.rootNodes());
  nav_.wheel(3);
  nav_.bind(first);  // the same viewpoint: the user's moves stay
  EXPECT_LT(nav_.position().z, 19);
  nav_.reset();
  nav_.bind(first);
  EXPECT_NEAR(nav_.position().z, 20, 1e-5);
  nav_.wheel(3);
  bindTo("Viewpoint { position 0 0 30 }");
  EXPECT_NEAR(nav_.position().z, 30, 1e-5);
  unsigned revision = nav_.revision();
  nav_.wheel(1);
  EXPECT_NE(nav_.revision(), revision);
}

TEST_F(NavigatorTest, CameraDepthRangeEnclosesTheScene) {
  nav_.bind(Bindings{});
  Camera cam = nav_.camera(Bindings{}, kW, kH, {0, 0, -100}, 5);
  EXPECT_GE(cam.farZ, 115);
  EXPECT_LT(cam.nearZ, 1);
  EXPECT_NEAR(cam.view.transformPoint({0, 0, 0}).z, -10, 1e-5);
}

TEST_F(NavigatorTest, JumpFalseGlidesToTheNewViewpointInASecond) {
  Scene s = parseScene("DEF A Viewpoint { position 0 0 20 } "
                       "DEF B Viewpoint { position 10 0 0 orientation 0 1 0 1.5707963 "
                       "  jump FALSE } "
                       "DEF C Viewpoint { position 0 5 0 }");
  auto boundTo = [&](const char* name) {
    BoundNodes b{s.names.find(name).get(), nullptr, nullptr, nullptr};
    return findBindings(s.rootNodes(), &b);
  };
  nav_.bind(boundTo("A"), 100);
  EXPECT_NEAR(nav_.position().z, 20, 1e-5);
  nav_.bind(boundTo("B"), 100);  // starts where the eye was
  EXPECT_TRUE(nav_.gliding());
  EXPECT_NEAR(distance(nav_.position(), {0, 0, 20}), 0, 1e-4);
  unsigned revision = nav_.revision();
  nav_.bind(boundTo("B"), 100.5);  // half way, turned half way
  EXPECT_NE(nav_.revision(), revision);
  EXPECT_NEAR(distance(nav_.position(), {5, 0, 10}), 0, 1e-3);
  Vec3f halfTurned = normalized(Vec3f{-1, 0, -1});
  EXPECT_NEAR(dot(nav_.forward(), halfTurned), 1, 1e-4);
  nav_.bind(boundTo("B"), 101.2);  // there, and the glide is over
  EXPECT_FALSE(nav_.gliding());
  EXPECT_NEAR(distance(nav_.position(), {10, 0, 0}), 0, 1e-4);
  EXPECT_NEAR(dot(nav_.forward(), {-1, 0, 0}), 1, 1e-4);
  // jump TRUE (the default) puts the eye there at once.
  nav_.bind(boundTo("C"), 102);
  EXPECT_FALSE(nav_.gliding());
  EXPECT_NEAR(distance(nav_.position(), {0, 5, 0}), 0, 1e-5);
  // The user's input ends a glide where the eye is.
  nav_.bind(boundTo("B"), 103);
  nav_.bind(boundTo("B"), 103.5);
  nav_.wheel(1);
  EXPECT_FALSE(nav_.gliding());
  Vec3f stopped = nav_.position();
  nav_.bind(boundTo("B"), 104);
  EXPECT_EQ(nav_.position(), stopped);
}

TEST_F(NavigatorTest, TheEyeRidesAlongWithAMovingViewpointKeepingTheUsersOffset) {
  scene_ = parseScene("DEF T Transform { children DEF V Viewpoint { position 0 0 10 } } "
                      "NavigationInfo { type \"WALK\" }");
  nav_.bind(findBindings(scene_.rootNodes()));
  nav_.key(Navigator::Key::Up);  // the user steps forward
  const Vec3f offset = nav_.position() - Vec3f{0, 0, 10};
  ASSERT_LT(offset.z, -0.01f);
  // The vehicle the viewpoint sits in moves: so does the eye.
  *scene_.names.find("T")->editField("translation") = FieldValue{FieldType::SFVec3f, Vec3f{3, 0, 0}};
  nav_.bind(findBindings(scene_.rootNodes()));
  EXPECT_NEAR(distance(nav_.position(), Vec3f{3, 0, 10} + offset), 0, 1e-4);
  // A new position of the viewpoint itself puts the eye back on it.
  *scene_.names.find("V")->editField("position") = FieldValue{FieldType::SFVec3f, Vec3f{0, 0, 4}};
  nav_.bind(findBindings(scene_.rootNodes()));
  EXPECT_NEAR(distance(nav_.position(), {3, 0, 4}), 0, 1e-5);
}

}  // namespace
}  // namespace kestrel
