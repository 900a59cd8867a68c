// Node packets through JFleetTap to node updates, for 128 nodes on one
// multicast group on the loopback interface.
//
// BM_Paced: a sender thread spreads RATE packets a second evenly over one
// second while the host's thread ticks the module every PERIOD ms. Counters:
// delivered packets a second, packets dropped because a buffer was full
// (20 slots per tick), and packets per tick offered.
// BM_Service: the cost of parsing and delivering one packet at the tick,
// packets put straight into the buffer (no network).
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "modules/fleettap/fleet_sim.h"
#include "modules/fleettap/fleet_test_support.h"
#include "modules/fleettap/jfleettap.h"
#include "modules/host/module_graph.h"
#include "modules/host/probe_modules.h"
#include "testing/test_support.h"

namespace {

using kestrel::JFileProperty;
using kestrel::JFleetTap;
using kestrel::JString;
using kestrel::JStringProperty;
using kestrel::ModuleGraph;
using kestrel::testing::Feeder;
using Clock = std::chrono::steady_clock;

constexpr int kNodes = 128;
const char* kGroup = "239.255.77.40";

// A graph of a feeder (clock, on off) and a JFleetTap with 128 nodes and
// one group, running.
struct Fleet {
  Fleet() : port(freeUdpPort()) {
    std::string nodes;
    for (int i = 1; i <= kNodes; ++i) nodes += std::to_string(i) + "\n";
    dir.write("bench.nod", nodes);
    dir.write("bench.mcp", "bench " + std::string(kGroup) + " " + std::to_string(port) + "\n");
    graph.add("feed", std::make_unique<Feeder>("ii"));
    graph.add("tap", std::make_unique<JFleetTap>());
    feed = static_cast<Feeder*>(graph.find("feed"));
    tap = static_cast<JFleetTap*>(graph.find("tap"));
    tap->updateProperty(JStringProperty(JString("multicast interface"), JString(kLoopbackInterface)));
    tap->updateProperty(JFileProperty(JString("node file name"), JString(dir.file("bench.nod")), JString("*")));
    tap->updateProperty(JFileProperty(JString("port file name"), JString(dir.file("bench.mcp")), JString("*")));
    graph.startupAll();
    graph.link("feed", 0, "tap", 0);
    graph.link("feed", 1, "tap", 1);
    feed->sendInteger(1, 1);
  }
  void tick() {
    feed->sendInteger(0, 0);
    feed->sendInteger(0, 1);
  }
  kv_rov_portHandler& handler() { return *tap->registry()->portAt(0); }

  kestrel::testing::TempDir dir{false};
  uint16_t port;
  ModuleGraph graph;
  Feeder* feed = nullptr;
  JFleetTap* tap = nullptr;
};

std::string packetFor(uint64_t n) {
  return nodePacket(static_cast<int>(n % kNodes) + 1, 49.28 + static_cast<double>(n % 97) * 1e-4, -123.12,
                    1075479116000LL + static_cast<int64_t>(n));
}

void BM_Paced(benchmark::State& state) {
  const double rate = static_cast<double>(state.range(0));
  const auto period = std::chrono::milliseconds(state.range(1));
  Fleet fleet;
  uint64_t delivered = 0, dropped = 0, offered = 0, ticks = 0;
  for (auto _ : state) {
    const uint64_t deliveredBefore = fleet.handler().delivered();
    const uint64_t droppedBefore = fleet.handler().receiver().droppedFull();
    const uint64_t receivedBefore = fleet.handler().receiver().received();
    std::atomic<bool> done{false};
    const auto start = Clock::now();
    const uint64_t total = static_cast<uint64_t>(rate);
    std::thread sender([&] {
      MulticastSender out(kGroup, fleet.port);
      for (uint64_t n = 0; n < total; ++n) {
        std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(
                                                  std::chrono::duration<double>(static_cast<double>(n) / rate)));
        out.send(packetFor(n));
      }
      done.store(true);
    });
    auto next = start + period;
    while (!done.load() || Clock::now() < start + std::chrono::seconds(1)) {
      std::this_thread::sleep_until(next);
      next += period;
      fleet.tick();
      ++ticks;
    }
    sender.join();
    // Let the last datagrams land, then one more tick takes them.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    fleet.tick();
    ++ticks;
    offered += fleet.handler().receiver().received() - receivedBefore;
    delivered += fleet.handler().delivered() - deliveredBefore;
    dropped += fleet.handler().receiver().droppedFull() - droppedBefore;
  }
  state.counters["delivered/s"] = benchmark::Counter(static_cast<double>(delivered),
                                                     benchmark::Counter::kIsRate);
  state.counters["received"] = static_cast<double>(offered);
  state.counters["dropped_full"] = static_cast<double>(dropped);
  state.counters["per_tick"] = rate * static_cast<double>(state.range(1)) / 1000.0;
}
BENCHMARK(BM_Paced)
    ->ArgsProduct({{100, 500, 1000, 2000, 5000}, {10, 20, 50, 100}})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_Service(benchmark::State& state) {
  Fleet fleet;
  kv_multicast_recv& receiver = fleet.handler().receiver();
  std::string packets[JFleetTap::kSlotCount];
  for (int i = 0; i < JFleetTap::kSlotCount; ++i) packets[i] = packetFor(static_cast<uint64_t>(i));
  uint64_t n = 0;
  for (auto _ : state) {
    for (const auto& p : packets) receiver.putPacket(p.data(), p.size());
    fleet.tick();
    n += JFleetTap::kSlotCount;
  }
  state.SetItemsProcessed(static_cast<int64_t>(n));
  state.counters["delivered"] = static_cast<double>(fleet.handler().delivered());
}
BENCHMARK(BM_Service);

}  // namespace

BENCHMARK_MAIN();
