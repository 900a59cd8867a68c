// The user's camera in a window: starts at the bound Viewpoint (or the
// default one at 0 0 10 looking down -Z) and moves as the NavigationInfo's
// type allows when the user drags, turns the wheel or presses keys.
//
//   EXAMINE  left drag rotates around the scene centre; middle drag or
//            shift + left drag pans; the wheel or right drag zooms.
//   WALK     left drag moves forward and back in the horizontal plane and
//            turns; arrow keys do the same in steps; right drag or
//            PageUp/PageDown look up and down. The height is kept.
//   FLY      as WALK, but forward is where the eye looks.
// In WALK and FLY, with a CollisionScene given, the eye stops short of
// collidable surfaces (NavigationInfo avatarSize[0] away), and in WALK
// gravity keeps it avatarSize[1] above the ground below it, climbing
// steps up to avatarSize[2] high.
//   NONE     no navigation.
// The first type of the list that is one of these wins; "ANY" alone, an
// empty list or no NavigationInfo at all navigate as EXAMINE.
//
// Plain class, no OpenGL and no window system: input arrives as plain
// numbers (pixels, buttons, modifiers, wheel steps, keys), output is a
// Camera for GlRenderer. Not thread-safe; one owner.
#pragma once

#include <vector>

#include "viewer/browser/render/core/camera.h"
#include "viewer/browser/render/core/collision.h"

namespace kestrel {

class Navigator {
 public:
  enum class Mode { Examine, Walk, Fly, None };
  enum Button : int { kLeft = 1, kMiddle = 2, kRight = 4 };
  enum Modifier : int { kShift = 1, kControl = 2 };
  enum class Key { Up, Down, Left, Right, PageUp, PageDown, Home };

  // Takes up BOUND at time NOW (seconds): a different Viewpoint puts the
  // eye at it, at once when its jump is TRUE, otherwise gliding there over
  // kTransitionSeconds (later calls move it on); a change of the bound
  // Viewpoint's own position, orientation or field of view puts the eye
  // back at it; when only the Transforms above it move, the eye moves with
  // them and keeps the user's offset from it. The NavigationInfo's type,
  // speed and avatar size apply from now on. Call before every frame.
  void bind(const Bindings& bound, double now = 0);
  static constexpr double kTransitionSeconds = 1.0;
  // A glide to a newly bound Viewpoint is under way.
  bool gliding() const { return glideStart_ >= 0; }
  // The scene was replaced: the next bind() returns to the bound viewpoint
  // even when it looks the same.
  void reset() { bound_ = false; }
  // Centre and radius of what the last frame drew (the EXAMINE centre and
  // what "View all" fits).
  void setSceneBounds(Vec3f centre, float radius);
  void setViewport(int width, int height);

  // Mouse: BUTTON pressed at X, Y (pixels, y down); moves while buttons are
  // held; release. MODIFIERS: Modifier bits.
  void press(int button, int x, int y, int modifiers);
  void move(int x, int y, int modifiers);
  void release(int button);
  // Wheel: positive STEPS (one per notch) towards the scene.
  void wheel(float steps);
  // False when the key means nothing in the current mode.
  bool key(Key key);
  // Fits the scene's bounding sphere into the view, keeping the direction.
  void viewAll();

  // The surfaces the eye may not pass in WALK and FLY (null: none); SCENE
  // must live while it is set.
  void setCollisionScene(const CollisionScene* scene) { collision_ = scene; }
  // Lets gravity act in WALK: the eye comes to rest avatarSize[1] above the
  // ground below it. Call once a frame after setCollisionScene.
  void settle();
  // The Collision groups (null: outside any) the eye ran into since the
  // last call.
  std::vector<const Node*> takeCollisions();

  Mode mode() const { return mode_; }
  Vec3f position() const { return position_; }
  Vec3f centre() const { return pivot_; }
  Vec3f forward() const { return axis(2) * -1.0f; }
  Vec3f up() const { return axis(1); }
  float fieldOfView() const { return fov_; }
  Mat4 eyeToWorld() const;
  Mat4 view() const { return eyeToWorld().inverse(); }
  // Changes each time the eye moves (to know when to draw again).
  unsigned revision() const { return revision_; }

  // The camera for a WIDTH x HEIGHT frame; the depth range encloses the
  // sphere (CENTRE, RADIUS). Has the shape of GlRenderer's camera source.
  Camera camera(const Bindings& bound, int width, int height, Vec3f centre, float radius) const;

 private:
  // Eye axis I (0 right, 1 up, 2 back) in the world.
  Vec3f axis(int i) const;
  void turn(const Mat4& rotation, Vec3f around);
  void examineDrag(int dx, int dy, int buttons, int modifiers);
  void travelDrag(int dx, int dy, int buttons, int modifiers);
  void walk(float distance);
  void look(float yaw, float pitch);
  void zoom(float factor);
  void pan(float dx, float dy);
  float stepLength() const;
  void placeEye(const Mat4& place);
  // Whether an eye at P would be closer than the avatar to a surface.
  bool blocked(Vec3f p);
  void glide(double now);
  void stopGliding() { glideStart_ = -1; }

  // Identity of the viewpoint taken up last: node, placement, field of view.
  const Node* viewpoint_ = nullptr;
  Mat4 viewpointPlace_;
  Mat4 viewpointLocal_;
  float viewpointFov_ = 0;
  // A glide: from this eye to the viewpoint's place, starting at glideStart_.
  Vec3f glideFrom_;
  Mat4 glideFromBasis_;
  double glideStart_ = -1;
  bool bound_ = false;

  const CollisionScene* collision_ = nullptr;
  std::vector<const Node*> collisions_;
  float avatarRadius_ = 0.25f, avatarHeight_ = 1.6f, avatarStep_ = 0.75f;

  Mode mode_ = Mode::Examine;
  float speed_ = 1;
  Vec3f worldUp_{0, 1, 0};
  Vec3f position_{0, 0, 10};
  Mat4 basis_;  // rotation only: eye axes in the world
  float fov_ = 0.785398f;
  Vec3f pivot_;
  bool pivotFollowsScene_ = true;
  Vec3f sceneCentre_;
  float sceneRadius_ = 1;
  int width_ = 1, height_ = 1;
  int buttons_ = 0, lastX_ = 0, lastY_ = 0;
  unsigned revision_ = 0;
};

}  // namespace kestrel
