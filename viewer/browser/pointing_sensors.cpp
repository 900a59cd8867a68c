#include "viewer/browser/pointing_sensors.h"

#include <algorithm>

#include "viewer/browser/render/core/node_fields.h"

namespace kestrel {
namespace {

bool isPointingSensor(const Node& node) {
  return kindOf(node) == NodeKind::TouchSensor || isDragSensor(node);
}

bool isTouchSensor(const NodePtr& node) { return kindOf(*node) == NodeKind::TouchSensor; }

// The nodes a grouping node holds as its children (an Inline: its scene's).
std::vector<NodePtr> childrenOf(const Node& group) {
  if (kindOf(group) == NodeKind::Inline) {
    const auto& inlined = group.extras().inlineScene;
    return inlined ? inlined->rootNodes() : std::vector<NodePtr>{};
  }
  return listOf<NodePtr>(group, "children");
}

void addSensors(const std::vector<NodePtr>& siblings, const Mat4& frame, SensorsReached& out) {
  for (const NodePtr& c : siblings) {
    NodePtr s = actualNodePtr(c);
    if (s && isPointingSensor(*s) && fieldOr(*s, "enabled", true)) out.sensors.push_back({s, frame});
  }
}

bool contains(const std::vector<NodePtr>& nodes, const NodePtr& n) {
  return std::find(nodes.begin(), nodes.end(), n) != nodes.end();
}

std::vector<NodePtr> touchSensorsOf(const SensorsReached& reached) {
  std::vector<NodePtr> touch;
  for (const ReachedSensor& r : reached.sensors)
    if (isTouchSensor(r.sensor)) touch.push_back(r.sensor);
  return touch;
}

void sendBool(const NodePtr& node, std::string_view name, bool value, Cascade& cascade) {
  sendOut(node, name, {FieldType::SFBool, value}, cascade);
}

// The hit as the sensor sees it: point and normal in its coordinates.
void sendHit(const ReachedSensor& r, const PickHit& hit, Cascade& cascade) {
  Vec3f point = r.frame.inverse().transformPoint(hit.point);
  Vec3f normal = normalized(r.frame.transposed().transformDir(hit.normal));
  sendOut(r.sensor, "hitPoint_changed", {FieldType::SFVec3f, point}, cascade);
  sendOut(r.sensor, "hitNormal_changed", {FieldType::SFVec3f, normal}, cascade);
  sendOut(r.sensor, "hitTexCoord_changed", {FieldType::SFVec2f, hit.texCoord}, cascade);
}

}  // namespace

SensorsReached sensorsReached(const PointerSample& sample) {
  const PickHit& hit = sample.hit;
  SensorsReached out;
  if (!hit.hit()) return out;
  // The last two path nodes are the Shape and its geometry.
  for (size_t i = hit.path.size() >= 2 ? hit.path.size() - 2 : 0; i-- > 0;) {
    NodePtr group = actualNodePtr(hit.path[i]);
    if (!group) continue;
    addSensors(childrenOf(*group), hit.frames[i], out);
    if (kindOf(*group) == NodeKind::Anchor) out.anchor = group;
    if (!out.empty()) return out;
  }
  if (sample.roots) addSensors(*sample.roots, Mat4{}, out);
  return out;
}

void PointingSensors::touchOver(const SensorsReached& now, const PointerSample& sample,
                                Cascade& cascade) {
  std::vector<NodePtr> touch = touchSensorsOf(now);
  for (const NodePtr& was : overTouch_)
    if (!contains(touch, was)) sendBool(was, "isOver", false, cascade);
  for (const NodePtr& is : touch)
    if (!contains(overTouch_, is)) sendBool(is, "isOver", true, cascade);
  for (const ReachedSensor& r : now.sensors)
    if (isTouchSensor(r.sensor)) sendHit(r, sample.hit, cascade);
  overTouch_ = std::move(touch);
}

void PointingSensors::move(const PointerSample& sample, Cascade& cascade) {
  if (pressed_) {
    activeMove(sample, cascade);
    return;
  }
  over_ = sensorsReached(sample);
  touchOver(over_, sample, cascade);
}

void PointingSensors::activeMove(const PointerSample& sample, Cascade& cascade) {
  for (ActiveDrag& d : drags_) d.drag.follow(transformRay(sample.ray, d.toLocal), cascade);
  // The pressed TouchSensors still learn whether the pointer is over them.
  SensorsReached now = sensorsReached(sample);
  std::vector<NodePtr> pressedTouch = touchSensorsOf(pressedOn_);
  std::erase_if(now.sensors, [&](const ReachedSensor& r) {
    return !contains(pressedTouch, r.sensor);
  });
  touchOver(now, sample, cascade);
}

bool PointingSensors::press(const PointerSample& sample, Cascade& cascade) {
  if (pressed_) return true;
  over_ = sensorsReached(sample);
  touchOver(over_, sample, cascade);
  if (over_.empty()) return false;
  pressed_ = true;
  pressedOn_ = over_;
  for (const ReachedSensor& r : pressedOn_.sensors) {
    if (isTouchSensor(r.sensor)) {
      sendBool(r.sensor, "isActive", true, cascade);
      continue;
    }
    Mat4 toLocal = r.frame.inverse();
    drags_.push_back({Drag(r.sensor, transformRay(sample.ray, toLocal),
                           toLocal.transformPoint(sample.hit.point), cascade),
                      toLocal});
  }
  return true;
}

NodePtr PointingSensors::release(const PointerSample& sample, Cascade& cascade) {
  if (!pressed_) {
    move(sample, cascade);
    return nullptr;
  }
  for (const ReachedSensor& r : pressedOn_.sensors) {
    if (!isTouchSensor(r.sensor)) continue;
    sendBool(r.sensor, "isActive", false, cascade);
    if (contains(overTouch_, r.sensor))
      sendOut(r.sensor, "touchTime", {FieldType::SFTime, cascade.time()}, cascade);
  }
  for (ActiveDrag& d : drags_) d.drag.finish(cascade);
  drags_.clear();
  pressed_ = false;
  NodePtr anchor = pressedOn_.anchor;
  pressedOn_ = {};
  over_ = sensorsReached(sample);
  touchOver(over_, sample, cascade);
  return anchor && over_.anchor == anchor ? anchor : nullptr;
}

void PointingSensors::reset() {
  over_ = {};
  overTouch_.clear();
  pressed_ = false;
  pressedOn_ = {};
  drags_.clear();
}

}  // namespace kestrel
