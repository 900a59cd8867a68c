#include "modules/fleettap/kv_rov_registry.h"

#include <gtest/gtest.h>

#include "modules/fleettap/fleet_test_support.h"
#include "testing/test_support.h"

namespace {

using kestrel::testing::TempDir;

class RegistryTest : public ::testing::Test {
 protected:
  std::string nodeFile(const std::string& text) {
    dir_.write("fleet.nod", text);
    return dir_.file("fleet.nod");
  }
  TempDir dir_{false};
  ManualClock clock_;
  kv_rov_registry registry_{250, 20, clock_};
};

TEST_F(RegistryTest, NodeFileLinesBecomeNodesByPositionAndId) {
  ASSERT_TRUE(registry_.loadNodeFile(nodeFile("# fleet\n3 alpha\n\n7\n12 gamma extra\n3 again\n").c_str()));
  EXPECT_EQ(registry_.nodeCount(), 3u);
  EXPECT_EQ(registry_.idAt(0), 3);
  EXPECT_EQ(registry_.idAt(1), 7);
  EXPECT_EQ(registry_.idAt(2), 12);
  EXPECT_EQ(registry_.idAt(3), 0);
  EXPECT_EQ(registry_.nodeAt(1)->name(), "");
  EXPECT_EQ(registry_.nodeAt(0)->name(), "alpha");  // the first id 3 stays
  EXPECT_EQ(registry_.highestId(), 12);
  EXPECT_EQ(registry_.nodeById(12)->name(), "gamma");
  EXPECT_EQ(registry_.nodeById(5), nullptr);
  EXPECT_EQ(registry_.nodeById(-1), nullptr);
  EXPECT_EQ(registry_.nodeById(13), nullptr);
  EXPECT_EQ(registry_.nodeAt(3), nullptr);
}

TEST_F(RegistryTest, IdLimitsAndEmptyFiles) {
  ASSERT_TRUE(registry_.loadNodeFile(nodeFile("1001 far\n1000 edge\n-4 minus\nx7 zero\n").c_str()));
  EXPECT_EQ(registry_.nodeCount(), 2u);
  EXPECT_EQ(registry_.nodeById(1000)->name(), "edge");
  EXPECT_EQ(registry_.nodeById(0)->name(), "zero");
  EXPECT_FALSE(registry_.loadNodeFile(nodeFile("# nothing\n\n").c_str()));
  EXPECT_EQ(registry_.nodeCount(), 0u);
  EXPECT_FALSE(registry_.loadNodeFile(dir_.file("missing.nod").c_str()));
  ASSERT_TRUE(registry_.loadNodeFile(nodeFile("0\n").c_str()));
  EXPECT_NE(registry_.nodeById(0), nullptr);
}

TEST_F(RegistryTest, PortFileLinesNeedThreeTokens) {
  dir_.write("fleet.mcp", "# ports\nnorth 239.255.1.1 5001\nshort 239.255.1.2\nsouth 239.255.1.3 5003\n");
  ASSERT_TRUE(registry_.loadPortFile(dir_.file("fleet.mcp").c_str()));
  ASSERT_EQ(registry_.portCount(), 2);
  EXPECT_EQ(registry_.portAt(0)->name(), "north");
  EXPECT_EQ(registry_.portAt(1)->groupAddress(), "239.255.1.3");
  EXPECT_EQ(registry_.portAt(1)->portNumber(), 5003);
  dir_.write("empty.mcp", "only two\n");
  EXPECT_FALSE(registry_.loadPortFile(dir_.file("empty.mcp").c_str()));
  EXPECT_EQ(registry_.portCount(), 0);
}

TEST_F(RegistryTest, LoadingNodesStopsRunningPorts) {
  dir_.write("fleet.mcp", "north 239.255.1.1 0\n");
  registry_.setInterface(kLoopbackInterface);
  ASSERT_TRUE(registry_.loadPortFile(dir_.file("fleet.mcp").c_str()));
  ASSERT_TRUE(registry_.loadNodeFile(nodeFile("1\n").c_str()));
  registry_.runAll();
  EXPECT_EQ(registry_.portAt(0)->running(), 1);
  registry_.runAll();  // a second run leaves one receive thread
  EXPECT_TRUE(registry_.portAt(0)->receiver().running());
  ASSERT_TRUE(registry_.loadNodeFile(nodeFile("2\n").c_str()));
  EXPECT_EQ(registry_.portAt(0)->running(), 0);
  EXPECT_FALSE(registry_.portAt(0)->receiver().running());
}

TEST_F(RegistryTest, HealthFollowsTheThresholdsAndTheClock) {
  ASSERT_TRUE(registry_.loadNodeFile(nodeFile("1\n").c_str()));
  kv_rov_nodeHandler* node = registry_.nodeById(1);
  EXPECT_EQ(node->updateHealth(), 2);  // never heard from
  // Initial thresholds (medium 4000, bad 2000): good below 2 s, bad after.
  node->markPacket();
  clock_.advanceMs(1999);
  EXPECT_EQ(node->updateHealth(), 0);
  clock_.advanceMs(1);
  EXPECT_EQ(node->updateHealth(), 2);

  registry_.setThresholds(-2, 4);  // negative values act as absolute values
  EXPECT_EQ(node->mediumThreshold(), 2000);
  EXPECT_EQ(node->badThreshold(), 4000);
  struct Case { int idleMs; int health; };
  for (Case c : {Case{1500, 0}, Case{2500, 1}, Case{3999, 1}, Case{4000, 2}, Case{60000, 2}}) {
    node->markPacket();
    clock_.advanceMs(c.idleMs);
    EXPECT_EQ(node->updateHealth(), c.health) << c.idleMs;
    EXPECT_DOUBLE_EQ(node->getIdleTime(), c.idleMs / 1000.0);
  }
}

TEST_F(RegistryTest, OlderReportsAreIgnoredAndEqualOnesReplace) {
  ASSERT_TRUE(registry_.loadNodeFile(nodeFile("1\n").c_str()));
  kv_rov_nodeHandler* node = registry_.nodeById(1);
  kv_brokenTime t;
  node->set(1, 2, t, kv_time{100, 500}, "first");
  node->set(3, 4, t, kv_time{100, 500}, "same time");
  EXPECT_DOUBLE_EQ(node->latitude(), 3);
  EXPECT_STREQ(node->timeText(), "same time");
  node->set(5, 6, t, kv_time{100, 499}, "a millisecond earlier");
  EXPECT_DOUBLE_EQ(node->latitude(), 3);
  node->set(7, 8, t, kv_time{99, 999}, "a second earlier");
  EXPECT_DOUBLE_EQ(node->longitude(), 4);
  std::string longText(500, 't');
  node->set(9, 9, t, kv_time{101, 0}, longText.c_str());
  EXPECT_EQ(std::string(node->timeText()).size(), 127u);
}

}  // namespace

namespace {

class RegistryFilesTest : public ::testing::Test {
 protected:
  kestrel::testing::TempDir dir_{false};
  ManualClock clock_;
  kv_rov_registry registry_{250, 20, clock_};
};

TEST_F(RegistryFilesTest, AnOverlongLineIsSkippedWholeNotReadInPieces) {
  // The tail of the long line starts with a number; it must not become a node.
  std::string longLine = "5 " + std::string(300, 'x') + " 9 tail\n";
  std::string huge = "6 " + std::string(5000, 'y') + "\n";
  dir_.write("fleet.nod", "1 one\n" + longLine + huge + "2 two\n");
  ASSERT_TRUE(registry_.loadNodeFile(dir_.file("fleet.nod").c_str()));
  EXPECT_EQ(registry_.nodeCount(), 2u);
  EXPECT_EQ(registry_.idAt(0), 1);
  EXPECT_EQ(registry_.idAt(1), 2);
  EXPECT_EQ(registry_.nodeById(5), nullptr);
}

TEST_F(RegistryFilesTest, ALineOf255CharactersIsRead) {
  std::string line = "4 " + std::string(253, 'n');
  ASSERT_EQ(line.size(), 255u);
  dir_.write("fleet.nod", line + "\n");
  ASSERT_TRUE(registry_.loadNodeFile(dir_.file("fleet.nod").c_str()));
  EXPECT_EQ(registry_.nodeById(4)->name().size(), 253u);
}

TEST_F(RegistryFilesTest, PortNumbersOutsideUdpAreSkipped) {
  dir_.write("fleet.mcp", "a 239.255.1.1 70000\nb 239.255.1.1 -1\nc 239.255.1.1 65535\n");
  ASSERT_TRUE(registry_.loadPortFile(dir_.file("fleet.mcp").c_str()));
  ASSERT_EQ(registry_.portCount(), 1);
  EXPECT_EQ(registry_.portAt(0)->name(), "c");
}

TEST_F(RegistryFilesTest, ThresholdsAndChecksumFlagReachPortsAndNodesLoadedLater) {
  registry_.setVerifyChecksum(true);
  registry_.setThresholds(1.0, 3.0);
  dir_.write("fleet.nod", "1\n");
  ASSERT_TRUE(registry_.loadNodeFile(dir_.file("fleet.nod").c_str()));
  EXPECT_EQ(registry_.nodeAt(0)->badThreshold(), 3000);
  EXPECT_TRUE(registry_.verifyChecksum());
}

}  // namespace
