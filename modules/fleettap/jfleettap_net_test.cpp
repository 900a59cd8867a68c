// JFleetTap inside the host's module graph, fed by real multicast datagrams
// on the loopback interface.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "modules/fleettap/fleet_sim.h"
#include "modules/fleettap/fleet_test_support.h"
#include "modules/fleettap/jfleettap.h"
#include "modules/fleettap/kv_olog.h"
#include "modules/host/module_graph.h"
#include "modules/host/probe_modules.h"
#include "testing/test_support.h"

namespace kestrel {
namespace {

using testing::Feeder;
using testing::Probe;
using kestrel::testing::readFile;
using kestrel::testing::waitFor;

const char* kGroup = "239.255.77.3";

const std::string kZda = "$GPZDA,161156.25,30,01,2004,00,00*61";
const std::string kGll = "$GPGLL,4916.45,N,12311.12,W,161156,A,A*59";

std::string sentence(const std::string& body) {
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X", nmeaChecksum(body));
  return "$" + body + tail;
}

class FleetTapNetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port = freeUdpPort();
    sender = std::make_unique<MulticastSender>(kGroup, port);
    dir.write("fleet.nod", "0 anonymous\n17 alpha\n18 beta\n");
    dir.write("fleet.mcp", "lan " + std::string(kGroup) + " " + std::to_string(port) + "\n");
    auto module = std::make_unique<JFleetTap>();
    module->setClock(clock);
    module->updateProperty(JStringProperty(JString("multicast interface"), JString(kLoopbackInterface)));
    ASSERT_EQ(graph.add("feed", std::make_unique<Feeder>("ii")), "");
    ASSERT_EQ(graph.add("tap", std::move(module)), "");
    ASSERT_EQ(graph.add("probe", std::make_unique<Probe>(24)), "");
    feed = static_cast<Feeder*>(graph.find("feed"));
    tap = static_cast<JFleetTap*>(graph.find("tap"));
    probe = static_cast<Probe*>(graph.find("probe"));
    setFile("node file name", dir.file("fleet.nod"));
    setFile("port file name", dir.file("fleet.mcp"));
    graph.startupAll();
    ASSERT_EQ(tap->outputCount(), 24);
    ASSERT_EQ(graph.link("feed", 0, "tap", 0), "");
    ASSERT_EQ(graph.link("feed", 1, "tap", 1), "");
    for (int p = 0; p < 24; ++p) ASSERT_EQ(graph.link("tap", p, "probe", p), "");
    feed->sendInteger(1, 1);  // on
  }
  void setFile(const char* name, const std::string& path) {
    ASSERT_TRUE(tap->updateProperty(JFileProperty(JString(name), JString(path), JString("*"))));
  }
  kv_multicast_recv& receiver() { return tap->registry()->portAt(0)->receiver(); }
  // Sends the packets and waits until the receiver has them all.
  void send(std::initializer_list<std::string> packets) {
    uint64_t before = receiver().received();
    for (const auto& p : packets) ASSERT_TRUE(sender->send(p));
    ASSERT_TRUE(waitFor([&] { return receiver().received() == before + packets.size(); }));
  }
  void tick() {
    feed->sendInteger(0, 0);
    feed->sendInteger(0, 1);
  }
  std::string text(int output) const {
    const Probe::Event* e = probe->last(output);
    return e ? e->text : "<none>";
  }
  double real(int output) const {
    const Probe::Event* e = probe->last(output);
    return e ? e->real : -999.0;
  }

  kestrel::testing::TempDir dir{false};
  uint16_t port = 0;
  ManualClock clock;
  ModuleGraph graph;
  Feeder* feed = nullptr;
  JFleetTap* tap = nullptr;
  Probe* probe = nullptr;
  std::unique_ptr<MulticastSender> sender;
};

TEST_F(FleetTapNetTest, TheWorkedPacketReachesNode17) {
  send({"17 " + kZda + "\r\n" + kGll});
  tick();
  EXPECT_EQ(text(8), "17");
  EXPECT_DOUBLE_EQ(real(9), 49 + 16.45 / 60);
  EXPECT_DOUBLE_EQ(real(10), -(123 + 11.12 / 60));
  EXPECT_EQ(text(11), "1075479116");
  EXPECT_EQ(text(12), "250");
  EXPECT_EQ(text(13), "2004/01/30,16:11:56.250");
  EXPECT_EQ(text(14), "0");
}

TEST_F(FleetTapNetTest, SouthAndEastHemispheres) {
  send({"18 " + kZda + "\r\n$GPGLL,4916.45,S,12311.12,E,161156,A,A*59"});
  tick();
  EXPECT_DOUBLE_EQ(real(17), -(49 + 16.45 / 60));
  EXPECT_DOUBLE_EQ(real(18), 123 + 11.12 / 60);
}

TEST_F(FleetTapNetTest, MissingModeFieldDropsEmptyModeFieldIsAccepted) {
  send({"17 " + kZda + "$GPGLL,4916.45,N,12311.12,W,161156,A*59",
        "18 " + kZda + "$GPGLL,4916.45,N,12311.12,W,161156,A,*59"});
  tick();
  EXPECT_EQ(text(13), "");  // node 17 kept nothing
  EXPECT_EQ(text(21), "2004/01/30,16:11:56.250");
  EXPECT_EQ(tap->registry()->portAt(0)->malformed(), 1u);
}

TEST_F(FleetTapNetTest, TextBeforeTheIdGoesToNode0) {
  send({"ROV seventeen " + kZda + kGll});
  tick();
  EXPECT_EQ(text(0), "0");
  EXPECT_EQ(text(5), "2004/01/30,16:11:56.250");
  EXPECT_EQ(text(13), "");
}

TEST_F(FleetTapNetTest, TwoPacketsForOneNodeInATickKeepTheLaterTime) {
  send({"17 $GPZDA,161157.00,30,01,2004,00,00*61" + kGll,
        "17 $GPZDA,161156.00,30,01,2004,00,00*61$GPGLL,4000.00,N,12311.12,W,161156,A,A*59",
        "18 $GPZDA,161156.00,30,01,2004,00,00*61$GPGLL,4000.00,N,12311.12,W,161156,A,A*59",
        "18 $GPZDA,161156.00,30,01,2004,00,00*61$GPGLL,4100.00,N,12311.12,W,161156,A,A*59"});
  tick();
  EXPECT_EQ(text(13), "2004/01/30,16:11:57.000");
  EXPECT_DOUBLE_EQ(real(9), 49 + 16.45 / 60);  // the earlier second packet was ignored
  EXPECT_DOUBLE_EQ(real(17), 41.0);             // the same time replaces
}

TEST_F(FleetTapNetTest, PacketsOf250CharactersOrMoreAreDroppedWhole) {
  std::string packet = "17 " + kZda + kGll;
  std::string padded = packet + std::string(250 - packet.size(), ' ');
  std::string fits = packet + std::string(249 - packet.size(), ' ');
  send({padded});
  tick();
  EXPECT_EQ(text(13), "");
  EXPECT_EQ(receiver().droppedOversized(), 1u);
  send({fits});
  tick();
  EXPECT_EQ(text(13), "2004/01/30,16:11:56.250");
}

TEST_F(FleetTapNetTest, ATickThatLostPacketsSaysHowManyInTheTrace) {
  ASSERT_EQ(fleetLog().open("%s", dir.file("trace.log").c_str()), 1);
  const std::string packet = "17 " + kZda + kGll;
  send({packet + std::string(260 - packet.size(), ' ')});
  for (int i = 0; i < JFleetTap::kSlotCount + 3; ++i) send({packet});
  tick();
  const kv_rov_registry::Drops drops = tap->registry()->droppedLastService();
  tick();  // nothing lost in this period: no line
  fleetLog().close();
  EXPECT_EQ(drops.full, 3u);
  EXPECT_EQ(drops.oversized, 1u);
  EXPECT_EQ(tap->registry()->droppedLastService().full, 0u);
  const std::string trace = readFile(dir.file("trace.log"));
  const std::string line = "JFleetTap::engine() dropped 3 packets for full slots, 1 too long\n";
  ASSERT_NE(trace.find(line), std::string::npos) << trace.substr(0, 400);
  EXPECT_EQ(trace.find("JFleetTap::engine() dropped", trace.find(line) + 1), std::string::npos);
}

// The groups this process has joined, by interface name, from the kernel's
// table of memberships.
std::multimap<std::string, std::string> joinedGroups() {
  std::multimap<std::string, std::string> groups;
  std::istringstream table(readFile("/proc/net/igmp"));
  std::string device;
  for (std::string line; std::getline(table, line);) {
    std::istringstream words(line);
    std::string first;
    words >> first;
    if (line.empty() || first == "Idx") continue;
    if (line[0] != '\t') {
      words >> device;
    } else {
      groups.emplace(device, first);
    }
  }
  return groups;
}

TEST(FleetTapInterface, GroupsAreJoinedOnlyOnTheChosenInterface) {
  const char* group = "239.255.77.71";  // no other test joins it
  in_addr address{};
  ASSERT_EQ(::inet_pton(AF_INET, group, &address), 1);
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08X", address.s_addr);  // as the kernel lists it

  kestrel::testing::TempDir dir{false};
  dir.write("fleet.nod", "17 alpha\n");
  dir.write("fleet.mcp", "lan " + std::string(group) + " " + std::to_string(freeUdpPort()) + "\n");
  JFleetTap tap;
  ASSERT_TRUE(tap.updateProperty(JStringProperty(JString("multicast interface"), JString(kLoopbackInterface))));
  ASSERT_TRUE(tap.updateProperty(JFileProperty(JString("node file name"), JString(dir.file("fleet.nod")), JString("*"))));
  ASSERT_TRUE(tap.updateProperty(JFileProperty(JString("port file name"), JString(dir.file("fleet.mcp")), JString("*"))));
  tap.startup();
  tap.registry()->runAll();
  std::vector<std::string> devices;
  for (const auto& [device, joined] : joinedGroups()) {
    if (joined == hex) devices.push_back(device);
  }
  EXPECT_EQ(devices, std::vector<std::string>{"lo"});
  EXPECT_EQ(tap.getProperties().find("multicast interface")->asString()->getText(), "127.0.0.1");
  JContent saved;
  tap.writeContent(saved);
  JFleetTap copy;
  copy.readContent(saved);
  EXPECT_EQ(copy.interfaceAddress(), "127.0.0.1");
  tap.close();
  for (const auto& [device, joined] : joinedGroups()) EXPECT_NE(joined, hex) << device;
}

TEST_F(FleetTapNetTest, VerifyChecksumDropsCorruptedSentences) {
  ASSERT_TRUE(tap->updateProperty(JIntegerProperty(JString("verify checksum"), 1, 0, 1)));
  const std::string zda = sentence("GPZDA,161156.25,30,01,2004,00,00");
  const std::string gll = sentence("GPGLL,4916.45,N,12311.12,W,161156,A,A");
  std::string corrupted = gll;
  corrupted[8] = '7';  // 4916.45 becomes 4976.45 on the way
  send({"17 " + zda + "\r\n" + corrupted, "18 " + zda + "\r\n" + gll});
  tick();
  EXPECT_EQ(text(13), "");
  EXPECT_EQ(text(21), "2004/01/30,16:11:56.250");
  // Off again: the example's own checksums are not checked.
  ASSERT_TRUE(tap->updateProperty(JIntegerProperty(JString("verify checksum"), 0, 0, 1)));
  send({"17 " + kZda + kGll});
  tick();
  EXPECT_EQ(text(13), "2004/01/30,16:11:56.250");
}

TEST_F(FleetTapNetTest, OnTwiceLeavesOneReceiverAndOffStopsIt) {
  feed->sendInteger(1, 7);  // on again: still one thread, one socket
  EXPECT_TRUE(receiver().running());
  send({"17 " + kZda + kGll});
  EXPECT_EQ(receiver().received(), 1u);  // one socket: no duplicate
  feed->sendInteger(1, 0);
  EXPECT_FALSE(receiver().running());
  tick();  // stopped handlers do not service
  EXPECT_EQ(text(13), "");
  feed->sendInteger(1, 1);
  tick();  // what was buffered before the stop arrives now
  EXPECT_EQ(text(13), "2004/01/30,16:11:56.250");
}

TEST_F(FleetTapNetTest, HealthGoesMediumAndBadWhenANodeFallsSilent) {
  clock.set(2000000, 0);
  send({"17 " + kZda + kGll});
  tick();
  EXPECT_EQ(text(14), "0");
  clock.advanceMs(2500);
  tick();
  EXPECT_EQ(text(14), "1");
  EXPECT_NEAR(real(15), 2.5, 1e-9);
  clock.advanceMs(1500);
  tick();
  EXPECT_EQ(text(14), "2");
}

// Ticks, on/off changes, close and destruction while a sender floods the
// group: nothing crashes, and the thread sanitizer sees no race.
TEST_F(FleetTapNetTest, StopCloseAndDestroyWhilePacketsArrive) {
  std::atomic<bool> done{false};
  const uint16_t target = port;
  std::thread flood([&] {
    MulticastSender s(kGroup, target);
    while (!done.load()) s.send("17 " + kZda + kGll);
  });
  for (int i = 0; i < 30; ++i) {
    tick();
    if (i % 3 == 0) {
      feed->sendInteger(1, 0);
      feed->sendInteger(1, 1);
    }
  }
  // Still listening: the flood reaches node 17 at one of the next ticks.
  EXPECT_TRUE(waitFor([&] {
    tick();
    return text(13) == "2004/01/30,16:11:56.250";
  }));
  tap->close();
  EXPECT_EQ(tap->registry(), nullptr);
  // A second module is destroyed while its receiver runs.
  {
    JFleetTap other;
    other.updateProperty(JStringProperty(JString("multicast interface"), JString(kLoopbackInterface)));
    other.updateProperty(JFileProperty(JString("node file name"), JString(dir.file("fleet.nod")), JString("*")));
    other.updateProperty(JFileProperty(JString("port file name"), JString(dir.file("fleet.mcp")), JString("*")));
    other.startup();
    other.registry()->runAll();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  done.store(true);
  flood.join();
}

}  // namespace
}  // namespace kestrel
