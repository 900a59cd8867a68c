// kv_rov_nodeHandler: one remote node of the fleet, with its last accepted
// report and its health, judged from the time since that report.
//
// Used on the host's thread only (reports arrive through the port handlers'
// service()), so it needs no lock.
#pragma once

#include <cstdint>
#include <string>

#include "modules/fleettap/kv_clock.h"

// The date and time of a report, broken down.
struct kv_brokenTime {
  int second = 0, minute = 0, hour = 0, day = 0, month = 0, year = 0;
  int weekday = 0, dayOfYear = 0, daylight = -1;
};

class kv_rov_nodeHandler {
 public:
  static constexpr int kTimeTextMax = 127;

  // CLOCK must outlive the node.
  kv_rov_nodeHandler(const char* name, int nodeId, const kv_clock& clock);
  ~kv_rov_nodeHandler();
  kv_rov_nodeHandler(const kv_rov_nodeHandler&) = delete;
  kv_rov_nodeHandler& operator=(const kv_rov_nodeHandler&) = delete;

  // Accepts a report unless its packet time is earlier than the stored one.
  void set(double latitude, double longitude, const kv_brokenTime& time, kv_time packetTime,
           const char* timeText);
  // The last receive time becomes now.
  void markPacket();
  // 0 good, 1 medium, 2 bad; stored and returned.
  int updateHealth();
  // Seconds since the last receive time, at the moment of the call.
  double getIdleTime() const;
  void setThresholds(int mediumMs, int badMs);

  const std::string& name() const { return name_; }
  int nodeId() const { return nodeId_; }
  double latitude() const { return latitude_; }
  double longitude() const { return longitude_; }
  int health() const { return health_; }
  kv_time packetTime() const { return packetTime_; }
  kv_time lastReceive() const { return lastReceive_; }
  const kv_brokenTime& brokenTime() const { return brokenTime_; }
  const char* timeText() const { return timeText_; }
  int mediumThreshold() const { return mediumMs_; }
  int badThreshold() const { return badMs_; }

 private:
  std::string name_;
  int nodeId_;
  const kv_clock& clock_;
  double latitude_ = 0;
  double longitude_ = 0;
  int health_ = 0;
  kv_time packetTime_;
  kv_time lastReceive_;
  kv_brokenTime brokenTime_;
  int mediumMs_ = 4000;
  int badMs_ = 2000;
  char timeText_[kTimeTextMax + 1] = {};
};
