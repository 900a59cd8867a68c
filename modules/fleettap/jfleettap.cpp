#include "modules/fleettap/jfleettap.h"

#include <cstdio>

#include "modules/common/jcomponent.h"
#include "modules/fleettap/kv_olog.h"

namespace kestrel {
namespace {

const char* const kItemNames[JFleetTap::kItemsPerNode] = {
    "node id", "latitude",   "longitude", "utc sec",
    "utc ms",  "utc string", "health",    "idle time"};

int constructions = 0;  // default constructions in this library

const void* self(const JFleetTap* module) { return static_cast<const void*>(module); }

}  // namespace

const char* JFleetTap::versionText() {
  static char text[80] = {};
  if (text[0] == '\0') std::snprintf(text, sizeof text, "%s - %s\n", "0.71", "Fri Jan 30 16:11:56 2004");
  return text;
}

JFleetTap::JFleetTap() {
  versionText();
  fleetLog().printf("JFleetTap::JFleetTap() %p ----------- #%d\n", self(this), constructions++);
  igm = 2;
  ogm = 0;
  color = JColor::green.brighter();
}

JFleetTap::JFleetTap(const JFleetTap& other) : JAddObj(other) {
  fleetLog().printf("JFleetTap::JFleetTap(&) %p\n", self(this));
  copySettings(other);
}

JFleetTap& JFleetTap::operator=(const JFleetTap& other) {
  if (this != &other) {
    JAddObj::operator=(other);
    copySettings(other);
  }
  return *this;
}

JFleetTap::~JFleetTap() { fleetLog().printf("JFleetTap::~JFleetTap() %p\n", self(this)); }

void JFleetTap::copySettings(const JFleetTap& other) {
  // Everything but the registry: a copy gets its own at its startup().
  clockValue_ = other.clockValue_;
  onOff_ = other.onOff_;
  nodeFileName_ = other.nodeFileName_;
  nodePattern_ = other.nodePattern_;
  portFileName_ = other.portFileName_;
  portPattern_ = other.portPattern_;
  mediumThreshold_ = other.mediumThreshold_;
  badThreshold_ = other.badThreshold_;
  maxPacketSize_ = other.maxPacketSize_;
  packetBufferSize_ = other.packetBufferSize_;
  verifyChecksum_ = other.verifyChecksum_;
  interface_ = other.interface_;
  num_nodes_ = other.num_nodes_;
  enabled_ = other.enabled_;
  clock_ = other.clock_;
}

JString JFleetTap::className() const { return JString("JFleetTap"); }

JObject* JFleetTap::clone() const {
  fleetLog().printf("JFleetTap::clone() %p\n", self(this));
  return new JFleetTap(*this);
}

bool JFleetTap::isValid() const {
  fleetLog().printf("JFleetTap::isValid() %p\n", self(this));
  return true;
}

void JFleetTap::applySettings() {
  // The registry starts with its own thresholds; the module's properties
  // are what the user sees, so they apply from the start.
  registry_->setThresholds(mediumThreshold_, badThreshold_);
  registry_->setVerifyChecksum(verifyChecksum_ != 0);
  registry_->setInterface(interface_);
}

void JFleetTap::startup() {
  fleetLog().printf("JFleetTap::startup() %p\n", self(this));
  registry_.reset();  // a second startup stops and replaces the first registry
  registry_ = std::make_unique<kv_rov_registry>(kSlotSize, kSlotCount, *clock_);
  applySettings();
  if (!nodeFileName_.empty() && registry_->loadNodeFile(nodeFileName_.c_str())) {
    updateNNodes(static_cast<int>(registry_->nodeCount()));
  } else {
    nodeFileName_.clear();
  }
  if (portFileName_.empty() || !registry_->loadPortFile(portFileName_.c_str())) {
    portFileName_.clear();
  }
}

void JFleetTap::reset() {
  fleetLog().printf("JFleetTap::reset() %p\n", self(this));
  JAddObj::reset();
}

void JFleetTap::close() {
  fleetLog().printf("JFleetTap::close() %p\n", self(this));
  if (registry_) {
    // Stopping joins every receive thread, so nothing runs on after this.
    registry_->stopAll();
    registry_->unloadPorts();
    registry_->unloadNodes();
    registry_.reset();
  }
  enabled_ = false;
}

bool JFleetTap::updateNNodes(int count) {
  fleetLog().printf("JFleetTap::updateNNodes() %p\n", self(this));
  if (count < 1) count = 1;
  if (count > kMaxNodes) count = kMaxNodes;
  if (count == num_nodes_) return false;
  num_nodes_ = count;
  ogm = kItemsPerNode * count;
  return true;
}

void JFleetTap::engine(int port, JLinkObj& link) {
  fleetLog().printf("JFleetTap::engine() n=%d %p  ----- ogm is %d\n", port, self(this), ogm);
  if (!enabled_ || !registry_) return;
  int value = 0;
  JIntegerData data(value);
  if (port == 0) {
    link.access(data);
    const int previous = clockValue_;
    clockValue_ = value != 0 ? 1 : 0;
    if (previous == 0 && clockValue_ == 1) {
      fleetLog().printf("JFleetTap::engine() processing tick\n");
      registry_->serviceAll();
      traceDrops();
      broadcastNodes();
    }
  } else if (port == 1) {
    link.access(data);
    onOff_ = value;
    if (onOff_ != 0) {
      registry_->runAll();
    } else {
      registry_->stopAll();
    }
    fleetLog().printf("JFleetTap::engine() on-off is %d\n", onOff_);
  }
}

void JFleetTap::traceDrops() const {
  const kv_rov_registry::Drops drops = registry_->droppedLastService();
  if (drops.full == 0 && drops.oversized == 0) return;
  fleetLog().printf("JFleetTap::engine() dropped %llu packets for full slots, %llu too long\n",
                    static_cast<unsigned long long>(drops.full),
                    static_cast<unsigned long long>(drops.oversized));
}

void JFleetTap::broadcastNodes() {
  for (int i = 0; i < num_nodes_ && static_cast<uint32_t>(i) < registry_->nodeCount(); ++i) {
    for (int item = 0; item < kItemsPerNode; ++item) {
      broadcast(kItemsPerNode * i + item);
      if (!registry_) return;  // a linked module closed us meanwhile
    }
  }
}

void JFleetTap::access(int port, JLinkObj&, JData& data) {
  if (!enabled_ || !registry_) return;
  fleetLog().printf("JFleetTap::access() n=%d %p\n", port, self(this));
  fleetLog().printf("JFleetTap NEVER\n");
  if (port < 0 || port >= ogm) return;
  kv_rov_nodeHandler* node = registry_->nodeAt(static_cast<uint32_t>(port / kItemsPerNode));
  if (node == nullptr) return;
  switch (port % kItemsPerNode) {
    case 0: data.setInteger(node->nodeId()); break;
    case 1: data.setReal(node->latitude()); break;
    case 2: data.setReal(node->longitude()); break;
    case 3: data.setInteger(static_cast<int>(node->packetTime().seconds)); break;
    case 4:
      fleetLog().printf("JFleetTap::access getMilSec %d\n", node->packetTime().millis);
      data.setInteger(node->packetTime().millis);
      break;
    case 5:
      fleetLog().printf("JFleetTap::access getTimeString %s\n", node->timeText());
      data.setString(JString(node->timeText()));
      break;
    case 6: data.setInteger(node->updateHealth()); break;
    default: data.setReal(node->getIdleTime()); break;
  }
}

JString JFleetTap::inputTag(int port) const {
  fleetLog().printf("JFleetTap::inputTag() %p\n", self(this));
  if (port == 0) return JString("clock");
  if (port == 1) return JString("on off");
  return JString("ERROR");
}

JString JFleetTap::outputTag(int port) const {
  fleetLog().printf("JFleetTap::outputTag() %p\n", self(this));
  if (port < 0 || port >= ogm) return JString("ERROR");
  char tag[64];
  std::snprintf(tag, sizeof tag, "%s of node %d\n", kItemNames[port % kItemsPerNode],
                port / kItemsPerNode);
  return JString(tag);
}

int JFleetTap::inputType(int) const {
  fleetLog().printf("JFleetTap::inputType() %p\n", self(this));
  return JIntegerData::id;
}

int JFleetTap::outputType(int port) const {
  fleetLog().printf("JFleetTap::outputType() %p\n", self(this));
  switch (port % kItemsPerNode) {
    case 1: case 2: case 7: return JRealData::id;
    case 5: return JStringData::id;
    default: return JIntegerData::id;
  }
}

void JFleetTap::addButton(JComponent& component) {
  fleetLog().printf("JFleetTap::addButton() %p\n", self(this));
  JFleetTap prototype;
  addModuleButton(component, prototype);
}

}  // namespace kestrel
