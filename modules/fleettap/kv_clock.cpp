#include "modules/fleettap/kv_clock.h"

#include <chrono>

kv_time kv_systemClock::now() const {
  using namespace std::chrono;
  auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  return kv_time{ms / 1000, static_cast<uint16_t>(ms % 1000)};
}

const kv_systemClock& kv_systemClock::instance() {
  static const kv_systemClock clock;
  return clock;
}
