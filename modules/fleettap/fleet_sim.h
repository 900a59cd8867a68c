// The fleet simulator's packets: nodes moving along circular tracks, each
// reporting its time and position in the node packet format.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

struct FleetSimOptions {
  std::string group = "239.255.42.1";
  uint16_t port = 5400;
  std::string interface = "127.0.0.1";  // where the datagrams leave
  int nodes = 4;
  int firstId = 1;
  double rate = 10;         // packets per second, all nodes together
  double duration = 0;      // seconds; 0: until count or for ever
  uint64_t count = 0;       // packets; 0: no limit
  double malformed = 0;     // fraction of packets sent broken
  double outOfOrder = 0;    // fraction of packets sent with an earlier time
  std::vector<int> silent;  // node ids that stop reporting
  double silentAfter = 0;   // seconds after the start when they stop
  double centerLatitude = 49.2827;
  double centerLongitude = -123.1207;
  double radiusDegrees = 0.01;
  uint32_t seed = 1;
  bool version = false;     // --version: print the version, send nothing
};

// Parses the command line; false with a message in *error, or with an
// empty *error for --help.
bool parseFleetSimOptions(int argc, const char* const* argv, FleetSimOptions* options,
                          std::string* error);
std::string fleetSimUsage();

// The NMEA checksum of the characters between "$" and "*".
uint8_t nmeaChecksum(const std::string& body);

// One node packet for ID at LATITUDE, LONGITUDE (decimal degrees) and the
// UTC time MILLIS_SINCE_1970.
std::string nodePacket(int id, double latitude, double longitude, int64_t millisSince1970);

// Builds the packets of one run, in sending order.
class FleetSim {
 public:
  explicit FleetSim(FleetSimOptions options);
  // The packet sent at ELAPSED seconds after the start (packet number N of
  // the run), or "" when it is a silent node's turn.
  std::string packetAt(uint64_t n, double elapsed, int64_t startMillis);

 private:
  FleetSimOptions options_;
  std::mt19937 random_;
};
