// kv_rov_registry: the nodes of a node file and the port handlers of a port
// file, for one fleet monitor module. Finds nodes by position and by id, fans
// commands out to the port handlers and hands out the health thresholds.
//
// Host's thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "modules/fleettap/kv_clock.h"
#include "modules/fleettap/kv_rov_node_handler.h"
#include "modules/fleettap/kv_rov_port_handler.h"

class kv_rov_registry {
 public:
  static constexpr int kHighestNodeId = 1000;

  // CLOCK must outlive the registry; nodes judge their health against it.
  kv_rov_registry(int slotSize, int capacity,
                  const kv_clock& clock = kv_systemClock::instance());
  ~kv_rov_registry();
  kv_rov_registry(const kv_rov_registry&) = delete;
  kv_rov_registry& operator=(const kv_rov_registry&) = delete;

  // Replaces the nodes from the file (unloading the old ones stops every
  // port handler); true when at least one node was loaded.
  bool loadNodeFile(const char* fileName);
  bool unloadNodes();
  // Replaces the port handlers from the file; true when at least one.
  bool loadPortFile(const char* fileName);
  bool unloadPorts();

  kv_rov_nodeHandler* nodeAt(uint32_t index) const;
  kv_rov_nodeHandler* nodeById(int id) const;
  int idAt(uint32_t index) const;
  kv_rov_portHandler* portAt(int index) const;

  void serviceAll();
  void runAll();
  void stopAll();
  // Thresholds in seconds; negative values act as their absolute values.
  void setThresholds(double mediumSeconds, double badSeconds);
  // Whether packets whose sentences fail their NMEA checksum are dropped;
  // given to every port handler, now and when the port file is loaded.
  void setVerifyChecksum(bool verify);
  bool verifyChecksum() const { return verifyChecksum_; }
  // The local address of the interface every group is joined on (empty:
  // the default interface and loopback); given to every port handler, now
  // and when the port file is loaded, and used from their next run().
  void setInterface(const std::string& address);
  const std::string& interfaceAddress() const { return interface_; }

  // Packets the port handlers' receivers dropped for a full buffer and for
  // their length, between the previous serviceAll() and the last one.
  struct Drops {
    uint64_t full = 0;
    uint64_t oversized = 0;
  };
  Drops droppedLastService() const;

  uint32_t nodeCount() const { return static_cast<uint32_t>(nodes_.size()); }
  int portCount() const { return static_cast<int>(ports_.size()); }
  int highestId() const { return highestId_; }
  int mediumThreshold() const { return mediumMs_; }
  int badThreshold() const { return badMs_; }

 private:
  int slotSize_;
  int capacity_;
  const kv_clock& clock_;
  std::vector<std::unique_ptr<kv_rov_nodeHandler>> nodes_;  // file order
  std::vector<kv_rov_nodeHandler*> nodesById_;              // highest id + 1 entries
  int highestId_ = 0;
  std::vector<std::unique_ptr<kv_rov_portHandler>> ports_;  // file order
  int mediumMs_ = 4000;
  int badMs_ = 2000;
  bool verifyChecksum_ = false;
  std::string interface_;
};
