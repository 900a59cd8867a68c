#include "viewer/browser/events.h"

#include <cmath>

namespace kestrel {

void tickTimeSensor(const NodePtr& sensor, Cascade& c) {
  Node& n = *sensor;
  auto get = [&n](const char* name) -> const FieldValue* { return n.field(name); };
  const double now = c.time();
  const double interval = *get("cycleInterval")->as<double>();
  const bool enabled = *get("enabled")->as<bool>();
  const bool loop = *get("loop")->as<bool>();
  const double start = *get("startTime")->as<double>();
  const double stop = *get("stopTime")->as<double>();
  auto out = [&](const char* name, FieldData d) {
    int i = n.type->findField(name);
    FieldValue v{n.type->fields[static_cast<size_t>(i)].type, std::move(d)};
    n.editValue(static_cast<size_t>(i)) = v;
    c.emit(sensor, i, std::move(v));
  };
  auto finish = [&](float fraction) {
    n.editExtras().sensorActive = false;
    out("fraction_changed", fraction);
    out("time", now);
    out("isActive", false);
  };
  if (!enabled || interval <= 0) {
    if (n.extras().sensorActive) {  // stops where it is: no last fraction
      n.editExtras().sensorActive = false;
      out("isActive", false);
    }
    return;
  }
  const bool stopped = stop > start && now >= stop;
  if (!n.extras().sensorActive) {
    if (now < start || stopped || (!loop && now >= start + interval)) return;
    n.editExtras().sensorActive = true;
    n.editExtras().cycleStart = start;
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
  if (cycleStart != n.extras().cycleStart) {
    n.editExtras().cycleStart = cycleStart;
    out("cycleTime", now);
  }
  out("fraction_changed", static_cast<float>((elapsed - cycles * interval) / interval));
  out("time", now);
}

}  // namespace kestrel
