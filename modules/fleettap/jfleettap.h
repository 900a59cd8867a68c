// JFleetTap: the fleet monitor module. Reads a node file and a port file,
// listens to the port file's multicast groups while "on off" is non-zero,
// and on every rising edge of "clock" hands the packets received since the
// previous edge to their nodes and broadcasts eight outputs per node: id,
// latitude, longitude, packet time (seconds, milliseconds, text), health
// and idle time.
//
// Threads: every operation runs on the host's thread. The receive threads
// belong to the registry's port handlers; they are joined when the ports
// stop (zero "on off", a new node file, close() or destruction).
//
// Ownership: the module owns its registry, made by startup() and released
// by close(); copies (clone()) have none until their own startup().
// Every operation writes a trace line to fleetLog(); a tick whose period
// lost packets (slots full, or packets too long) adds a line with the counts.
//
// The property "multicast interface" (a local IPv4 address) chooses where
// the groups are joined; empty joins on the default interface and loopback.
#pragma once

#include <memory>
#include <string>

#include "modules/common/jmodule.h"
#include "modules/fleettap/kv_clock.h"
#include "modules/fleettap/kv_rov_registry.h"

namespace kestrel {

class JFleetTap : public JAddObj {
 public:
  static constexpr int kItemsPerNode = 8;
  static constexpr int kMaxNodes = 128;
  static constexpr int kSlotSize = 250;
  static constexpr int kSlotCount = 20;

  JFleetTap();
  JFleetTap(const JFleetTap& other);
  JFleetTap& operator=(const JFleetTap& other);
  ~JFleetTap() override;

  void writeContent(JContent& out) const override;
  void readContent(const JContent& in) override;
  JString className() const override;
  JObject* clone() const override;
  void startup() override;
  void reset() override;
  void close() override;
  void paint(JGraphics& graphics, double scaleX, double scaleY) override;
  JArray getProperties() override;
  bool updateProperty(const JProperty& property) override;
  JString inputTag(int port) const override;
  JString outputTag(int port) const override;
  int inputType(int port) const override;
  int outputType(int port) const override;
  void draw(JGraphics& graphics, int x, int y, int w, int h) override;
  void access(int port, JLinkObj& link, JData& data) override;
  bool inputAllowed(int port) const override;
  bool outputAllowed(int port) const override;
  JRect inputArea(int port) const override;
  JRect outputArea(int port) const override;
  int inputFace(int port) const override;
  int outputFace(int port) const override;
  JPoint inputPoint(int port, const JLinkObj* link) const override;
  JPoint outputPoint(int port, const JLinkObj* link) const override;
  void engine(int port, JLinkObj& link) override;
  void addButton(JComponent& component) override;

  bool isValid() const;
  // The clock that node health and idle time are judged against, used by
  // the next startup(); it must outlive the module. Default: the system's.
  void setClock(const kv_clock& clock) { clock_ = &clock; }

  // For tests and the face: the registry (null before startup() and after
  // close()), the node count offered as outputs, the enabled flag.
  kv_rov_registry* registry() const { return registry_.get(); }
  int nodeOutputs() const { return num_nodes_; }
  bool enabled() const { return enabled_; }
  const std::string& nodeFileName() const { return nodeFileName_; }
  const std::string& portFileName() const { return portFileName_; }
  const std::string& interfaceAddress() const { return interface_; }
  static const char* versionText();

 protected:
  // Clamps COUNT to 1..128; false when it equals the current count.
  bool updateNNodes(int count);

 private:
  void copySettings(const JFleetTap& other);
  void applySettings();
  void broadcastNodes();
  void traceDrops() const;

  int clockValue_ = 0;
  int onOff_ = 0;
  std::string nodeFileName_;
  JString nodePattern_ = JString("*.nod");
  std::string portFileName_;
  JString portPattern_ = JString("*.mcp");
  double mediumThreshold_ = 2.0;
  double badThreshold_ = 4.0;
  int maxPacketSize_ = kSlotSize;
  int packetBufferSize_ = kSlotCount;
  int verifyChecksum_ = 0;
  std::string interface_;  // "multicast interface"; empty: default and loopback
  std::unique_ptr<kv_rov_registry> registry_;
  int num_nodes_ = 0;
  bool enabled_ = true;
  const kv_clock* clock_ = &kv_systemClock::instance();
};

}  // namespace kestrel
