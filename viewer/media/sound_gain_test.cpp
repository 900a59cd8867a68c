// The Sound ellipsoids: full intensity inside the inner one, -20 dB at the
// outer one falling linearly in decibels between, silence outside; the
// front reaching further than the back along the direction.
#include "viewer/media/sound_gain.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kestrel {
namespace {

TEST(SoundGain, EllipsoidsAlongTheDirection) {
  SoundShape s;
  s.location = {1, 0, 0};
  s.direction = {0, 0, 2};  // length does not matter
  s.minFront = 4, s.maxFront = 20, s.minBack = 1, s.maxBack = 5;
  s.intensity = 0.5f;
  EXPECT_FLOAT_EQ(soundGain(s, {1, 0, 3.9f}), 0.5f);    // in front, inside the inner
  EXPECT_FLOAT_EQ(soundGain(s, {1, 0, 12}), 0.5f * 0.31622777f);  // half way: -10 dB
  EXPECT_FLOAT_EQ(soundGain(s, {1, 0, -3}), 0.5f * 0.31622777f);  // behind, half way too
  EXPECT_EQ(soundGain(s, {1, 0, -5.5f}), 0.0f);         // behind, beyond the outer
  EXPECT_GT(soundGain(s, {1, 0, 19.9f}), 0.0f);
  EXPECT_EQ(soundGain(s, {1, 0, 20.5f}), 0.0f);
  // Sideways through the focus: the ellipse's half latus rectum 2*f*b/(f+b).
  EXPECT_FLOAT_EQ(soundGain(s, {1 + 1.59f, 0, 0}), 0.5f);
  EXPECT_LT(soundGain(s, {1 + 1.7f, 0, 0}), 0.5f);
}

TEST(SoundGain, SphereWhenFrontEqualsBackAndIntensityClamped) {
  SoundShape s;
  s.minFront = s.minBack = 2;
  s.maxFront = s.maxBack = 4;
  s.intensity = 3;
  EXPECT_FLOAT_EQ(soundGain(s, {0, 1.5f, 0}), 1);
  EXPECT_FLOAT_EQ(soundGain(s, {0, 0, -3}), std::pow(10.0f, -0.5f));
  EXPECT_FLOAT_EQ(soundGain(s, {3, 0, 0}), std::pow(10.0f, -0.5f));
  EXPECT_EQ(soundGain(s, {5, 0, 0}), 0);
}

}  // namespace
}  // namespace kestrel
