// Unit quaternions for turning VRML rotations (axis and angle) into one
// another: composing them and blending between them.
#pragma once

#include "viewer/browser/field_value.h"

namespace kestrel {

struct Quat {
  double w = 1, x = 0, y = 0, z = 0;
};

// The quaternion of R (identity for a zero axis).
Quat toQuat(const Rotation& r);
// Back to axis and angle (angle in [0, 2 pi]); 0 0 1 0 for the identity.
Rotation toRotation(const Quat& q);
// A then B: the quaternion of turning by A first, then by B.
Quat operator*(const Quat& b, const Quat& a);
// The rotation that turns by FIRST and then by THEN.
Rotation followedBy(const Rotation& first, const Rotation& then);

}  // namespace kestrel
