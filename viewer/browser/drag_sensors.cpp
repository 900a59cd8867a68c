#include "viewer/browser/drag_sensors.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "viewer/browser/quaternion.h"
#include "viewer/browser/render/core/node_fields.h"

namespace kestrel {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// The nearer crossing of RAY with the circle or sphere of radius R about
// the origin, in the coordinates MASK keeps (1 keeps, 0 drops an axis);
// the point of the ray nearest the centre, pushed out to R, when it misses.
Vec3f roundTrack(const PickRay& ray, float r, Vec3f mask) {
  auto keep = [&mask](Vec3f v) { return Vec3f{v.x * mask.x, v.y * mask.y, v.z * mask.z}; };
  Vec3f o = keep(ray.origin), d = keep(ray.direction);
  float a = dot(d, d), b = 2 * dot(o, d), c = dot(o, o) - r * r;
  float disc = b * b - 4 * a * c;
  float t;
  if (a < 1e-12f) {
    t = 0;
  } else if (disc < 0) {
    t = -dot(o, d) / a;
    Vec3f near = o + d * t;
    Vec3f out = normalized(near) * r;
    Vec3f full = ray.origin + ray.direction * t;
    return {mask.x != 0 ? out.x : full.x, mask.y != 0 ? out.y : full.y,
            mask.z != 0 ? out.z : full.z};
  } else {
    float root = std::sqrt(disc);
    t = (-b - root) / (2 * a);
    if (t < 0) t = (-b + root) / (2 * a);
  }
  return ray.origin + ray.direction * t;
}

// Where RAY crosses the plane AXIS = VALUE (AXIS 1: y, 2: z); false when it
// runs along it or the crossing is behind the eye.
bool planeTrack(const PickRay& ray, int axis, float value, Vec3f& track) {
  float o = axis == 1 ? ray.origin.y : ray.origin.z;
  float d = axis == 1 ? ray.direction.y : ray.direction.z;
  if (std::fabs(d) < 1e-9f) return false;
  float t = (value - o) / d;
  if (t < 0) return false;
  track = ray.origin + ray.direction * t;
  return true;
}

float clampIfOrdered(float v, float lo, float hi) { return lo <= hi ? std::clamp(v, lo, hi) : v; }

// The angle about +Y of the point P (0 on +Z, growing towards +X).
float angleAboutY(Vec3f p) { return std::atan2(p.x, p.z); }

}  // namespace

bool isDragSensor(const Node& node) {
  NodeKind k = kindOf(node);
  return k == NodeKind::PlaneSensor || k == NodeKind::SphereSensor ||
         k == NodeKind::CylinderSensor;
}

void sendOut(const NodePtr& node, std::string_view name, FieldValue value, Cascade& cascade) {
  int i = node->type->findField(name);
  if (i < 0 || node->type->fields[size_t(i)].type != value.type) return;
  node->editValue(size_t(i)) = value;
  cascade.emit(node, i, std::move(value));
}

Drag::Drag(NodePtr sensor, const PickRay& ray, Vec3f hit, Cascade& cascade)
    : sensor_(std::move(sensor)), start_(hit) {
  switch (kindOf(*sensor_)) {
    case NodeKind::SphereSensor:
      shape_ = Shape::Sphere;
      radius_ = length(hit);
      break;
    case NodeKind::CylinderSensor: {
      radius_ = std::sqrt(hit.x * hit.x + hit.z * hit.z);
      float along = std::fabs(normalized(ray.direction).y);
      float diskAngle = fieldOr(*sensor_, "diskAngle", 0.262f);
      shape_ = std::acos(std::min(along, 1.0f)) < diskAngle ? Shape::Disk : Shape::Cylinder;
      break;
    }
    default: shape_ = Shape::Plane; break;
  }
  sendOut(sensor_, "isActive", {FieldType::SFBool, true}, cascade);
}

bool Drag::trackPoint(const PickRay& ray, Vec3f& track) const {
  switch (shape_) {
    case Shape::Plane: return planeTrack(ray, 2, start_.z, track);
    case Shape::Disk: return planeTrack(ray, 1, start_.y, track);
    case Shape::Sphere: track = roundTrack(ray, radius_, {1, 1, 1}); return true;
    case Shape::Cylinder: track = roundTrack(ray, radius_, {1, 0, 1}); return true;
  }
  return false;
}

void Drag::follow(const PickRay& ray, Cascade& cascade) {
  Vec3f track;
  if (!trackPoint(ray, track)) return;
  sendOut(sensor_, "trackPoint_changed", {FieldType::SFVec3f, track}, cascade);
  switch (shape_) {
    case Shape::Plane: followPlane(track, cascade); break;
    case Shape::Sphere: followTurn(track, cascade); break;
    default: followAxis(track, cascade); break;
  }
}

void Drag::followPlane(Vec3f track, Cascade& cascade) {
  const Node& s = *sensor_;
  Vec3f t = fieldOr(s, "offset", Vec3f{}) + (track - start_);
  Vec2f lo = fieldOr(s, "minPosition", Vec2f{0, 0});
  Vec2f hi = fieldOr(s, "maxPosition", Vec2f{-1, -1});
  t.x = clampIfOrdered(t.x, lo.x, hi.x);
  t.y = clampIfOrdered(t.y, lo.y, hi.y);
  last_ = {FieldType::SFVec3f, t};
  sendOut(sensor_, "translation_changed", last_, cascade);
}

void Drag::followTurn(Vec3f track, Cascade& cascade) {
  Vec3f from = normalized(start_), to = normalized(track);
  Vec3f axis = cross(from, to);
  float angle = std::atan2(length(axis), dot(from, to));
  Rotation turn = length(axis) < 1e-9f ? Rotation{0, 1, 0, 0}
                                        : Rotation{axis.x, axis.y, axis.z, angle};
  Rotation offset = fieldOr(*sensor_, "offset", Rotation{0, 1, 0, 0});
  last_ = {FieldType::SFRotation, followedBy(offset, turn)};
  sendOut(sensor_, "rotation_changed", last_, cascade);
}

void Drag::followAxis(Vec3f track, Cascade& cascade) {
  // Unwrapped against the last turn, so a drag round the back keeps going.
  float turn = angleAboutY(track) - angleAboutY(start_);
  while (turn - lastAngle_ > kPi) turn -= 2 * kPi;
  while (turn - lastAngle_ < -kPi) turn += 2 * kPi;
  lastAngle_ = turn;
  const Node& s = *sensor_;
  float angle = clampIfOrdered(fieldOr(s, "offset", 0.0f) + turn, fieldOr(s, "minAngle", 0.0f),
                               fieldOr(s, "maxAngle", -1.0f));
  last_ = {FieldType::SFRotation, Rotation{0, 1, 0, angle}};
  sendOut(sensor_, "rotation_changed", last_, cascade);
}

void Drag::finish(Cascade& cascade) {
  sendOut(sensor_, "isActive", {FieldType::SFBool, false}, cascade);
  if (!fieldOr(*sensor_, "autoOffset", true) || last_.type == FieldType::SFBool) return;
  if (kindOf(*sensor_) == NodeKind::CylinderSensor) {
    sendOut(sensor_, "offset", {FieldType::SFFloat, last_.as<Rotation>()->angle}, cascade);
  } else {
    sendOut(sensor_, "offset", last_, cascade);
  }
}

}  // namespace kestrel
