// Real multicast datagrams on the loopback interface.
#include "modules/fleettap/kv_multicast_recv.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "modules/fleettap/fleet_test_support.h"
#include "modules/fleettap/kv_rov_registry.h"
#include "testing/test_support.h"

namespace {

using kestrel::testing::waitFor;

const char* kGroup = "239.255.77.1";

std::string packetFor(int id, const char* time, const char* latitude) {
  return std::to_string(id) + " $GPZDA," + time + ",30,01,2004,00,00*61\r\n$GPGLL," + latitude +
         ",N,12311.12,W,161156,A,A*59";
}

class MulticastTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = freeUdpPort();
    dir_.write("fleet.nod", "17 alpha\n18 beta\n");
    dir_.write("fleet.mcp", "lan " + std::string(kGroup) + " " + std::to_string(port_) + "\n");
    registry_.setInterface(kLoopbackInterface);
    ASSERT_TRUE(registry_.loadNodeFile(dir_.file("fleet.nod").c_str()));
    ASSERT_TRUE(registry_.loadPortFile(dir_.file("fleet.mcp").c_str()));
  }
  kv_multicast_recv& receiver() { return registry_.portAt(0)->receiver(); }

  kestrel::testing::TempDir dir_{false};
  uint16_t port_ = 0;
  ManualClock clock_;
  kv_rov_registry registry_{250, 20, clock_};
};

TEST_F(MulticastTest, PacketsReachTheirNodesAtTheNextService) {
  registry_.runAll();
  MulticastSender sender(kGroup, port_);
  ASSERT_TRUE(sender.send(packetFor(17, "161156.25", "4916.45")));
  ASSERT_TRUE(sender.send(packetFor(18, "161157.00", "4917.00")));
  ASSERT_TRUE(sender.send(packetFor(99, "161157.00", "4917.00")));  // no such node
  ASSERT_TRUE(sender.send("garbage"));
  ASSERT_TRUE(waitFor([&] { return receiver().received() == 4; }));
  EXPECT_DOUBLE_EQ(registry_.nodeById(17)->latitude(), 0);  // not before the tick
  registry_.serviceAll();
  EXPECT_DOUBLE_EQ(registry_.nodeById(17)->latitude(), 49 + 16.45 / 60);
  EXPECT_STREQ(registry_.nodeById(18)->timeText(), "2004/01/30,16:11:57.000");
  EXPECT_EQ(registry_.portAt(0)->delivered(), 2u);
  EXPECT_EQ(registry_.portAt(0)->malformed(), 1u);
}

TEST_F(MulticastTest, TwoPacketsForOneNodeInATickApplyInOrderUnlessOlder) {
  registry_.runAll();
  MulticastSender sender(kGroup, port_);
  sender.send(packetFor(17, "161156.25", "4916.45"));
  sender.send(packetFor(17, "161158.00", "4918.00"));
  sender.send(packetFor(17, "161157.00", "4917.00"));  // earlier than the one before
  ASSERT_TRUE(waitFor([&] { return receiver().received() == 3; }));
  registry_.serviceAll();
  EXPECT_STREQ(registry_.nodeById(17)->timeText(), "2004/01/30,16:11:58.000");
  EXPECT_DOUBLE_EQ(registry_.nodeById(17)->latitude(), 49 + 18.0 / 60);
}

TEST_F(MulticastTest, FullBufferAndOversizedPacketsAreDroppedAndCounted) {
  registry_.runAll();
  MulticastSender sender(kGroup, port_);
  for (int i = 0; i < 25; ++i) sender.send(packetFor(17, "161156.25", "4916.45"));
  sender.send(std::string(300, 'x'));
  ASSERT_TRUE(waitFor([&] { return receiver().received() == 26; }));
  EXPECT_EQ(receiver().droppedFull(), 5u);
  EXPECT_EQ(receiver().droppedOversized(), 1u);
  registry_.serviceAll();
  EXPECT_EQ(registry_.portAt(0)->delivered(), 20u);
  // After the swap the front buffer has room again.
  sender.send(packetFor(17, "161159.00", "4916.45"));
  ASSERT_TRUE(waitFor([&] { return receiver().received() == 27; }));
  registry_.serviceAll();
  EXPECT_EQ(registry_.portAt(0)->delivered(), 21u);
}

TEST_F(MulticastTest, StoppingKeepsBufferedPacketsAndStopsReceiving) {
  registry_.runAll();
  MulticastSender sender(kGroup, port_);
  sender.send(packetFor(17, "161156.25", "4916.45"));
  ASSERT_TRUE(waitFor([&] { return receiver().received() == 1; }));
  registry_.stopAll();
  registry_.serviceAll();  // a stopped handler does not service
  EXPECT_DOUBLE_EQ(registry_.nodeById(17)->latitude(), 0);
  registry_.runAll();
  registry_.serviceAll();  // what was buffered before the stop arrives now
  EXPECT_DOUBLE_EQ(registry_.nodeById(17)->latitude(), 49 + 16.45 / 60);
}

// Start and stop while a sender floods the group: no crash, no lost
// buffered packet, clean under the thread sanitizer.
TEST_F(MulticastTest, RunAndStopWhilePacketsArrive) {
  std::atomic<bool> done{false};
  std::thread flood([&] {
    MulticastSender sender(kGroup, port_);
    while (!done.load()) sender.send(packetFor(17, "161156.25", "4916.45"));
  });
  for (int i = 0; i < 50; ++i) {
    registry_.runAll();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    registry_.serviceAll();
    registry_.stopAll();
  }
  done.store(true);
  flood.join();
  EXPECT_GT(registry_.portAt(0)->delivered(), 0u);
}

}  // namespace
