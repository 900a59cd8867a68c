#include "viewer/browser/events.h"

#include <algorithm>
#include <cmath>

namespace kestrel {
namespace {

// ---- interpolation -----------------------------------------------------------

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

struct Quat {
  double w, x, y, z;
};
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

// The value an interpolator sends for fraction F; false when it has none.
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

// addChildren / removeChildren of the grouping nodes.
bool changeChildren(Node& n, const std::string& event, const FieldValue& v, int& changed) {
  changed = n.type->findField("children");
  const auto* nodes = v.as<std::vector<NodePtr>>();
  if (changed < 0 || nodes == nullptr) return false;
  auto& children = *n.values[static_cast<size_t>(changed)].as<std::vector<NodePtr>>();
  for (const NodePtr& c : *nodes) {
    auto at = std::find(children.begin(), children.end(), c);
    if (event == "addChildren" && at == children.end() && c) children.push_back(c);
    if (event == "removeChildren" && at != children.end()) children.erase(at);
  }
  return true;
}

}  // namespace

bool Cascade::send(const NodePtr& node, int field, FieldValue value) {
  if (!node || field < 0 || static_cast<size_t>(field) >= node->values.size()) return false;
  if (node->type->fields[static_cast<size_t>(field)].type != value.type) return false;
  queue_.push_back({node, field, std::move(value), false});
  run();
  return true;
}

void Cascade::emit(const NodePtr& node, int field, FieldValue value) {
  queue_.push_back({node, field, std::move(value), true});
  run();
}

void Cascade::run() {
  // Breadth first: events reach their targets in the order they were sent.
  size_t head = 0;
  while (head < queue_.size()) {
    Pending p = std::move(queue_[head++]);
    if (p.outgoing) {
      fanOut(p.node, p.field, p.value);
    } else {
      deliver(p.node, p.field, p.value);
    }
  }
  queue_.clear();
}

void Cascade::fanOut(const NodePtr& node, int field, const FieldValue& value) {
  std::pair<const Node*, int> key{node.get(), field};
  if (std::find(sent_.begin(), sent_.end(), key) != sent_.end()) return;
  sent_.push_back(key);
  for (const Route& r : node->routes) {
    if (r.fromField != field) continue;
    if (NodePtr to = r.to.lock()) queue_.push_back({to, r.toField, value, false});
  }
}

void Cascade::deliver(const NodePtr& node, int field, FieldValue& value) {
  const FieldDecl& decl = node->type->fields[static_cast<size_t>(field)];
  if (decl.type != value.type) return;
  if (decl.access == Access::EventOut) {  // from a PROTO body to its instance
    node->values[static_cast<size_t>(field)] = value;
    queue_.push_back({node, field, std::move(value), true});
    return;
  }
  const NodeType& type = *node->type;
  // A running TimeSensor ignores a new start time until it stops.
  if (node->sensorActive && decl.name == "startTime" && type.standard &&
      type.name == "TimeSensor") {
    return;
  }
  if (type.standard && decl.access == Access::EventIn) {
    if (decl.name == "set_fraction" && isInterpolator(type)) {
      FieldValue out;
      const float* f = value.as<float>();
      if (f && interpolate(*node, *f, out)) {
        int o = type.findField("value_changed");
        node->values[static_cast<size_t>(o)] = out;
        queue_.push_back({node, o, std::move(out), true});
      }
      return;
    }
    int changed = -1;
    if (changeChildren(*node, decl.name, value, changed)) {
      queue_.push_back({node, changed, node->values[static_cast<size_t>(changed)], true});
      return;
    }
    if (decl.name.starts_with("set_")) {  // set_bind, set_height ... store what they name
      int target = type.findField(std::string_view(decl.name).substr(4));
      if (target >= 0 && type.fields[static_cast<size_t>(target)].type == value.type) {
        node->values[static_cast<size_t>(target)] = value;
      }
      return;
    }
  }
  node->values[static_cast<size_t>(field)] = value;
  // Exposed fields report the change; an eventIn forwards only along the
  // IS routes into a PROTO body.
  if (decl.access != Access::Field) {
    queue_.push_back({node, field, std::move(value), true});
  }
}

void tickTimeSensor(const NodePtr& sensor, Cascade& c) {
  Node& n = *sensor;
  auto get = [&n](const char* name) -> FieldValue* { return n.field(name); };
  const double now = c.time();
  const double interval = *get("cycleInterval")->as<double>();
  const bool enabled = *get("enabled")->as<bool>();
  const bool loop = *get("loop")->as<bool>();
  const double start = *get("startTime")->as<double>();
  const double stop = *get("stopTime")->as<double>();
  auto out = [&](const char* name, FieldData d) {
    int i = n.type->findField(name);
    FieldValue v{n.type->fields[static_cast<size_t>(i)].type, std::move(d)};
    n.values[static_cast<size_t>(i)] = v;
    c.emit(sensor, i, std::move(v));
  };
  auto finish = [&](float fraction) {
    n.sensorActive = false;
    out("fraction_changed", fraction);
    out("time", now);
    out("isActive", false);
  };
  if (!enabled || interval <= 0) {
    if (n.sensorActive) {  // stops where it is: no last fraction
      n.sensorActive = false;
      out("isActive", false);
    }
    return;
  }
  const bool stopped = stop > start && now >= stop;
  if (!n.sensorActive) {
    if (now < start || stopped || (!loop && now >= start + interval)) return;
    n.sensorActive = true;
    n.cycleStart = start;
    out("isActive", true);
    out("cycleTime", now);
  }
  const double elapsed = now - start;
  if (stopped || (!loop && elapsed >= interval)) {
    double end = stopped ? stop - start : interval;
    double f = std::fmod(end, interval) / interval;
    finish(f == 0 && end > 0 ? 1.0f : static_cast<float>(f));
    return;
  }
  const double cycles = std::floor(elapsed / interval);
  const double cycleStart = start + cycles * interval;
  if (cycleStart != n.cycleStart) {
    n.cycleStart = cycleStart;
    out("cycleTime", now);
  }
  out("fraction_changed", static_cast<float>((elapsed - cycles * interval) / interval));
  out("time", now);
}

}  // namespace kestrel
