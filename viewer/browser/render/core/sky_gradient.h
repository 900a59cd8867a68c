// The sky and ground colours of a Background: the sky sphere's colours
// by angle from straight up, the ground's by angle from straight down,
// blended linearly between the given angles. Where the ground ends the
// sky shows. Plain code; the background pass draws the same bands on the
// GPU and this is its reference.
#pragma once

#include <vector>

#include "viewer/browser/node.h"
#include "viewer/browser/render/core/math3d.h"

namespace kestrel {

struct SkyGradient {
  // Invariants: skyColors has one entry more than skyAngles (at least
  // one); groundColors is empty (no ground) or one more than
  // groundAngles; angles ascend, sky ones within [0, pi], ground ones
  // within [0, pi/2].
  std::vector<float> skyAngles;
  std::vector<Vec3f> skyColors{Vec3f{0, 0, 0}};
  std::vector<float> groundAngles;
  std::vector<Vec3f> groundColors;
};

// The bands of BACKGROUND (black sky, no ground when null). Extra angles
// or colours are ignored; a ground colour without angles covers the
// lower half.
SkyGradient skyGradientOf(const Node* background);

// The colour seen along DIR (Y up, in the Background's own frame; any
// length but zero).
Vec3f skyColorAt(const SkyGradient& sky, Vec3f dir);

}  // namespace kestrel
