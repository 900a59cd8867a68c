// Receiver bytes into JSatFix, cut into chunks the input itself chooses,
// with every output pulled at each broadcast. The texts on the outputs must
// stay within the module's work texts whatever arrives, with any settings.
#include <cstddef>
#include <cstdint>
#include <string>

#include "modules/common/jcomponent.h"
#include "modules/common/jproperty.h"
#include "modules/host/module_graph.h"
#include "modules/host/probe_modules.h"
#include "modules/satfix/jsatfix.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kestrel;
  ModuleGraph graph;
  graph.add("feed", std::make_unique<testing::Feeder>("bi"));
  graph.add("gps", std::make_unique<JSatFix>());
  graph.add("probe", std::make_unique<testing::Probe>(5));
  auto* feed = static_cast<testing::Feeder*>(graph.find("feed"));
  auto* probe = static_cast<testing::Probe*>(graph.find("probe"));
  graph.link("feed", 0, "gps", 0);
  graph.link("feed", 1, "gps", 1);
  for (int p = 0; p < 5; ++p) graph.link("gps", p, "probe", p);
  JComponent::setDebugSink([](void*, const JString&) {}, nullptr);

  // First byte: the debug flag (bit 0), "any talker" (bit 1), "signed
  // degrees" (bit 2) and "verify checksum" (bits 3-4, modulo 3); then each
  // chunk is a length byte and its bytes.
  size_t at = 0;
  if (size > 0) {
    const int settings = data[at++];
    feed->sendInteger(1, settings & 1);
    JAddObj* gps = graph.find("gps");
    gps->updateProperty(JIntegerProperty(JString("any talker"), (settings >> 1) & 1, 0, 1));
    gps->updateProperty(JIntegerProperty(JString("signed degrees"), (settings >> 2) & 1, 0, 1));
    gps->updateProperty(JIntegerProperty(JString("verify checksum"), (settings >> 3) % 4 % 3, 0, 2));
  }
  while (at < size) {
    size_t length = data[at++] % 64 + 1;
    if (length > size - at) length = size - at;
    feed->sendBytes(0, std::string(reinterpret_cast<const char*>(data + at), length));
    at += length;
    for (const auto& e : probe->events) {
      if ((e.port == 0 || e.port == 1) && e.text.size() >= JSatFix::kWorkCapacity) __builtin_trap();
    }
    probe->events.clear();
  }
  return 0;
}
