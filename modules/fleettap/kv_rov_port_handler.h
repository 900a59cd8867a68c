// kv_rov_portHandler: one multicast group of the port file. Its receiver
// buffers packets on its own thread; service(), on the host's thread once
// per clock tick, parses every packet received since the previous tick and
// hands each well-formed report to the node its id names.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "modules/fleettap/kv_multicast_recv.h"
#include "modules/fleettap/kv_rov_packet.h"

class kv_rov_registry;

class kv_rov_portHandler {
 public:
  // REGISTRY finds nodes by id and must outlive the handler.
  kv_rov_portHandler(const char* name, const char* groupAddress, int portNumber, int slotSize,
                     int capacity, kv_rov_registry& registry);
  ~kv_rov_portHandler();
  kv_rov_portHandler(const kv_rov_portHandler&) = delete;
  kv_rov_portHandler& operator=(const kv_rov_portHandler&) = delete;

  void run();
  void stop();
  void service();
  // Drops packets whose sentences fail their NMEA checksum; off by default.
  void setVerifyChecksum(bool verify) { verifyChecksum_ = verify; }
  // The interface the group is joined on from the next run(); see
  // kv_multicast_recv::setInterface.
  void setInterface(const std::string& address) { receiver_->setInterface(address); }

  const std::string& name() const { return name_; }
  const std::string& groupAddress() const { return groupAddress_; }
  int portNumber() const { return portNumber_; }
  int running() const { return running_; }
  kv_multicast_recv& receiver() { return *receiver_; }
  // Reports handed to nodes, and packets dropped as malformed, since
  // construction.
  uint64_t delivered() const { return delivered_; }
  uint64_t malformed() const { return malformed_; }
  // Packets the receiver dropped (front buffer full, too long for a slot)
  // between the previous service() and the last one.
  uint64_t droppedFullLastService() const { return droppedFull_.sinceLast; }
  uint64_t droppedOversizedLastService() const { return droppedOversized_.sinceLast; }

 private:
  std::string name_;
  std::string groupAddress_;
  int portNumber_;
  int running_ = 0;
  bool verifyChecksum_ = false;
  kv_rov_registry& registry_;
  std::unique_ptr<kv_multicast_recv> receiver_;
  kv_rov_report report_;  // the packet being serviced
  uint64_t delivered_ = 0;
  uint64_t malformed_ = 0;
  // A running total and how much it grew at the last service().
  struct Growth {
    uint64_t seen = 0;
    uint64_t sinceLast = 0;
    void update(uint64_t total) {
      sinceLast = total - seen;
      seen = total;
    }
  };
  Growth droppedFull_;
  Growth droppedOversized_;
};
