// A generated receiver log: GGA, GLL and GSV sentences in turn, with moving
// positions, advancing times and correct checksums, CRLF line ends.
#pragma once

#include <cstdio>
#include <string>

namespace kestrel::bench {

inline std::string withChecksum(const std::string& body) {
  unsigned sum = 0;
  for (char c : body) sum ^= static_cast<unsigned char>(c);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
  return "$" + body + tail;
}

inline std::string nmeaLog(int sentences) {
  std::string log;
  log.reserve(static_cast<std::size_t>(sentences) * 72);
  char body[160];
  for (int i = 0; i < sentences; ++i) {
    const int second = i / 3;
    const int hh = second / 3600 % 24, mm = second / 60 % 60, ss = second % 60;
    const double lat = 4807.038 + (i % 1000) * 0.001;
    const double lon = 1131.000 + (i % 777) * 0.002;
    switch (i % 3) {
      case 0:
        std::snprintf(body, sizeof body,
                      "GPGGA,%02d%02d%02d.00,%.3f,N,%09.3f,E,1,08,0.9,545.4,M,46.9,M,,", hh, mm,
                      ss, lat, lon);
        break;
      case 1:
        std::snprintf(body, sizeof body, "GPGLL,%.3f,N,%09.3f,E,%02d%02d%02d.00,A,A", lat, lon,
                      hh, mm, ss);
        break;
      default:
        std::snprintf(body, sizeof body,
                      "GPGSV,3,%d,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00",
                      second % 3 + 1);
    }
    log += withChecksum(body);
  }
  return log;
}

}  // namespace kestrel::bench
