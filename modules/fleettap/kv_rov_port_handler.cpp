#include "modules/fleettap/kv_rov_port_handler.h"

#include <cstring>

#include "modules/fleettap/kv_olog.h"
#include "modules/fleettap/kv_rov_registry.h"

kv_rov_portHandler::kv_rov_portHandler(const char* name, const char* groupAddress, int portNumber,
                                       int slotSize, int capacity, kv_rov_registry& registry)
    : name_(name ? name : ""),
      groupAddress_(groupAddress ? groupAddress : ""),
      portNumber_(portNumber),
      registry_(registry),
      receiver_(std::make_unique<kv_multicast_recv>(groupAddress_.c_str(), portNumber, slotSize,
                                                    capacity)) {}

kv_rov_portHandler::~kv_rov_portHandler() {
  fleetLog().printf("kv_rov_portHandler::~kv_rov_portHandler() %p\n", static_cast<void*>(this));
  stop();
}

void kv_rov_portHandler::run() {
  fleetLog().printf("In kv_rov_portHandler::run()\n");
  if (running_) return;
  receiver_->run();
  running_ = 1;
}

void kv_rov_portHandler::stop() {
  if (running_) receiver_->stop();
  running_ = 0;
}

void kv_rov_portHandler::service() {
  fleetLog().printf("In kv_rov_portHandler::service() running is %d\n", running_);
  droppedFull_.update(receiver_->droppedFull());
  droppedOversized_.update(receiver_->droppedOversized());
  if (!running_) return;
  receiver_->swapBuffers();
  while (const char* stored = receiver_->getPacket()) {
    fleetLog().printf("pk is %s\n", stored);
    // The packet is split in place, in the back buffer that only this thread
    // reads until the next swap.
    char* packet = const_cast<char*>(stored);
    const char* packetEnd = packet + std::strlen(packet);
    char* first = nullptr;
    char* second = nullptr;
    int nodeId = parsePacket_full(packet, &first, &second);
    fleetLog().printf("service nodeId is %d sent %s\n", nodeId, first ? first : "(null)");
    fleetLog().printf("service nodeId is %d sent %s\n", nodeId, second ? second : "(null)");
    if (first == nullptr || second == nullptr) {
      ++malformed_;
      continue;
    }
    if (verifyChecksum_ && (!sentenceChecksumOk(first, packetEnd) ||
                            !sentenceChecksumOk(second, packetEnd))) {
      fleetLog().printf("service nodeId is %d checksum mismatch\n", nodeId);
      ++malformed_;
      continue;
    }
    bool timeOk = parsePacket_s1(first, &report_);
    bool positionOk = parsePacket_s2(second, &report_);
    fleetLog().printf("parsedPacket ok %d %d\n", timeOk, positionOk);
    if (!timeOk || !positionOk) {
      ++malformed_;
      continue;
    }
    if (kv_rov_nodeHandler* node = registry_.nodeById(nodeId)) {
      node->set(report_.latitude, report_.longitude, report_.time, report_.utc1970_,
                report_.utcString_);
      ++delivered_;
    }
  }
}
