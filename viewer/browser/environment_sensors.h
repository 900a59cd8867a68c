// The sensors that watch the viewer: ProximitySensor and VisibilitySensor.
//
// ProximitySensor: while the viewer is inside its box (center, size, in the
// sensor's coordinates; a box with a side of 0 never holds it) it is
// active: isActive TRUE and enterTime on entering, position_changed and
// orientation_changed (the viewer in the sensor's coordinates) whenever
// they change, isActive FALSE and exitTime on leaving or when disabled.
// VisibilitySensor: active while any part of its box may be in the view
// frustum (isActive, enterTime, exitTime). A sensor used in several places
// counts where it holds (or sees) the viewer first. Window thread only.
#pragma once

#include <vector>

#include "viewer/browser/render/core/math3d.h"
#include "viewer/browser/node.h"

namespace kestrel {

class Cascade;

// Where the viewer is and what it sees.
struct ViewerPose {
  Vec3f position{0, 0, 10};          // world
  Rotation orientation{0, 0, 1, 0};  // world; the eye looks down its -Z
  float fieldOfView = 0.785398f;     // radians, across the view's smaller side
  float aspect = 1;                  // width / height of the view
  float visibilityLimit = 0;         // farthest visible distance; 0: none
};

// True for the node kinds updateEnvironmentSensors acts on.
bool isEnvironmentSensor(const Node& node);

// Evaluates every ProximitySensor and VisibilitySensor under ROOTS for the
// viewer at POSE, sending their events into CASCADE.
void updateEnvironmentSensors(const std::vector<NodePtr>& roots, const ViewerPose& pose,
                              Cascade& cascade);

// Whether the box (CENTER, SIZE) placed by LOCALTOWORLD may be seen from POSE.
bool boxMayBeVisible(Vec3f center, Vec3f size, const Mat4& localToWorld, const ViewerPose& pose);

}  // namespace kestrel
