#include "viewer/browser/quaternion.h"

#include <algorithm>
#include <cmath>

namespace kestrel {

Quat toQuat(const Rotation& r) {
  double len = std::sqrt(double(r.x) * r.x + double(r.y) * r.y + double(r.z) * r.z);
  if (len == 0) return {1, 0, 0, 0};
  double s = std::sin(r.angle / 2.0) / len;
  return {std::cos(r.angle / 2.0), r.x * s, r.y * s, r.z * s};
}

Rotation toRotation(const Quat& q) {
  double w = std::clamp(q.w, -1.0, 1.0);
  double angle = 2 * std::acos(w);
  double s = std::sqrt(1 - w * w);
  if (s < 1e-9) return {0, 0, 1, 0};
  return {float(q.x / s), float(q.y / s), float(q.z / s), float(angle)};
}

Quat operator*(const Quat& b, const Quat& a) {
  return {b.w * a.w - b.x * a.x - b.y * a.y - b.z * a.z,
          b.w * a.x + b.x * a.w + b.y * a.z - b.z * a.y,
          b.w * a.y - b.x * a.z + b.y * a.w + b.z * a.x,
          b.w * a.z + b.x * a.y - b.y * a.x + b.z * a.w};
}

Rotation followedBy(const Rotation& first, const Rotation& then) {
  Quat q = toQuat(then) * toQuat(first);
  double n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
  if (n == 0) return {0, 0, 1, 0};
  return toRotation({q.w / n, q.x / n, q.y / n, q.z / n});
}

}  // namespace kestrel
