// The simulator's packets must be what the monitor's parser accepts.
#include "modules/fleettap/fleet_sim.h"

#include <gtest/gtest.h>

#include <cmath>

#include "modules/fleettap/kv_rov_packet.h"

namespace {

TEST(FleetSim, PacketsParseBackToTheirPositionAndTime) {
  std::string packet = nodePacket(17, 49.274166, -123.185333, 1075479116250);
  char* first = nullptr;
  char* second = nullptr;
  EXPECT_EQ(parsePacket_full(packet.data(), &first, &second), 17);
  kv_rov_report report;
  ASSERT_TRUE(parsePacket_s1(first, &report));
  ASSERT_TRUE(parsePacket_s2(second, &report));
  EXPECT_NEAR(report.latitude, 49.274166, 1e-5);
  EXPECT_NEAR(report.longitude, -123.185333, 1e-5);
  EXPECT_EQ(report.utc1970_.seconds, 1075479116);
  EXPECT_EQ(report.utc1970_.millis, 250);
  EXPECT_STREQ(report.utcString_, "2004/01/30,16:11:56.250");
}

TEST(FleetSim, ChecksumsAreTheXorOfTheBody) {
  EXPECT_EQ(nmeaChecksum("GPGLL,4916.45,N,12311.12,W,225444,A"), 0x31);
}

TEST(FleetSim, SilentNodesStopAndBrokenPacketsDoNotParse) {
  FleetSimOptions options;
  options.nodes = 2;
  options.silent = {2};
  options.silentAfter = 1;
  options.malformed = 1;
  FleetSim sim(options);
  EXPECT_FALSE(sim.packetAt(1, 0.5, 0).empty());  // node 2 before it falls silent
  EXPECT_TRUE(sim.packetAt(3, 1.5, 0).empty());
  std::string broken = sim.packetAt(0, 1.5, 0);
  char* first = nullptr;
  char* second = nullptr;
  parsePacket_full(broken.data(), &first, &second);
  kv_rov_report report;
  EXPECT_FALSE(first && second && parsePacket_s1(first, &report) && parsePacket_s2(second, &report));
}

TEST(FleetSim, OptionsAreChecked) {
  FleetSimOptions options;
  std::string error;
  const char* good[] = {"fleetsim", "--nodes", "128", "--rate", "500", "--silent", "3"};
  EXPECT_TRUE(parseFleetSimOptions(7, good, &options, &error));
  EXPECT_EQ(options.nodes, 128);
  EXPECT_EQ(options.silent, std::vector<int>{3});
  const char* bad[] = {"fleetsim", "--rate", "fast"};
  EXPECT_FALSE(parseFleetSimOptions(3, bad, &options, &error));
  EXPECT_NE(error.find("--rate"), std::string::npos);
  const char* zero[] = {"fleetsim", "--nodes", "0"};
  EXPECT_FALSE(parseFleetSimOptions(3, zero, &options, &error));
}

}  // namespace

namespace {

TEST(FleetSimOptions, TheTracksCentreAndRadiusCanBeMoved) {
  FleetSimOptions options;
  std::string error;
  const char* args[] = {"fleetsim", "--latitude", "-2.5", "--longitude", "0", "--radius", "3"};
  ASSERT_TRUE(parseFleetSimOptions(7, args, &options, &error)) << error;
  EXPECT_DOUBLE_EQ(options.centerLatitude, -2.5);
  EXPECT_DOUBLE_EQ(options.centerLongitude, 0);
  EXPECT_DOUBLE_EQ(options.radiusDegrees, 3);
  const char* far[] = {"fleetsim", "--latitude", "95"};
  EXPECT_FALSE(parseFleetSimOptions(3, far, &options, &error));
}

}  // namespace
