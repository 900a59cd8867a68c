// Walking and flying among collidable geometry: walls stop the eye at the
// avatar's distance and tell their Collision group, collide FALSE and
// proxies are respected, and gravity in WALK lands the eye on the floor
// and carries it up a step.
#include "viewer/browser/render/core/collision.h"

#include <gtest/gtest.h>

#include "viewer/browser/render/core/navigator.h"
#include "viewer/browser/render/core/test_scene.h"
#include "viewer/browser/render/core/traversal.h"

namespace kestrel {
namespace {

constexpr const char* kRoom = R"(
Viewpoint { position 0 3 0 }
NavigationInfo { type "WALK" avatarSize [ 0.5 1.6 0.75 ] }
Transform { translation 0 -0.5 0 children Shape { geometry Box { size 40 1 40 } } }
DEF W Collision { children Transform { translation 0 2 -5 children
  Shape { geometry Box { size 20 4 0.2 } } } }
Collision { collide FALSE children Transform { translation 0 2 5 children
  Shape { geometry Box { size 20 4 0.2 } } } }
DEF P Collision {
  proxy Transform { translation -3 2 0 children Shape { geometry Box { size 0.2 4 20 } } }
  children Transform { translation 3 2 0 children Shape { geometry Box { size 0.2 4 20 } } } }
)";

class CollisionTest : public ::testing::Test {
 protected:
  void load(const char* text) {
    scene_ = parseScene(text);
    nav_.setViewport(400, 300);
    nav_.setSceneBounds({0, 0, 0}, 2);  // a key step is a quarter metre
    nav_.bind(findBindings(scene_.rootNodes()));
    collision_.build(scene_.rootNodes(), nav_.position());
    nav_.setCollisionScene(&collision_);
    nav_.settle();
  }
  void press(Navigator::Key key, int times) {
    for (int i = 0; i < times; ++i) nav_.key(key);
  }
  const Node* named(const char* name) { return scene_.names.find(name).get(); }

  Scene scene_;
  CollisionScene collision_;
  Navigator nav_;
};

TEST_F(CollisionTest, WallsStopTheWalkAndGravityHoldsTheEyeAboveTheFloor) {
  load(kRoom);
  EXPECT_NEAR(nav_.position().y, 1.6f, 1e-3);  // fell from 3 onto the floor
  EXPECT_TRUE(nav_.takeCollisions().empty());

  press(Navigator::Key::Up, 40);  // ten metres towards the wall at z = -5
  EXPECT_NEAR(nav_.position().z, -5 + 0.1f + 0.5f, 0.02f);  // stopped an avatar short
  EXPECT_NEAR(nav_.position().y, 1.6f, 1e-3);
  std::vector<const Node*> hits = nav_.takeCollisions();
  ASSERT_FALSE(hits.empty());
  EXPECT_EQ(hits.front(), named("W"));

  press(Navigator::Key::Down, 60);  // back through the wall that does not collide
  EXPECT_GT(nav_.position().z, 5.5f);
  EXPECT_TRUE(nav_.takeCollisions().empty());
}

TEST_F(CollisionTest, AProxyCollidesInsteadOfTheChildren) {
  load(kRoom);
  press(Navigator::Key::Left, 18);  // a quarter turn: facing -X
  EXPECT_NEAR(nav_.forward().x, -1, 1e-3);
  press(Navigator::Key::Up, 30);
  EXPECT_NEAR(nav_.position().x, -3 + 0.1f + 0.5f, 0.02f);
  std::vector<const Node*> hits = nav_.takeCollisions();
  ASSERT_FALSE(hits.empty());
  EXPECT_EQ(hits.front(), named("P"));
  press(Navigator::Key::Down, 40);  // the drawn wall at x = 3 lets the eye through
  EXPECT_GT(nav_.position().x, 4);
}

TEST_F(CollisionTest, WalkingClimbsAStepAndFlyingStopsWithoutFalling) {
  load(R"(Viewpoint { position 0 1.6 0 }
          NavigationInfo { type "WALK" }
          Transform { translation 0 -0.5 0 children Shape { geometry Box { size 40 1 40 } } }
          Transform { translation 0 0.25 -3 children Shape { geometry Box { size 4 0.5 2 } } }
          Transform { translation 0 2 -8 children Shape { geometry Box { size 4 4 0.2 } } })");
  press(Navigator::Key::Up, 12);  // onto the step (its top at 0.5)
  EXPECT_NEAR(nav_.position().z, -3, 0.2f);
  EXPECT_NEAR(nav_.position().y, 2.1f, 1e-3);
  press(Navigator::Key::Up, 8);  // off again
  EXPECT_NEAR(nav_.position().y, 1.6f, 1e-3);

  load(R"(Viewpoint { position 0 6 0 }
          NavigationInfo { type "FLY" }
          Transform { translation 0 -0.5 0 children Shape { geometry Box { size 40 1 40 } } }
          Transform { translation 0 6 -5 children Shape { geometry Box { size 4 4 0.2 } } })");
  EXPECT_NEAR(nav_.position().y, 6, 1e-5);  // no gravity in FLY
  press(Navigator::Key::Up, 40);
  EXPECT_NEAR(nav_.position().z, -5 + 0.1f + 0.25f, 0.02f);
  EXPECT_FALSE(nav_.takeCollisions().empty());
}

TEST_F(CollisionTest, AnEyeStartingInsideAWallCanLeaveIt) {
  load(R"(Viewpoint { position 0 0 0 }
          NavigationInfo { type "FLY" }
          Transform { translation 0 0 -0.1 children Shape { geometry Box { size 4 4 0.6 } } })");
  press(Navigator::Key::Up, 4);
  EXPECT_NEAR(nav_.position().z, -1, 1e-4);
}

}  // namespace
}  // namespace kestrel
