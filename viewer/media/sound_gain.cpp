#include "viewer/media/sound_gain.h"

#include <algorithm>
#include <cmath>

namespace kestrel {
namespace {

// Distance from the focus to the ellipsoid's surface in the direction
// whose cosine to the long axis is COSINE: r = front * back / (a - c cos),
// with a = (front + back) / 2 and c = (front - back) / 2.
float reach(float front, float back, float cosine) {
  front = std::max(front, 1e-6f);
  back = std::max(back, 1e-6f);
  float a = (front + back) / 2, c = (front - back) / 2;
  return front * back / std::max(a - c * cosine, 1e-9f);
}

}  // namespace

float soundGain(const SoundShape& s, Vec3f p) {
  float dx = p.x - s.location.x, dy = p.y - s.location.y, dz = p.z - s.location.z;
  float distance = std::sqrt(dx * dx + dy * dy + dz * dz);
  float len = std::sqrt(s.direction.x * s.direction.x + s.direction.y * s.direction.y +
                        s.direction.z * s.direction.z);
  float cosine = 1;
  if (distance > 0 && len > 0)
    cosine = (dx * s.direction.x + dy * s.direction.y + dz * s.direction.z) / (distance * len);
  const float intensity = std::clamp(s.intensity, 0.0f, 1.0f);
  const float inner = reach(s.minFront, s.minBack, cosine);
  const float outer = std::max(reach(s.maxFront, s.maxBack, cosine), inner);
  if (distance <= inner) return intensity;
  if (distance > outer) return 0;
  // 0 dB at the inner surface to -20 dB (a tenth) at the outer one.
  return intensity * std::pow(10.0f, -(distance - inner) / (outer - inner));
}

}  // namespace kestrel
