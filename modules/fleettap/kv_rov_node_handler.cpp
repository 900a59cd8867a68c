#include "modules/fleettap/kv_rov_node_handler.h"

#include <cstring>

#include "modules/fleettap/kv_olog.h"

kv_rov_nodeHandler::kv_rov_nodeHandler(const char* name, int nodeId, const kv_clock& clock)
    : name_(name ? name : ""), nodeId_(nodeId), clock_(clock) {
  fleetLog().printf("kv_rov_nodeHandler::kv_rov_nodeHandler() %p\n", static_cast<void*>(this));
}

kv_rov_nodeHandler::~kv_rov_nodeHandler() {
  fleetLog().printf("kv_rov_nodeHandler::~kv_rov_nodeHandler() %p--\n", static_cast<void*>(this));
}

void kv_rov_nodeHandler::set(double latitude, double longitude, const kv_brokenTime& time,
                             kv_time packetTime, const char* timeText) {
  fleetLog().printf("kv_rov_nodeHandler::set() %p\n", static_cast<void*>(this));
  if (packetTime.seconds < packetTime_.seconds ||
      (packetTime.seconds == packetTime_.seconds && packetTime.millis < packetTime_.millis)) {
    return;  // older than what the node has
  }
  packetTime_ = packetTime;
  markPacket();
  latitude_ = latitude;
  longitude_ = longitude;
  brokenTime_ = time;
  std::strncpy(timeText_, timeText ? timeText : "", kTimeTextMax);
  timeText_[kTimeTextMax] = '\0';
  fleetLog().printf("kv_rov_nodeHandler::set\nutcString_ %s\nutcString %s\n", timeText_,
                    timeText ? timeText : "");
}

void kv_rov_nodeHandler::markPacket() {
  lastReceive_ = clock_.now();
  fleetLog().printf("kv_rov_nodeHandler::markPacket() %p\n", static_cast<void*>(this));
}

int kv_rov_nodeHandler::updateHealth() {
  fleetLog().printf("kv_rov_nodeHandler::updateHealth() %p\n", static_cast<void*>(this));
  kv_time now = clock_.now();
  // Judged on the idle milliseconds alone: a shortcut on whole seconds
  // would call a node bad up to a second early when the bad threshold is
  // not a whole number of seconds.
  int64_t idleMs = (now.seconds - lastReceive_.seconds) * 1000 + now.millis - lastReceive_.millis;
  health_ = idleMs >= badMs_ ? 2 : idleMs >= mediumMs_ ? 1 : 0;
  return health_;
}

double kv_rov_nodeHandler::getIdleTime() const {
  fleetLog().printf("kv_rov_nodeHandler::getIdleTime() %p\n",
                    static_cast<const void*>(this));
  kv_time now = clock_.now();
  return (now.millis - lastReceive_.millis) * 0.001 +
         static_cast<double>(now.seconds - lastReceive_.seconds);
}

void kv_rov_nodeHandler::setThresholds(int mediumMs, int badMs) {
  mediumMs_ = mediumMs;
  badMs_ = badMs;
}
