#include "viewer/browser/render/core/navigator.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/render_keys.h"

namespace kestrel {
namespace {

constexpr float kPi = 3.14159265f;

Navigator::Mode modeOf(const Node* info) {
  if (info == nullptr) return Navigator::Mode::Examine;
  for (const std::string& type : listOf<std::string>(*info, renderKeys().navigationInfo.type)) {
    if (type == "EXAMINE" || type == "ANY") return Navigator::Mode::Examine;
    if (type == "WALK") return Navigator::Mode::Walk;
    if (type == "FLY") return Navigator::Mode::Fly;
    if (type == "NONE") return Navigator::Mode::None;
  }
  return Navigator::Mode::Examine;
}

// A rotation matrix whose columns are X, Y, Z.
Mat4 basisOf(Vec3f x, Vec3f y, Vec3f z) {
  Mat4 m;
  const Vec3f cols[3] = {x, y, z};
  for (int c = 0; c < 3; ++c) {
    m.at(0, c) = cols[c].x;
    m.at(1, c) = cols[c].y;
    m.at(2, c) = cols[c].z;
  }
  return m;
}

Mat4 rotationAbout(Vec3f axis, float angle) {
  return Mat4::rotation({axis.x, axis.y, axis.z, angle});
}

bool samePlace(const Mat4& a, const Mat4& b) { return a.m == b.m; }

// The bound viewpoint's own position and orientation, without what is above it.
Mat4 viewpointLocal(const Bindings& bound) {
  if (!bound.viewpoint) return Mat4{};
  const auto& k = renderKeys().viewpoint;
  return Mat4::translation(fieldOr(*bound.viewpoint, k.position, Vec3f{0, 0, 10})) *
         Mat4::rotation(fieldOr(*bound.viewpoint, k.orientation, Rotation{}));
}

}  // namespace

void Navigator::bind(const Bindings& bound, double now) {
  const Node* info = bound.navigationInfo;
  mode_ = modeOf(info);
  speed_ = info ? fieldOr(*info, renderKeys().navigationInfo.speed, 1.0f) : 1.0f;
  // Speed 0 keeps the eye in place (it may still turn); nonsense means 1.
  if (!(speed_ >= 0) || !std::isfinite(speed_)) speed_ = 1;
  const std::vector<float> none;
  const auto& avatar = info ? listOf<float>(*info, renderKeys().navigationInfo.avatarSize) : none;
  auto size = [&](size_t i, float fallback) {
    return i < avatar.size() && avatar[i] >= 0 && std::isfinite(avatar[i]) ? avatar[i] : fallback;
  };
  avatarRadius_ = size(0, 0.25f);
  avatarHeight_ = size(1, 1.6f);
  avatarStep_ = size(2, 0.75f);
  Mat4 place = boundEyeToWorld(bound);
  float fov = boundFieldOfView(bound);
  const bool sameNode = bound_ && bound.viewpoint == viewpoint_;
  if (sameNode && samePlace(place, viewpointPlace_) && fov == viewpointFov_) {
    if (gliding()) glide(now);
    return;
  }
  const Mat4 local = viewpointLocal(bound);
  const bool onlyCarried = sameNode && fov == viewpointFov_ && samePlace(local, viewpointLocal_);
  const bool glides = bound_ && !sameNode && bound.viewpoint &&
                      !fieldOr(*bound.viewpoint, renderKeys().viewpoint.jump, true);
  const Mat4 oldPlace = viewpointPlace_;
  bound_ = true;
  viewpoint_ = bound.viewpoint;
  viewpointPlace_ = place;
  viewpointLocal_ = local;
  viewpointFov_ = fov;
  fov_ = fov;
  worldUp_ = normalized(bound.viewpointMatrix.transformDir({0, 1, 0}));
  if (length(worldUp_) < 0.5f) worldUp_ = {0, 1, 0};
  if (onlyCarried) {
    // The user's eye rides along with the viewpoint's coordinate system.
    placeEye(place * oldPlace.inverse() * eyeToWorld());
    if (gliding()) glide(now);
    return;
  }
  glideFrom_ = position_;
  glideFromBasis_ = basis_;
  placeEye(place);
  pivotFollowsScene_ = true;
  pivot_ = sceneCentre_;
  stopGliding();
  if (glides) {
    glideStart_ = now;
    glide(now);
  }
}

void Navigator::placeEye(const Mat4& place) {
  // The placement may scale; the eye keeps only its position and axes.
  position_ = place.transformPoint({0, 0, 0});
  Vec3f z = normalized(place.transformDir({0, 0, 1}));
  Vec3f y = normalized(place.transformDir({0, 1, 0}));
  Vec3f x = normalized(cross(y, z));
  y = cross(z, x);
  basis_ = basisOf(x, y, z);
  ++revision_;
}

void Navigator::glide(double now) {
  // Where the glide ends: the viewpoint's place.
  const Mat4 end = viewpointPlace_;
  double t = std::clamp((now - glideStart_) / kTransitionSeconds, 0.0, 1.0);
  // Eased: starts and stops gently.
  const float s = float(t * t * (3 - 2 * t));
  placeEye(end);
  const Vec3f to = position_;
  const Mat4 toBasis = basis_;
  Rotation turn = axisAngleOf(toBasis * glideFromBasis_.transposed());
  turn.angle *= s;
  basis_ = Mat4::rotation(turn) * glideFromBasis_;
  position_ = glideFrom_ + (to - glideFrom_) * s;
  if (t >= 1) {
    basis_ = toBasis;
    stopGliding();
  }
}

void Navigator::setSceneBounds(Vec3f centre, float radius) {
  sceneCentre_ = centre;
  sceneRadius_ = radius > 0 && std::isfinite(radius) ? radius : 1;
  if (pivotFollowsScene_) pivot_ = centre;
}

void Navigator::setViewport(int width, int height) {
  width_ = std::max(width, 1);
  height_ = std::max(height, 1);
}

Vec3f Navigator::axis(int i) const {
  return basis_.transformDir({i == 0 ? 1.f : 0, i == 1 ? 1.f : 0, i == 2 ? 1.f : 0});
}

Mat4 Navigator::eyeToWorld() const { return Mat4::translation(position_) * basis_; }

Camera Navigator::camera(const Bindings& bound, int width, int height, Vec3f centre,
                         float radius) const {
  return cameraAt(eyeToWorld(), fov_, bound, width, height, centre, radius);
}

void Navigator::press(int button, int x, int y, int) {
  stopGliding();  // the user takes over where the eye is
  buttons_ |= button;
  lastX_ = x;
  lastY_ = y;
}

void Navigator::release(int button) { buttons_ &= ~button; }

void Navigator::move(int x, int y, int modifiers) {
  int dx = x - lastX_, dy = y - lastY_;
  lastX_ = x;
  lastY_ = y;
  if (buttons_ == 0 || (dx == 0 && dy == 0)) return;
  if (mode_ == Mode::Examine) examineDrag(dx, dy, buttons_, modifiers);
  if (mode_ == Mode::Walk || mode_ == Mode::Fly) travelDrag(dx, dy, buttons_, modifiers);
}

void Navigator::examineDrag(int dx, int dy, int buttons, int modifiers) {
  if ((buttons & kMiddle) || ((buttons & kLeft) && (modifiers & kShift))) {
    pan(float(dx), float(dy));
  } else if (buttons & kLeft) {
    // A drag across the whole height turns the scene half round.
    float yaw = -float(dx) / float(height_) * kPi;
    float pitch = -float(dy) / float(height_) * kPi;
    turn(rotationAbout(worldUp_, yaw) * rotationAbout(axis(0), pitch), pivot_);
  } else if (buttons & kRight) {
    zoom(std::pow(0.99f, float(-dy)));
  }
}

void Navigator::travelDrag(int dx, int dy, int buttons, int modifiers) {
  if (buttons & kMiddle) {
    pan(float(dx), float(dy));
  } else if ((buttons & kRight) || ((buttons & kLeft) && (modifiers & kShift))) {
    look(-float(dx) / float(height_) * kPi / 2, -float(dy) / float(height_) * kPi / 2);
  } else if (buttons & kLeft) {
    // A drag across the whole height moves ten steps.
    walk(-float(dy) / float(height_) * 10 * stepLength());
    look(-float(dx) / float(height_) * kPi / 2, 0);
  }
}

void Navigator::wheel(float steps) {
  stopGliding();
  if (mode_ == Mode::Examine) zoom(std::pow(0.85f, steps));
  if (mode_ == Mode::Walk || mode_ == Mode::Fly) walk(steps * stepLength());
}

bool Navigator::key(Key key) {
  if (mode_ == Mode::None) return false;
  stopGliding();
  if (key == Key::Home) {
    viewAll();
    return true;
  }
  const float turnStep = 5 * kPi / 180;
  bool examine = mode_ == Mode::Examine;
  switch (key) {
    case Key::Up:
      if (examine) turn(rotationAbout(axis(0), turnStep), pivot_);
      else walk(stepLength());
      return true;
    case Key::Down:
      if (examine) turn(rotationAbout(axis(0), -turnStep), pivot_);
      else walk(-stepLength());
      return true;
    case Key::Left:
      if (examine) turn(rotationAbout(worldUp_, turnStep), pivot_);
      else look(turnStep, 0);
      return true;
    case Key::Right:
      if (examine) turn(rotationAbout(worldUp_, -turnStep), pivot_);
      else look(-turnStep, 0);
      return true;
    case Key::PageUp:
      if (examine) zoom(0.85f);
      else look(0, turnStep);
      return true;
    case Key::PageDown:
      if (examine) zoom(1 / 0.85f);
      else look(0, -turnStep);
      return true;
    default: return false;
  }
}

void Navigator::viewAll() {
  // The sphere touches the sides of the narrower field of view.
  float distance = sceneRadius_ / std::sin(fov_ / 2);
  position_ = sceneCentre_ - forward() * distance;
  pivot_ = sceneCentre_;
  pivotFollowsScene_ = true;
  ++revision_;
}

void Navigator::turn(const Mat4& rotation, Vec3f around) {
  position_ = around + rotation.transformDir(position_ - around);
  Vec3f z = normalized(rotation.transformDir(axis(2)));
  Vec3f y = normalized(rotation.transformDir(axis(1)));
  Vec3f x = normalized(cross(y, z));
  basis_ = basisOf(x, cross(z, x), z);
  ++revision_;
}

void Navigator::walk(float distance) {
  Vec3f ahead = forward();
  if (mode_ == Mode::Walk) {
    // Along the ground: forward without its vertical part.
    ahead = ahead - worldUp_ * dot(ahead, worldUp_);
    if (length(ahead) < 1e-4f) ahead = up() - worldUp_ * dot(up(), worldUp_);
    ahead = normalized(ahead);
  }
  // An eye already inside a surface (placed there by a viewpoint) may move
  // out of it rather than stay stuck.
  const bool colliding = collision_ && (mode_ == Mode::Walk || mode_ == Mode::Fly) &&
                         !collision_->touches(position_, avatarRadius_);
  if (!colliding) {
    position_ = position_ + ahead * distance;
    ++revision_;
    return;
  }
  // In steps no longer than half the avatar, so no wall is stepped over.
  const float stride = std::max(avatarRadius_ / 2, 1e-3f);
  const int steps = std::min(1000, int(std::ceil(std::fabs(distance) / stride)));
  const Vec3f step = ahead * (distance / float(steps));
  for (int i = 0; i < steps; ++i) {
    if (blocked(position_ + step)) {
      // Up to the surface: the farthest part of the step that is free.
      float free = 0, stuck = 1;
      for (int k = 0; k < 8; ++k) {
        float mid = (free + stuck) / 2;
        if (collision_->touches(position_ + step * mid, avatarRadius_)) stuck = mid;
        else free = mid;
      }
      position_ = position_ + step * free;
      break;
    }
    position_ = position_ + step;
    if (mode_ == Mode::Walk) settle();
  }
  ++revision_;
}

bool Navigator::blocked(Vec3f p) {
  const Node* group = nullptr;
  bool hit = collision_->touches(p, avatarRadius_, &group);
  // Walking, the body below the eye collides too, from the knees up (what
  // is lower is a step to climb).
  const float knee = avatarHeight_ - avatarStep_;
  if (!hit && mode_ == Mode::Walk && knee > avatarRadius_) {
    for (float down = avatarRadius_; down <= knee && !hit; down += avatarRadius_)
      hit = collision_->touches(p - worldUp_ * down, avatarRadius_, &group);
  }
  if (hit && (collisions_.empty() || collisions_.back() != group)) collisions_.push_back(group);
  return hit;
}

void Navigator::settle() {
  if (!collision_ || mode_ != Mode::Walk || gliding()) return;
  float ground = 0;
  // Looking from the knees down, so a step up is found and climbed.
  const float reach = avatarHeight_ + std::max(sceneRadius_ * 4, 100.0f);
  const Vec3f from = position_ - worldUp_ * (avatarHeight_ - avatarStep_);
  if (!collision_->groundBelow(from, worldUp_, reach, ground)) return;
  const float above = ground + (avatarHeight_ - avatarStep_);  // the eye's height over it
  if (std::fabs(above - avatarHeight_) < 1e-4f) return;
  position_ = position_ - worldUp_ * (above - avatarHeight_);
  ++revision_;
}

std::vector<const Node*> Navigator::takeCollisions() {
  std::vector<const Node*> out;
  out.swap(collisions_);
  return out;
}

void Navigator::look(float yaw, float pitch) {
  turn(rotationAbout(worldUp_, yaw) * rotationAbout(axis(0), pitch), position_);
}

void Navigator::zoom(float factor) {
  Vec3f offset = position_ - pivot_;
  float distance = length(offset);
  float least = sceneRadius_ * 1e-3f;
  if (distance * factor < least) factor = distance > least ? least / distance : 1;
  position_ = pivot_ + offset * factor;
  ++revision_;
}

void Navigator::pan(float dx, float dy) {
  // A point at the centre's depth follows the pointer.
  float depth = std::max(dot(pivot_ - position_, forward()), sceneRadius_ * 1e-3f);
  float perPixel = 2 * depth * std::tan(fov_ / 2) / float(std::min(width_, height_));
  Vec3f shift = axis(0) * (-dx * perPixel) + axis(1) * (dy * perPixel);
  position_ = position_ + shift;
  pivot_ = pivot_ + shift;
  pivotFollowsScene_ = false;
  ++revision_;
}

float Navigator::stepLength() const {
  // Speed is metres per second; a step is a quarter second, and a large
  // scene is crossed in as many steps as a small one.
  return speed_ * 0.25f * std::max(1.0f, sceneRadius_ / 4);
}

}  // namespace kestrel
