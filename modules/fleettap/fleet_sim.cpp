#include "modules/fleettap/fleet_sim.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

bool parseNumber(const char* text, double* value) {
  char* end = nullptr;
  *value = std::strtod(text, &end);
  return end != text && *end == '\0' && std::isfinite(*value);
}

std::string nmeaSentence(const std::string& body) {
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X", nmeaChecksum(body));
  return "$" + body + tail;
}

// ddmm.mmmm (or dddmm.mmmm) and its hemisphere letter.
std::string nmeaAngle(double degrees, int width, char positive, char negative) {
  double magnitude = std::fabs(degrees);
  int whole = static_cast<int>(magnitude);
  double minutes = (magnitude - whole) * 60;
  char text[32];
  std::snprintf(text, sizeof text, "%0*d%07.4f,%c", width, whole, minutes,
                degrees < 0 ? negative : positive);
  return text;
}

}  // namespace

std::string fleetSimUsage() {
  return "Usage: fleetsim [options]\n"
         "Sends node packets for a simulated fleet to a multicast group.\n"
         "  --group ADDR        multicast group (default 239.255.42.1)\n"
         "  --port N            UDP port (default 5400)\n"
         "  --interface ADDR    local address the packets leave from (default 127.0.0.1)\n"
         "  --nodes N           number of nodes (default 4)\n"
         "  --first-id N        id of the first node (default 1)\n"
         "  --rate R            packets per second, all nodes together (default 10)\n"
         "  --duration S        stop after S seconds\n"
         "  --count N           stop after N packets\n"
         "  --malformed F       send a fraction F of the packets broken\n"
         "  --out-of-order F    send a fraction F with a time in the past\n"
         "  --silent ID         node ID stops reporting (repeatable)\n"
         "  --silent-after S    silent nodes stop S seconds after the start (default 0)\n"
         "  --latitude D        latitude of the tracks' centre, degrees (default 49.2827)\n"
         "  --longitude D       longitude of the tracks' centre, degrees (default -123.1207)\n"
         "  --radius D          radius of the tracks, degrees (default 0.01)\n"
         "  --seed N            random seed (default 1)\n"
         "  --help              print this and exit\n"
         "  --version           print the version and exit\n";
}

bool parseFleetSimOptions(int argc, const char* const* argv, FleetSimOptions* o,
                          std::string* error) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help") {
      *error = "";
      return false;
    }
    if (arg == "--version") {
      o->version = true;
      return true;
    }
    if (i + 1 >= argc) {
      *error = "option " + arg + " needs a value";
      return false;
    }
    const char* value = argv[++i];
    double number = 0;
    bool numeric = parseNumber(value, &number);
    if (arg == "--group") {
      o->group = value;
    } else if (arg == "--interface") {
      o->interface = value;
    } else if (!numeric) {
      *error = "bad value for " + arg + ": " + value;
      return false;
    } else if (arg == "--port" && number >= 1 && number <= 65535) {
      o->port = static_cast<uint16_t>(number);
    } else if (arg == "--nodes" && number >= 1 && number <= 1001) {
      o->nodes = static_cast<int>(number);
    } else if (arg == "--first-id" && number >= 0 && number <= 1000) {
      o->firstId = static_cast<int>(number);
    } else if (arg == "--rate" && number > 0) {
      o->rate = number;
    } else if (arg == "--duration" && number >= 0) {
      o->duration = number;
    } else if (arg == "--count" && number >= 0) {
      o->count = static_cast<uint64_t>(number);
    } else if (arg == "--malformed" && number >= 0 && number <= 1) {
      o->malformed = number;
    } else if (arg == "--out-of-order" && number >= 0 && number <= 1) {
      o->outOfOrder = number;
    } else if (arg == "--silent") {
      o->silent.push_back(static_cast<int>(number));
    } else if (arg == "--silent-after" && number >= 0) {
      o->silentAfter = number;
    } else if (arg == "--latitude" && number >= -89 && number <= 89) {
      o->centerLatitude = number;
    } else if (arg == "--longitude" && number >= -179 && number <= 179) {
      o->centerLongitude = number;
    } else if (arg == "--radius" && number >= 0 && number <= 10) {
      o->radiusDegrees = number;
    } else if (arg == "--seed") {
      o->seed = static_cast<uint32_t>(number);
    } else {
      *error = "bad option or value: " + arg + " " + value;
      return false;
    }
  }
  return true;
}

uint8_t nmeaChecksum(const std::string& body) {
  uint8_t sum = 0;
  for (char c : body) sum ^= static_cast<uint8_t>(c);
  return sum;
}

std::string nodePacket(int id, double latitude, double longitude, int64_t millisSince1970) {
  std::time_t seconds = static_cast<std::time_t>(millisSince1970 / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char time[32], date[32];
  std::snprintf(time, sizeof time, "%02d%02d%02d.%02d", utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(millisSince1970 % 1000) / 10);
  std::snprintf(date, sizeof date, "%02d,%02d,%04d", utc.tm_mday, utc.tm_mon + 1,
                utc.tm_year + 1900);
  std::string zda = nmeaSentence(std::string("GPZDA,") + time + "," + date + ",00,00");
  std::string gll = nmeaSentence("GPGLL," + nmeaAngle(latitude, 2, 'N', 'S') + "," +
                                 nmeaAngle(longitude, 3, 'E', 'W') + "," + time + ",A,A");
  return std::to_string(id) + " " + zda + "\r\n" + gll + "\r\n";
}

FleetSim::FleetSim(FleetSimOptions options) : options_(std::move(options)), random_(options_.seed) {}

std::string FleetSim::packetAt(uint64_t n, double elapsed, int64_t startMillis) {
  int index = static_cast<int>(n % static_cast<uint64_t>(options_.nodes));
  int id = options_.firstId + index;
  bool silenced = std::find(options_.silent.begin(), options_.silent.end(), id) !=
                  options_.silent.end();
  if (silenced && elapsed >= options_.silentAfter) return "";
  // Each node circles the centre once a minute, starting at its own angle.
  double angle = 2 * M_PI * (elapsed / 60.0 + static_cast<double>(index) / options_.nodes);
  double latitude = options_.centerLatitude + options_.radiusDegrees * std::sin(angle);
  double longitude = options_.centerLongitude + options_.radiusDegrees * std::cos(angle);
  int64_t millis = startMillis + static_cast<int64_t>(elapsed * 1000);
  std::uniform_real_distribution<double> chance(0, 1);
  if (chance(random_) < options_.outOfOrder) millis -= 5000;
  std::string packet = nodePacket(id, latitude, longitude, millis);
  if (chance(random_) < options_.malformed) {
    // Cut the position sentence before its end: the monitor must drop it.
    packet.resize(packet.size() / 2 + packet.size() / 4);
  }
  return packet;
}
