#include "viewer/browser/interpolators.h"

#include <algorithm>
#include <cmath>

#include "viewer/browser/quaternion.h"

namespace kestrel {
namespace {

// The segment of KEYS that F falls in and the weight within it; false when
// there are no keys.
bool segment(const std::vector<float>& keys, float f, size_t& i, float& t) {
  if (keys.empty()) return false;
  if (f <= keys.front()) {
    i = 0;
    t = 0;
    return true;
  }
  if (f >= keys.back()) {
    i = keys.size() - 1;
    t = 0;
    return true;
  }
  auto it = std::upper_bound(keys.begin(), keys.end(), f);
  i = static_cast<size_t>(it - keys.begin()) - 1;
  float span = keys[i + 1] - keys[i];
  t = span > 0 ? (f - keys[i]) / span : 0;
  return true;
}

float mix(float a, float b, float t) { return a + (b - a) * t; }
Vec3f mix(const Vec3f& a, const Vec3f& b, float t) {
  return {mix(a.x, b.x, t), mix(a.y, b.y, t), mix(a.z, b.z, t)};
}

Rotation slerp(const Rotation& a, const Rotation& b, float t) {
  Quat p = toQuat(a), q = toQuat(b);
  double dot = p.w * q.w + p.x * q.x + p.y * q.y + p.z * q.z;
  if (dot < 0) {
    q = {-q.w, -q.x, -q.y, -q.z};
    dot = -dot;
  }
  double wa = 1 - t, wb = t;
  if (dot < 0.9995) {
    double theta = std::acos(dot);
    wa = std::sin((1 - t) * theta) / std::sin(theta);
    wb = std::sin(t * theta) / std::sin(theta);
  }
  Quat r{wa * p.w + wb * q.w, wa * p.x + wb * q.x, wa * p.y + wb * q.y, wa * p.z + wb * q.z};
  double n = std::sqrt(r.w * r.w + r.x * r.x + r.y * r.y + r.z * r.z);
  return toRotation({r.w / n, r.x / n, r.y / n, r.z / n});
}

template <class T>
bool pick(const std::vector<T>& values, size_t i, float t, T& out,
          T (*blend)(const T&, const T&, float)) {
  if (i >= values.size()) return false;
  out = t > 0 && i + 1 < values.size() ? blend(values[i], values[i + 1], t) : values[i];
  return true;
}

Vec3f mixVec(const Vec3f& a, const Vec3f& b, float t) { return mix(a, b, t); }
float mixFloat(const float& a, const float& b, float t) { return mix(a, b, t); }
Rotation mixRot(const Rotation& a, const Rotation& b, float t) { return slerp(a, b, t); }

}  // namespace

bool interpolate(const Node& n, float f, FieldValue& out) {
  const auto* keys = n.field("key") ? n.field("key")->as<std::vector<float>>() : nullptr;
  const FieldValue* kv = n.field("keyValue");
  int outIndex = n.type->findField("value_changed");
  if (keys == nullptr || kv == nullptr || outIndex < 0) return false;
  size_t i = 0;
  float t = 0;
  if (!segment(*keys, f, i, t)) return false;
  out = FieldValue::zeroOf(n.type->fields[static_cast<size_t>(outIndex)].type);
  const std::string& type = n.type->name;
  if (type == "ScalarInterpolator") {
    float v = 0;
    if (!pick(*kv->as<std::vector<float>>(), i, t, v, mixFloat)) return false;
    out.data = v;
  } else if (type == "OrientationInterpolator") {
    Rotation v;
    if (!pick(*kv->as<std::vector<Rotation>>(), i, t, v, mixRot)) return false;
    out.data = v;
  } else if (type == "PositionInterpolator" || type == "ColorInterpolator") {
    Vec3f v;
    if (!pick(*kv->as<std::vector<Vec3f>>(), i, t, v, mixVec)) return false;
    out.data = v;
  } else {  // Coordinate and Normal: keyValue holds one list per key
    const auto& all = *kv->as<std::vector<Vec3f>>();
    size_t per = all.size() / keys->size();
    if (per == 0) return false;
    std::vector<Vec3f> v(per);
    for (size_t k = 0; k < per; ++k) {
      const Vec3f& a = all[i * per + k];
      const Vec3f& b = i + 1 < keys->size() ? all[(i + 1) * per + k] : a;
      v[k] = mix(a, b, t);
      if (type == "NormalInterpolator") {
        float len = std::sqrt(v[k].x * v[k].x + v[k].y * v[k].y + v[k].z * v[k].z);
        if (len > 0) v[k] = {v[k].x / len, v[k].y / len, v[k].z / len};
      }
    }
    out.data = std::move(v);
  }
  return true;
}

bool isInterpolator(const NodeType& t) {
  return t.standard && t.name.size() > 12 &&
         std::string_view(t.name).ends_with("Interpolator");
}

}  // namespace kestrel
