// The local clock of the fleet monitor: seconds since 1970 and milliseconds.
// Node health and idle time are judged against it; tests give nodes a clock
// they control.
#pragma once

#include <cstdint>

struct kv_time {
  int64_t seconds = 0;
  uint16_t millis = 0;  // 0 to 999
};

class kv_clock {
 public:
  virtual ~kv_clock() = default;
  virtual kv_time now() const = 0;
};

// The system's real-time clock.
class kv_systemClock : public kv_clock {
 public:
  kv_time now() const override;
  static const kv_systemClock& instance();
};
