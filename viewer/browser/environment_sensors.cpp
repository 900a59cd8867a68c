#include "viewer/browser/environment_sensors.h"

#include <cmath>
#include <unordered_map>

#include "viewer/browser/events.h"
#include "viewer/browser/placed_nodes.h"

namespace kestrel {
namespace {

// What one walk found for one sensor node.
struct Finding {
  bool holds = false;  // the viewer is inside (Proximity) or the box is in view (Visibility)
  Vec3f position;
  Rotation orientation;
};

template <class T>
T valueOr(const Node& n, std::string_view name, T fallback) {
  const FieldValue* v = n.field(name);
  const T* p = v ? v->as<T>() : nullptr;
  return p ? *p : fallback;
}

Mat4 eyeToWorld(const ViewerPose& pose) {
  return Mat4::translation(pose.position) * Mat4::rotation(pose.orientation);
}

bool inBox(Vec3f p, Vec3f center, Vec3f size) {
  if (!(size.x > 0 && size.y > 0 && size.z > 0)) return false;
  Vec3f d = p - center;
  return std::fabs(d.x) <= size.x / 2 && std::fabs(d.y) <= size.y / 2 &&
         std::fabs(d.z) <= size.z / 2;
}

Finding proximity(const Node& n, const Mat4& m, const ViewerPose& pose) {
  Finding f;
  Mat4 local = m.inverse() * eyeToWorld(pose);
  f.position = local.transformPoint({0, 0, 0});
  f.holds = inBox(f.position, valueOr(n, "center", Vec3f{}), valueOr(n, "size", Vec3f{}));
  if (f.holds) f.orientation = axisAngleOf(local);
  return f;
}

void emitChanged(const NodePtr& n, const char* name, FieldValue value, Cascade& c) {
  const FieldValue* now = n->field(name);
  if (now && !sameValue(*now, value)) emitEventOut(n, name, std::move(value), c);
}

void activate(const NodePtr& n, bool active, Cascade& c) {
  n->editExtras().sensorActive = active;
  emitEventOut(n, "isActive", FieldValue{FieldType::SFBool, active}, c);
  emitEventOut(n, active ? "enterTime" : "exitTime", FieldValue{FieldType::SFTime, c.time()}, c);
}

void apply(const NodePtr& n, const Finding& f, Cascade& c) {
  const bool holds = f.holds && valueOr(*n, "enabled", true);
  const bool entering = holds && !n->extras().sensorActive;
  if (entering) activate(n, true, c);
  if (holds && n->type->kind == NodeKind::ProximitySensor) {
    FieldValue position{FieldType::SFVec3f, f.position};
    FieldValue orientation{FieldType::SFRotation, f.orientation};
    if (entering) {
      emitEventOut(n, "position_changed", std::move(position), c);
      emitEventOut(n, "orientation_changed", std::move(orientation), c);
    } else {
      emitChanged(n, "position_changed", std::move(position), c);
      emitChanged(n, "orientation_changed", std::move(orientation), c);
    }
  }
  if (!holds && n->extras().sensorActive) activate(n, false, c);
}

}  // namespace

bool isEnvironmentSensor(const Node& node) {
  return node.type->standard && (node.type->kind == NodeKind::ProximitySensor ||
                                 node.type->kind == NodeKind::VisibilitySensor);
}

bool boxMayBeVisible(Vec3f center, Vec3f size, const Mat4& localToWorld,
                     const ViewerPose& pose) {
  if (!(size.x > 0 && size.y > 0 && size.z > 0)) return false;
  const Mat4 toEye = eyeToWorld(pose).inverse() * localToWorld;
  const float aspect = pose.aspect > 0 ? pose.aspect : 1;
  const float t = std::tan(pose.fieldOfView / 2);
  // Half-angle tangents across the width and the height.
  const float tx = aspect >= 1 ? t * aspect : t;
  const float ty = aspect >= 1 ? t : t / aspect;
  // The box is out of view when all its corners are beyond one plane.
  int beyond[6] = {0, 0, 0, 0, 0, 0};
  for (int c = 0; c < 8; ++c) {
    Vec3f corner{center.x + (c & 1 ? 0.5f : -0.5f) * size.x,
                 center.y + (c & 2 ? 0.5f : -0.5f) * size.y,
                 center.z + (c & 4 ? 0.5f : -0.5f) * size.z};
    Vec3f e = toEye.transformPoint(corner);
    const float depth = -e.z;
    beyond[0] += depth <= 0;
    beyond[1] += pose.visibilityLimit > 0 && depth > pose.visibilityLimit;
    beyond[2] += e.x > depth * tx;
    beyond[3] += e.x < -depth * tx;
    beyond[4] += e.y > depth * ty;
    beyond[5] += e.y < -depth * ty;
  }
  for (int b : beyond)
    if (b == 8) return false;
  return true;
}

void updateEnvironmentSensors(const std::vector<NodePtr>& roots, const ViewerPose& pose,
                              Cascade& cascade) {
  std::vector<NodePtr> order;
  std::unordered_map<const Node*, Finding> found;
  forEachPlacedNode(roots, pose.position, [&](const PlacedNode& placed) {
    const NodePtr& n = placed.node;
    const Mat4& m = placed.toWorld;
    if (!isEnvironmentSensor(*n)) return true;
    auto [at, first] = found.try_emplace(n.get());
    if (first) order.push_back(n);
    if (at->second.holds) return true;  // an earlier place holds the viewer already
    if (n->type->kind == NodeKind::ProximitySensor) {
      at->second = proximity(*n, m, pose);
    } else {
      at->second.holds = boxMayBeVisible(valueOr(*n, "center", Vec3f{}),
                                         valueOr(*n, "size", Vec3f{}), m, pose);
    }
    return true;
  });
  for (const NodePtr& n : order) apply(n, found[n.get()], cascade);
}

}  // namespace kestrel
