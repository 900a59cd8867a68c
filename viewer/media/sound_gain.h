// How loud a Sound is where the listener stands: VRML97's two ellipsoids.
//
// Both ellipsoids have one focus at the Sound's location and their long
// axis along its direction, reaching minFront/maxFront ahead and
// minBack/maxBack behind. Inside the inner one the sound plays at its
// intensity; between them it falls linearly in decibels to -20 dB at the
// outer one; outside it is silent. Plain arithmetic, no device.
#pragma once

#include "viewer/browser/field_value.h"

namespace kestrel {

struct SoundShape {
  Vec3f location{0, 0, 0};
  Vec3f direction{0, 0, 1};
  float minFront = 1, maxFront = 10, minBack = 1, maxBack = 10;
  float intensity = 1;
};

// The amplitude factor (0..intensity) at LISTENER, given in the Sound's
// own coordinates.
float soundGain(const SoundShape& shape, Vec3f listener);

}  // namespace kestrel
