#include "modules/fleettap/kv_rov_packet.h"

#include <climits>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "modules/fleettap/kv_olog.h"

namespace {

// The fields of a sentence after its identifier, split at ",".
std::vector<std::string> fieldsOf(const char* sentence) {
  std::vector<std::string> fields;
  const char* comma = std::strchr(sentence, ',');
  while (comma != nullptr) {
    const char* start = comma + 1;
    comma = std::strchr(start, ',');
    fields.emplace_back(start, comma ? static_cast<size_t>(comma - start) : std::strlen(start));
  }
  return fields;
}

// A sentence starts with "$" and has at least COUNT fields, none of them
// empty except possibly the last of the COUNT.
bool wellShaped(const char* sentence, const std::vector<std::string>& fields, size_t count) {
  if (sentence == nullptr || sentence[0] != '$' || fields.size() < count) return false;
  for (size_t i = 0; i + 1 < count; ++i) {
    if (fields[i].empty()) return false;
  }
  return true;
}

// "%2d%2d%lf": hours, minutes and seconds of a time field, all required.
bool readTime(const std::string& field, int* hour, int* minute, double* seconds) {
  return std::sscanf(field.c_str(), "%2d%2d%lf", hour, minute, seconds) == 3;
}

bool readLong(const std::string& field, long* value) {
  return std::sscanf(field.c_str(), "%ld", value) == 1;
}

// "%1[set]": the field's first character is one of SET.
bool readLetter(const std::string& field, const char* set, char* letter) {
  if (field.empty() || std::strchr(set, field[0]) == nullptr) return false;
  *letter = field[0];
  return true;
}

double degreesOf(double value) {
  double degrees = std::floor(value * 0.01);
  return degrees + (value - degrees * 100) / 60;
}

}  // namespace

int64_t secondsSince1970(long year, long month, long day, int hour, int minute, int second) {
  // Days from the civil date (proleptic Gregorian calendar).
  int64_t y = year - (month <= 2 ? 1 : 0);
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yearOfEra = y - era * 400;
  int64_t m = month;
  int64_t dayOfYear = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  int64_t days = era * 146097 + dayOfEra - 719468;
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

bool sentenceChecksumOk(const char* sentence, const char* packetEnd) {
  if (sentence == nullptr || sentence >= packetEnd || sentence[0] != '$') return false;
  unsigned sum = 0;
  const char* p = sentence + 1;
  for (; p < packetEnd && *p != '\0'; ++p) sum ^= static_cast<unsigned char>(*p);
  // The digits follow the cut "*", inside the packet.
  const char* digits = p + 1;
  if (packetEnd - digits < 2) return false;
  if (!std::isxdigit(static_cast<unsigned char>(digits[0]))) return false;
  if (!std::isxdigit(static_cast<unsigned char>(digits[1]))) return false;
  const char hex[3] = {digits[0], digits[1], '\0'};
  return std::strtoul(hex, nullptr, 16) == sum;
}

int parsePacket_full(char* packet, char** first, char** second) {
  *first = *second = nullptr;
  fleetLog().printf("parsePacket_full 01\n");
  long id = std::strtol(packet, nullptr, 10);
  int nodeId = static_cast<int>(id < INT_MIN ? INT_MIN : id > INT_MAX ? INT_MAX : id);
  char* dollar = std::strchr(packet, '$');
  if (dollar == nullptr) return nodeId;
  fleetLog().printf("parsePacket_full 02\n");
  *first = dollar;
  if (dollar[1] == '\0') return nodeId;
  char* star = nullptr;
  char* p = dollar + 1;
  for (; *p != '\0' && *p != '$'; ++p) {
    if (*p != '*') continue;
    if (star != nullptr) {
      fleetLog().printf("parsePacket_full dumping 02.1 at %s\n", p);
      return nodeId;
    }
    star = p;
  }
  if (*p == '\0') {
    fleetLog().printf("parsePacket_full dumping 02.2\n");
    *first = nullptr;
    return nodeId;
  }
  if (star == nullptr) {
    fleetLog().printf("parsePacket_full 03\n");
    *first = nullptr;
    return nodeId;
  }
  fleetLog().printf("parsePacket_full 04\n");
  *second = p;
  *star = '\0';
  fleetLog().printf("runner is |%s|\n", *first);
  char* end = std::strchr(p, '*');
  if (end == nullptr) {
    fleetLog().printf("parsePacket_full 05\n");
    *first = *second = nullptr;
    return nodeId;
  }
  *end = '\0';
  fleetLog().printf("parsePacket_full 07\n");
  return nodeId;
}

bool parsePacket_s1(const char* sentence, kv_rov_report* report) {
  std::vector<std::string> f = fieldsOf(sentence ? sentence : "");
  if (!wellShaped(sentence, f, 6)) return false;
  int hour = 0, minute = 0;
  double seconds = 0;
  long day = 0, month = 0, year = 0, zoneHours = 0, zoneMinutes = 0;
  if (!readTime(f[0], &hour, &minute, &seconds) || !readLong(f[1], &day) ||
      !readLong(f[2], &month) || !readLong(f[3], &year) || !readLong(f[4], &zoneHours)) {
    return false;
  }
  if (!f[5].empty() && !readLong(f[5], &zoneMinutes)) return false;
  if (!std::isfinite(seconds) || std::fabs(seconds) > 1e9) return false;
  // Far beyond any clock: such numbers would overflow the day count.
  if (std::labs(year) > 1000000 || std::labs(month) > 1000000 || std::labs(day) > 100000000) {
    return false;
  }
  int wholeSeconds = static_cast<int>(seconds);
  report->time = kv_brokenTime{wholeSeconds, minute, hour, static_cast<int>(day),
                               static_cast<int>(month), static_cast<int>(year), 0, 0, -1};
  report->utc1970_.seconds = secondsSince1970(year, month, day, hour, minute, wholeSeconds);
  int millis = static_cast<int>((seconds - wholeSeconds) * 1000);
  report->utc1970_.millis = static_cast<uint16_t>(millis < 0 ? 0 : millis > 999 ? 999 : millis);
  fleetLog().printf("utc1970_.time %lld, utc1970_.millitm %d\n",
                    static_cast<long long>(report->utc1970_.seconds), report->utc1970_.millis);
  std::snprintf(report->utcString_, sizeof report->utcString_, "%4ld/%02ld/%02ld,%02d:%02d:%06.3lf",
                year, month, day, hour, minute, seconds);
  fleetLog().printf("kv_rov_portHandler::parsePacket_s1 utcString_ is %s\n", report->utcString_);
  return true;
}

bool parsePacket_s2(const char* sentence, kv_rov_report* report) {
  std::vector<std::string> f = fieldsOf(sentence ? sentence : "");
  if (!wellShaped(sentence, f, 7)) return false;
  double latitude = 0, longitude = 0, seconds = 0;
  char north = 0, east = 0, status = 0, mode = 0;
  int hour = 0, minute = 0;
  if (std::sscanf(f[0].c_str(), "%lf", &latitude) != 1 || !readLetter(f[1], "nNsS", &north) ||
      std::sscanf(f[2].c_str(), "%lf", &longitude) != 1 || !readLetter(f[3], "eEwW", &east) ||
      !readTime(f[4], &hour, &minute, &seconds) || !readLetter(f[5], "aAvV", &status)) {
    return false;
  }
  if (!f[6].empty() && !readLetter(f[6], "aAdDnN", &mode)) return false;
  report->latitude = degreesOf(latitude) * (north == 'n' || north == 'N' ? 1 : -1);
  report->longitude = degreesOf(longitude) * (east == 'e' || east == 'E' ? 1 : -1);
  return true;
}
