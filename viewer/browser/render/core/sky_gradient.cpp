#include "viewer/browser/render/core/sky_gradient.h"

#include <algorithm>
#include <cmath>

#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/render_keys.h"

namespace kestrel {
namespace {

constexpr float kPi = 3.14159265f;

// Keeps as many angles as there are colours after the first, clamped to
// [0, LIMIT] and never decreasing.
std::vector<float> tidyAngles(const std::vector<float>& in, size_t colors, float limit) {
  std::vector<float> out;
  float last = 0;
  for (size_t i = 0; i < in.size() && i + 1 < colors; ++i) {
    float a = std::isfinite(in[i]) ? std::clamp(in[i], 0.0f, limit) : limit;
    last = std::max(a, last);
    out.push_back(last);
  }
  return out;
}

Vec3f band(const std::vector<float>& angles, const std::vector<Vec3f>& colors, float a) {
  float from = 0;
  for (size_t i = 0; i < angles.size(); ++i) {
    if (a <= angles[i]) {
      float span = angles[i] - from;
      float t = span > 0 ? (a - from) / span : 1;
      return colors[i] * (1 - t) + colors[i + 1] * t;
    }
    from = angles[i];
  }
  return colors[angles.size()];
}

}  // namespace

SkyGradient skyGradientOf(const Node* bg) {
  SkyGradient g;
  if (!bg) return g;
  const auto& sky = listOf<Vec3f>(*bg, renderKeys().background.skyColor);
  if (!sky.empty()) {
    g.skyColors = sky;
    g.skyAngles = tidyAngles(listOf<float>(*bg, renderKeys().background.skyAngle), sky.size(), kPi);
    g.skyColors.resize(g.skyAngles.size() + 1);
  }
  const auto& ground = listOf<Vec3f>(*bg, renderKeys().background.groundColor);
  if (!ground.empty()) {
    g.groundColors = ground;
    g.groundAngles =
        tidyAngles(listOf<float>(*bg, renderKeys().background.groundAngle), ground.size(), kPi / 2);
    if (g.groundAngles.empty()) {
      // One colour and no angle: a plain ground up to the horizon.
      g.groundAngles = {kPi / 2};
      g.groundColors = {ground[0], ground[0]};
    }
    g.groundColors.resize(g.groundAngles.size() + 1);
  }
  return g;
}

Vec3f skyColorAt(const SkyGradient& sky, Vec3f dir) {
  float len = length(dir);
  float up = len > 0 ? std::clamp(dir.y / len, -1.0f, 1.0f) : 1;
  float fromTop = std::acos(up);
  if (!sky.groundColors.empty()) {
    float fromBottom = kPi - fromTop;
    if (fromBottom <= sky.groundAngles.back())
      return band(sky.groundAngles, sky.groundColors, fromBottom);
  }
  return band(sky.skyAngles, sky.skyColors, fromTop);
}

}  // namespace kestrel
