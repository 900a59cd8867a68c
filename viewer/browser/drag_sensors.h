// The drag sensors: PlaneSensor, SphereSensor and CylinderSensor. A drag
// starts where the pointer pressed on the sensor's geometry and follows
// the pointer's ray, all in the sensor's own coordinate system:
// - PlaneSensor moves in the plane z = (pressed point's z): the
//   translation is offset + (track point - pressed point), x and y clamped
//   to [minPosition, maxPosition] where min <= max.
// - SphereSensor turns about its origin on the sphere through the pressed
//   point: the rotation from the pressed point to the track point, after
//   offset.
// - CylinderSensor turns about its Y axis: on the cylinder through the
//   pressed point, or on a disk (the plane y = pressed y) when the pressed
//   ray looks along the axis within diskAngle; the angle is offset plus
//   the turn, clamped to [minAngle, maxAngle] where min <= max.
// A release with autoOffset TRUE keeps the last value as the new offset.
#pragma once

#include "viewer/browser/events.h"
#include "viewer/browser/render/core/picking.h"

namespace kestrel {

// True for the three node types above (built-in, not PROTO types).
bool isDragSensor(const Node& node);

class Drag {
 public:
  // SENSOR (enabled) is pressed: RAY is the pointer's ray and HIT the
  // pressed point, both in the sensor's coordinate system. Sends isActive.
  Drag(NodePtr sensor, const PickRay& ray, Vec3f hit, Cascade& cascade);

  // The pointer's ray moved to RAY (sensor coordinates): sends
  // trackPoint_changed and translation_changed or rotation_changed.
  void follow(const PickRay& ray, Cascade& cascade);
  // The button came up: isActive FALSE, and the offset when autoOffset.
  void finish(Cascade& cascade);

  const NodePtr& sensor() const { return sensor_; }

 private:
  enum class Shape { Plane, Sphere, Cylinder, Disk };
  void followPlane(Vec3f track, Cascade& cascade);
  void followTurn(Vec3f track, Cascade& cascade);
  void followAxis(Vec3f track, Cascade& cascade);
  bool trackPoint(const PickRay& ray, Vec3f& track) const;

  NodePtr sensor_;
  Shape shape_ = Shape::Plane;
  Vec3f start_;         // pressed point
  float radius_ = 0;    // of the sphere or cylinder
  FieldValue last_;     // the last translation or rotation sent (none yet: SFBool)
  float lastAngle_ = 0;
};

// Sends VALUE out of eventOut (or exposedField) NAME of NODE, keeping it as
// the member's value. Nothing when NODE has no such member of that type.
void sendOut(const NodePtr& node, std::string_view name, FieldValue value, Cascade& cascade);

}  // namespace kestrel
