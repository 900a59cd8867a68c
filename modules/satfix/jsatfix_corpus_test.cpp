// Every receiver log of the corpus (testing/corpus/nmea), fed through JSatFix in the host's
// module graph. For each GGA and GLL sentence the decimal outputs must match
// the sentence's own latitude and longitude fields, and the texts must be
// those fields with a space between degrees and minutes and the hemisphere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "modules/host/module_graph.h"
#include "modules/host/probe_modules.h"
#include "modules/common/jproperty.h"
#include "modules/satfix/jsatfix.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;
using testing::Feeder;
using testing::Probe;

fs::path corpusDir() {
  const char* source = std::getenv("KESTREL_SOURCE_DIR");
  return fs::path(source ? source : ".") / "testing" / "corpus" / "nmea";
}

std::vector<std::string> splitFields(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  for (std::string f; std::getline(in, f, ',');) fields.push_back(f);
  if (!line.empty() && line.back() == ',') fields.emplace_back();
  return fields;
}

// ddmm.mmmm (or dddmm.mmmm) as decimal degrees; an empty field is 0.
double fieldDegrees(const std::string& field, int degreeDigits) {
  if (field.empty()) return 0.0;
  return std::stod(field.substr(0, static_cast<std::size_t>(degreeDigits))) +
         std::stod(field.substr(static_cast<std::size_t>(degreeDigits))) / 60.0;
}

std::string fieldText(const std::string& field, const std::string& hemisphere, int degreeDigits) {
  const auto d = static_cast<std::size_t>(degreeDigits);
  return field.substr(0, d) + " " + field.substr(d) + " " + hemisphere;
}

struct Tally {
  int positions = 0;  // GGA and GLL sentences checked
  int satellites = 0; // GSV sentences
  std::map<std::string, int> ignored;
};

// feed -> JSatFix with the given settings -> a probe on its five outputs,
// wired in the host's module graph.
struct Rig {
  explicit Rig(std::initializer_list<std::pair<const char*, int>> settings = {}) {
    EXPECT_EQ(graph.add("feed", std::make_unique<Feeder>("b")), "");
    EXPECT_EQ(graph.add("gps", std::make_unique<JSatFix>()), "");
    EXPECT_EQ(graph.add("probe", std::make_unique<Probe>(5)), "");
    feed = static_cast<Feeder*>(graph.find("feed"));
    gps = static_cast<JSatFix*>(graph.find("gps"));
    probe = static_cast<Probe*>(graph.find("probe"));
    EXPECT_EQ(graph.link("feed", 0, "gps", 0), "");
    for (int p = 0; p < 5; ++p) EXPECT_EQ(graph.link("gps", p, "probe", p), "");
    for (const auto& [name, value] : settings) {
      EXPECT_TRUE(gps->updateProperty(JIntegerProperty(JString(name), value, 0, 2))) << name;
    }
  }
  ModuleGraph graph;
  Feeder* feed = nullptr;
  JSatFix* gps = nullptr;
  Probe* probe = nullptr;
};

Tally feedFile(const fs::path& file) {
  Rig rig;
  Feeder* feed = rig.feed;
  Probe* probe = rig.probe;

  Tally tally;
  std::ifstream in(file, std::ios::binary);
  for (std::string raw; std::getline(in, raw);) {
    probe->events.clear();
    feed->sendBytes(0, raw + "\n");  // the log's own CR stays in the line
    std::string line = raw;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string type = line.size() >= 6 ? line.substr(0, 6) : line;
    if (type == "$GPGSV") {
      ++tally.satellites;
      EXPECT_EQ(probe->ports(), std::vector<int>{2}) << line;
      EXPECT_EQ(probe->last(2)->text, std::to_string(std::atoi(splitFields(line).at(3).c_str()))) << line;
      continue;
    }
    if (type != "$GPGGA" && type != "$GPGLL") {
      ++tally.ignored[line.empty() ? "(empty)" : line[0] == '#' ? "# comment" : type];
      continue;
    }
    ++tally.positions;
    std::vector<std::string> f = splitFields(line);
    const std::size_t lat = type == "$GPGGA" ? 2 : 1;
    EXPECT_EQ(probe->ports(), (std::vector<int>{0, 1, 3, 4})) << line;
    if (probe->events.size() != 4) continue;
    EXPECT_NEAR(probe->last(3)->real, fieldDegrees(f[lat], 2), 1e-9) << line;
    EXPECT_NEAR(probe->last(4)->real, fieldDegrees(f[lat + 2], 3), 1e-9) << line;
    if (!f[lat].empty()) {
      EXPECT_EQ(probe->last(0)->text, fieldText(f[lat], f[lat + 1], 2)) << line;
      EXPECT_EQ(probe->last(1)->text, fieldText(f[lat + 2], f[lat + 3], 3)) << line;
    }
  }
  return tally;
}

TEST(SatFixCorpus, EveryPositionSentenceMatchesItsFields) {
  int files = 0;
  Tally all;
  for (const auto& entry : fs::directory_iterator(corpusDir())) {
    if (entry.path().extension() != ".log") continue;
    ++files;
    Tally t = feedFile(entry.path());
    EXPECT_GT(t.positions + t.satellites, 0) << entry.path();
    all.positions += t.positions;
    all.satellites += t.satellites;
    for (const auto& [type, n] : t.ignored) all.ignored[type] += n;
  }
  EXPECT_EQ(files, 6);
  // 45 GGA and 16 GLL sentences are checked against their fields, 73 GSV
  // sentences set the satellite count (the truncated Garmin GSV too: its
  // count field is intact, and checksums are not verified).
  EXPECT_EQ(all.positions, 61);
  EXPECT_EQ(all.satellites, 73);
  // Ignored, as the module recognises only GSV, GLL and GGA: the gpsd logs'
  // '#' header lines (53), and every other sentence type -- RMC 47, GSA 20,
  // GPTXT banners 7, VTG 6, the Garmin route and proprietary sentences
  // (RMB, BOD, RTE, PGRME, PGRMZ, PGRMM: 7 each), the PolaRx2 extras (ZDA,
  // GST, GBS, GNS, GRS: 5 each) and the two MTK replies.
  int ignored = 0;
  for (const auto& [type, n] : all.ignored) ignored += n;
  EXPECT_EQ(all.ignored["# comment"], 53);
  EXPECT_EQ(all.ignored["$GPRMC"], 47);
  EXPECT_EQ(ignored, 53 + 47 + 20 + 7 + 6 + 6 * 7 + 5 * 5 + 2);
}

// The same logs with "any talker" and "signed degrees" on: a position
// sentence with a fix gives its fields' degrees, negative for S and W; one
// without a fix (the Motorola's start-up) changes nothing; a GSV of these
// single-constellation receivers gives its own count.
TEST(SatFixCorpus, AnyTalkerAndSignedDegreesOnTheSameLogs) {
  int fixes = 0, withoutFix = 0, negative = 0;
  for (const auto& entry : fs::directory_iterator(corpusDir())) {
    if (entry.path().extension() != ".log") continue;
    Rig rig{{"any talker", 1}, {"signed degrees", 1}};
    Feeder* feed = rig.feed;
    Probe* probe = rig.probe;
    std::ifstream in(entry.path(), std::ios::binary);
    for (std::string raw; std::getline(in, raw);) {
      probe->events.clear();
      feed->sendBytes(0, raw + "\n");
      std::string line = raw;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::string type = line.substr(0, std::min<std::size_t>(6, line.size()));
      const std::vector<std::string> f = splitFields(line);
      if (type == "$GPGSV") {
        EXPECT_EQ(probe->last(2)->text, std::to_string(std::atoi(f.at(3).c_str()))) << line;
      }
      if (type != "$GPGGA" && type != "$GPGLL") continue;
      const bool gga = type == "$GPGGA";
      const std::size_t lat = gga ? 2 : 1;
      const bool fix = !f[lat].empty() && (gga ? f.at(6) != "0" : f.size() < 7 || f[6] != "V");
      if (!fix) {
        ++withoutFix;
        EXPECT_TRUE(probe->events.empty()) << line;
        continue;
      }
      ++fixes;
      ASSERT_EQ(probe->ports(), (std::vector<int>{0, 1, 3, 4})) << line;
      const double latSign = f[lat + 1] == "S" ? -1.0 : 1.0;
      const double lonSign = f[lat + 3] == "W" ? -1.0 : 1.0;
      if (latSign < 0 || lonSign < 0) ++negative;
      EXPECT_NEAR(probe->last(3)->real, latSign * fieldDegrees(f[lat], 2), 1e-9) << line;
      EXPECT_NEAR(probe->last(4)->real, lonSign * fieldDegrees(f[lat + 2], 3), 1e-9) << line;
    }
  }
  EXPECT_GT(fixes, 0);
  EXPECT_GT(withoutFix, 0);
  EXPECT_GT(negative, 0);
  EXPECT_EQ(fixes + withoutFix, 61);
}

// What replaying a multi-constellation log through JSatFix met.
struct GnssReplay {
  int positions = 0;   // GGA and GLL sentences with a fix, checked against their fields
  int withoutFix = 0;  // GGA with quality 0 and GLL with status V: the outputs stay
  std::vector<int> epochSums;  // after each epoch's GSV run: its satellites in view
};

// Replays one log with "signed degrees" on and "any talker" as given. With
// "any talker" on, every GGA and GLL with a fix matches its fields with the
// hemisphere's sign, one without a fix changes nothing, and after each
// epoch's GSV sentences the satellite count is the sum over the
// constellations of their satellites in view (a talker's run repeated per
// signal counted once). Off, no position of a $GN sentence is read.
GnssReplay replayGnssLog(const fs::path& file, int anyTalker) {
  Rig rig{{"any talker", anyTalker}, {"signed degrees", 1}};
  Feeder* feed = rig.feed;
  Probe* probe = rig.probe;

  GnssReplay replay;
  std::map<std::string, int> inView;  // talker -> satellites in view, this epoch
  bool inGsv = false;
  std::ifstream in(file, std::ios::binary);
  for (std::string raw; std::getline(in, raw);) {
    std::string line = raw;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> f = splitFields(line.substr(0, line.find('*')));
    const std::string type = line.size() >= 6 ? line.substr(3, 3) : "";
    if (inGsv && type != "GSV" && anyTalker == 1) {
      int sum = 0;
      for (const auto& [talker, n] : inView) sum += n;
      EXPECT_EQ(probe->last(2)->text, std::to_string(sum)) << file << " before " << line;
      replay.epochSums.push_back(sum);
      inView.clear();
    }
    inGsv = type == "GSV";
    probe->events.clear();
    feed->sendBytes(0, raw + "\n");
    if (inGsv) {
      int& n = inView[line.substr(1, 2)];
      n = std::max(n, std::atoi(f.at(3).c_str()));
      continue;
    }
    if (type != "GGA" && type != "GLL") continue;
    if (anyTalker == 0) {
      if (line.compare(0, 3, "$GN") == 0) {
        EXPECT_TRUE(probe->events.empty()) << line;
      }
      continue;
    }
    const bool gga = type == "GGA";
    const std::size_t lat = gga ? 2 : 1;
    const bool fix = !f[lat].empty() && (gga ? f.at(6) != "0" : f.size() < 7 || f[6] != "V");
    if (!fix) {
      ++replay.withoutFix;
      EXPECT_TRUE(probe->events.empty()) << line;
      continue;
    }
    ++replay.positions;
    EXPECT_EQ(probe->ports(), (std::vector<int>{0, 1, 3, 4})) << line;
    if (probe->events.size() != 4) continue;
    EXPECT_EQ(probe->last(0)->text, fieldText(f[lat], f[lat + 1], 2)) << line;
    EXPECT_EQ(probe->last(1)->text, fieldText(f[lat + 2], f[lat + 3], 3)) << line;
    const double latSign = f[lat + 1] == "S" ? -1.0 : 1.0;
    const double lonSign = f[lat + 3] == "W" ? -1.0 : 1.0;
    EXPECT_NEAR(probe->last(3)->real, latSign * fieldDegrees(f[lat], 2), 1e-9) << line;
    EXPECT_NEAR(probe->last(4)->real, lonSign * fieldDegrees(f[lat + 2], 3), 1e-9) << line;
  }
  return replay;
}

bool isBeidouLog(const fs::path& file) {
  return file.filename().string().find("beidou") != std::string::npos;
}

// Logs of current u-blox receivers (testing/corpus/nmea/gnss): positions
// only as $GN sentences, satellites per constellation, the F9P repeating
// each constellation's GSV run per signal.
TEST(SatFixCorpus, CurrentReceiversWithAnyTalker) {
  int files = 0;
  for (const auto& entry : fs::directory_iterator(corpusDir() / "gnss")) {
    if (isBeidouLog(entry.path())) continue;
    ++files;
    for (int anyTalker = 0; anyTalker <= 1; ++anyTalker) {
      const GnssReplay replay = replayGnssLog(entry.path(), anyTalker);
      if (anyTalker == 1) {
        EXPECT_GT(replay.positions, 40) << entry.path();
        EXPECT_GT(static_cast<int>(replay.epochSums.size()), 20) << entry.path();
        EXPECT_EQ(replay.withoutFix, 0) << entry.path();
      }
    }
  }
  EXPECT_EQ(files, 2);
}

// GPS + BeiDou receivers (SiRF-TriG, Shanghai): one sends BeiDou satellites
// as $BDGSV and positions as $GNGGA, the other as $GBGSV (three-digit
// satellite ids) with $GPGGA; both start without a fix.
TEST(SatFixCorpus, BeidouReceiversWithAnyTalker) {
  const fs::path dir = corpusDir() / "gnss";
  const GnssReplay bd = replayGnssLog(dir / "ukyg9e5r6k7gubiekd6__gpsd__beidou-bd.log", 1);
  EXPECT_EQ(bd.positions, 5);
  EXPECT_EQ(bd.withoutFix, 5);
  EXPECT_EQ(bd.epochSums, (std::vector<int>{25 + 7, 20 + 12}));
  const GnssReplay bdOff = replayGnssLog(dir / "ukyg9e5r6k7gubiekd6__gpsd__beidou-bd.log", 0);
  EXPECT_TRUE(bdOff.epochSums.empty());

  const GnssReplay gb = replayGnssLog(dir / "ukyg9e5r6k7gubiekd6__gpsd__beidou-gb.log", 1);
  EXPECT_EQ(gb.positions, 2);
  EXPECT_EQ(gb.withoutFix, 3);
  EXPECT_EQ(gb.epochSums, (std::vector<int>{21 + 5, 21 + 5, 21 + 5, 21 + 11, 18 + 11}));

  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) files += isBeidouLog(entry.path()) ? 1 : 0;
  EXPECT_EQ(files, 2);
}

// What a line's "*hh" says, read as a receiver writes it: 'a' absent (no
// "*", or fewer than two characters after it), 'g' good, 'b' bad.
char checksumOf(const std::string& line) {
  const std::size_t star = line.find('*');
  if (star == std::string::npos || line.size() - star - 1 < 2) return 'a';
  if (line.size() - star - 1 != 2) return 'b';
  unsigned sum = 0;
  for (std::size_t i = line[0] == '$' ? 1 : 0; i < star; ++i) sum ^= static_cast<unsigned char>(line[i]);
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02X", sum);
  std::string given = line.substr(star + 1);
  for (char& c : given) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return given == hex ? 'g' : 'b';
}

// A receiver whose serial buffer overflowed (testing/corpus/nmea/damaged):
// lines cut into each other, NUL bytes, 43 lines whose "*hh" is wrong or
// followed by the rest of another line. Each value of
// "verify checksum" against it.
TEST(SatFixCorpus, VerifyChecksumOnADamagedLog) {
  const fs::path file =
      corpusDir() / "damaged" / "ukyg9e5r6k7gubiekd6__gpsd__gp-320fw-2019-04-07-coldboot.log";
  for (int mode = 0; mode <= 2; ++mode) {
    Rig rig{{"verify checksum", mode}};
    JSatFix* gps = rig.gps;
    Feeder* feed = rig.feed;
    Probe* probe = rig.probe;

    long bad = 0, absent = 0, badRead = 0, absentRead = 0, goodRead = 0;
    std::ifstream in(file, std::ios::binary);
    for (std::string raw; std::getline(in, raw);) {
      std::string line = raw;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty()) continue;
      probe->events.clear();
      feed->sendBytes(0, raw + "\n");
      const char checksum = checksumOf(line);
      const bool read = !probe->events.empty();
      long& tally = checksum == 'b' ? badRead : checksum == 'a' ? absentRead : goodRead;
      tally += read ? 1 : 0;
      bad += checksum == 'b' ? 1 : 0;
      absent += checksum == 'a' ? 1 : 0;
    }
    SCOPED_TRACE("verify checksum " + std::to_string(mode));
    EXPECT_EQ(bad, 43);
    EXPECT_GT(goodRead, 40) << "intact sentences are read in every mode";
    if (mode == 0) {
      EXPECT_GT(badRead, 10) << "damaged sentences reach the outputs";
      EXPECT_GT(absentRead, 0);
      EXPECT_EQ(gps->checksumFailures(), 0);
    } else {
      EXPECT_EQ(badRead, 0);
      EXPECT_EQ(gps->checksumFailures(), mode == 1 ? bad : bad + absent);
      if (mode == 1) {
        EXPECT_GT(absentRead, 0) << "a line cut before its checksum is still read";
      } else {
        EXPECT_EQ(absentRead, 0);
      }
    }
  }
}

}  // namespace
}  // namespace kestrel
