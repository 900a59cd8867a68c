// JSatFix's three properties: "any talker", "signed degrees" and "verify
// checksum", each on and off, their persistence in a document and their face.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "modules/common/jgraphics.h"
#include "modules/common/jproperty.h"
#include "modules/common/jregistry.h"
#include "modules/host/document.h"
#include "modules/satfix/satfix_fixture.h"
#include "testing/test_support.h"

namespace kestrel {
namespace {

// "$" + body + "*hh" with the checksum a receiver would send.
std::string sentence(const std::string& body) {
  unsigned sum = 0;
  for (char c : body) sum ^= static_cast<unsigned char>(c);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
  return "$" + body + tail;
}

// One epoch of a u-blox receiver (NMEA 4.11, GN talker, W longitude),
// verbatim from tests/pygpsdata-nmea4.log of semuconsulting/pynmeagps (BSD-3-Clause).
const char* const kUbloxGga =
    "$GNGGA,103607.00,5327.03942,N,00214.42462,W,1,06,5.88,56.0,M,48.5,M,,*64\r\n";
const char* const kUbloxGll = "$GNGLL,5327.03942,N,00214.42462,W,103607.00,A,A*68\r\n";
const char* const kUbloxGsv =
    "$GPGSV,3,1,11,01,06,014,08,12,43,207,28,14,06,049,,15,44,171,23,1*6B\r\n"
    "$GPGSV,3,2,11,17,32,064,16,19,33,094,,20,20,251,31,21,04,354,,1*63\r\n"
    "$GPGSV,3,3,11,23,27,251,31,24,89,268,26,25,05,223,,1*5A\r\n"
    "$GLGSV,3,1,10,65,07,176,,66,57,223,35,67,42,315,23,68,00,341,29,1*7A\r\n"
    "$GLGSV,3,2,10,75,37,057,,76,78,303,18,77,27,253,21,84,19,018,,B*07\r\n"
    "$GLGSV,3,3,10,85,22,078,,86,01,121,,1*76\r\n"
    "$GAGSV,1,1,00,7*73\r\n"
    "$GBGSV,1,1,02,21,,,15,25,,,28,1*7E\r\n";

constexpr double kUbloxLatitude = 53 + 27.03942 / 60;
constexpr double kUbloxLongitude = 2 + 14.42462 / 60;

class SatFixSettingsTest : public SatFixTest {
 protected:
  void set(const char* name, int value) {
    ASSERT_TRUE(gps->updateProperty(JIntegerProperty(JString(name), value, 0, 2))) << name;
  }
  int get(const char* name) {
    JArray list = gps->getProperties();
    const JProperty* p = list.find(name);
    return p && p->asInteger() ? p->asInteger()->getValue() : -1;
  }
};

TEST_F(SatFixSettingsTest, PropertiesHaveTheirDefaultsRangesAndRefuseOthers) {
  JArray list = gps->getProperties();
  ASSERT_EQ(list.size(), 3);
  const char* names[] = {"any talker", "signed degrees", "verify checksum"};
  const int values[] = {0, 0, 1};
  const int highs[] = {1, 1, 2};
  for (int i = 0; i < 3; ++i) {
    const JIntegerProperty* p = list[i].asInteger();
    ASSERT_NE(p, nullptr) << names[i];
    EXPECT_EQ(list[i].getName(), names[i]);
    EXPECT_EQ(p->getValue(), values[i]);
    EXPECT_EQ(p->getLow(), 0);
    EXPECT_EQ(p->getHigh(), highs[i]);
  }
  EXPECT_FALSE(gps->updateProperty(JIntegerProperty(JString("any talker"), 2, 0, 2)));
  EXPECT_FALSE(gps->updateProperty(JIntegerProperty(JString("verify checksum"), 3, 0, 3)));
  EXPECT_FALSE(gps->updateProperty(JIntegerProperty(JString("signed degrees"), -1, -1, 1)));
  EXPECT_FALSE(gps->updateProperty(JStringProperty(JString("any talker"), JString("1"))));
  EXPECT_FALSE(gps->updateProperty(JIntegerProperty(JString("talker"), 1, 0, 1)));
  EXPECT_EQ(get("any talker"), 0);
  EXPECT_EQ(get("verify checksum"), 1);
}

TEST_F(SatFixSettingsTest, TheFaceListsTheSettingsBeneathTheLabel) {
  set("any talker", 1);
  set("verify checksum", 2);
  JRecordingGraphics face;
  gps->paint(face, 1.0, 1.0);
  EXPECT_EQ(face.texts(), (std::vector<std::string>{"SatFix_1", "any talker 1",
                                                    "signed degrees 0", "verify checksum 2"}));
}

TEST_F(SatFixSettingsTest, AnyTalkerReadsPositionsOfEveryGnssTalker) {
  send(kUbloxGga);
  send(kUbloxGll);
  EXPECT_TRUE(probe->events.empty()) << "off: GN positions are not read";

  set("any talker", 1);
  send(kUbloxGga);
  EXPECT_EQ(probe->ports(), (std::vector<int>{0, 1, 3, 4}));
  EXPECT_EQ(text(0), "53 27.03942 N");
  EXPECT_EQ(text(1), "002 14.42462 W");
  EXPECT_DOUBLE_EQ(real(3), kUbloxLatitude);
  EXPECT_DOUBLE_EQ(real(4), kUbloxLongitude);
  probe->events.clear();
  send(kUbloxGll);
  EXPECT_EQ(probe->ports(), (std::vector<int>{0, 1, 3, 4}));

  for (const char* talker : {"GP", "GN", "GL", "GA", "GB", "BD", "GQ", "QZ"}) {
    probe->events.clear();
    send(sentence(std::string(talker) + "GGA,000001,1000.000,N,02000.000,E,1,08,1.0,5,M,0,M,,"));
    EXPECT_EQ(probe->ports(), (std::vector<int>{0, 1, 3, 4})) << talker;
    EXPECT_DOUBLE_EQ(real(3), 10.0) << talker;
  }
  probe->events.clear();
  send("GLL,1100.000,N,02100.000,E,000002,A\n");
  EXPECT_DOUBLE_EQ(real(3), 11.0) << "no talker at all is still read";
  probe->events.clear();
  send(sentence("INGGA,103607.00,5327.03942,N,00214.42462,W,1,06,5.88,56.0,M,48.5,M,,"));
  send(sentence("PUBX,00,103607.00,5327.03942,N,00214.42462,W,104.461,G3"));
  send(sentence("GNRMC,103607.00,A,5327.03942,N,00214.42462,W,0.046,,060321,,,A,V"));
  EXPECT_TRUE(probe->events.empty()) << "other talkers and types stay ignored";

  set("any talker", 0);
  send(kUbloxGga);
  EXPECT_TRUE(probe->events.empty()) << "off again";
}

TEST_F(SatFixSettingsTest, SignedDegreesMakesSouthAndWestNegative) {
  const std::string sydney = sentence("GPGGA,000000,3340.800,S,15112.600,E,1,08,1.0,5,M,0,M,,");
  const std::string west = sentence("GPGLL,4916.45,N,12311.12,W,225444,A");
  send(sydney);
  EXPECT_DOUBLE_EQ(real(3), 33.68) << "off: the hemisphere is not applied";
  set("signed degrees", 1);
  send(sydney);
  EXPECT_DOUBLE_EQ(real(3), -33.68);
  EXPECT_DOUBLE_EQ(real(4), 151.21);
  EXPECT_EQ(text(0), "33 40.800 S") << "the texts keep their letters";
  send(west);
  EXPECT_DOUBLE_EQ(real(3), 49 + 16.45 / 60);
  EXPECT_DOUBLE_EQ(real(4), -(123 + 11.12 / 60));
  set("any talker", 1);
  send(kUbloxGga);
  EXPECT_DOUBLE_EQ(real(3), kUbloxLatitude);
  EXPECT_DOUBLE_EQ(real(4), -kUbloxLongitude);
  set("signed degrees", 0);
  send(kUbloxGga);
  EXPECT_DOUBLE_EQ(real(4), kUbloxLongitude);
}

TEST_F(SatFixSettingsTest, VerifyChecksumNeverWhenPresentOrRequired) {
  const std::string good = sentence("GPGLL,4916.45,N,12311.12,W,225444,A");
  std::string bad = good;
  bad[8] = '7';  // 4716.45: the checksum no longer matches
  const std::string bare = "$GPGLL,4800.00,N,01100.00,E,225444,A\r\n";

  EXPECT_EQ(get("verify checksum"), 1);
  send(bad);
  EXPECT_TRUE(probe->events.empty()) << "1: a wrong checksum drops the sentence";
  EXPECT_EQ(gps->checksumFailures(), 1);
  send(bare);
  EXPECT_EQ(text(0), "48 00.00 N") << "1: a sentence without a checksum is read";

  set("verify checksum", 0);
  send(bad);
  EXPECT_EQ(text(0), "47 16.45 N") << "0: read as it comes";
  EXPECT_EQ(gps->checksumFailures(), 1);

  set("verify checksum", 2);
  probe->events.clear();
  send(bare);
  send(bad);
  EXPECT_TRUE(probe->events.empty()) << "2: neither a missing nor a wrong checksum is read";
  EXPECT_EQ(gps->checksumFailures(), 3);
  send(good);
  EXPECT_EQ(text(0), "49 16.45 N");
  EXPECT_EQ(gps->checksumFailures(), 3);
}

TEST_F(SatFixSettingsTest, GsvCycleOfFourConstellationsGivesTheirSum) {
  send(kUbloxGsv);
  EXPECT_EQ(text(2), "11") << "off: the last $GPGSV count, other talkers ignored";

  set("any talker", 1);
  probe->events.clear();
  send(kUbloxGsv);
  EXPECT_EQ(text(2), "23");  // GPS 11 + GLONASS 10 + Galileo 0 + BeiDou 2
  EXPECT_EQ(probe->events.size(), 8u) << "each GSV broadcasts the count";
  send(kUbloxGsv);
  EXPECT_EQ(text(2), "23") << "the next cycle gives the same sum";
}

TEST_F(SatFixSettingsTest, AReceiverRepeatingGsvPerSignalIsNotCountedTwice) {
  set("any talker", 1);
  // GPS on L1 (signal 1) and L2 (signal 6), GLONASS on two signals, Galileo
  // and BeiDou on one each: 12 + 8 + 6 + 5 satellites.
  const std::string epoch =
      sentence("GPGSV,3,1,12,01,06,014,08,12,43,207,28,14,06,049,,15,44,171,23,1") +
      sentence("GPGSV,3,2,12,17,32,064,16,19,33,094,,20,20,251,31,21,04,354,,1") +
      sentence("GPGSV,3,3,12,23,27,251,31,24,89,268,26,25,05,223,,26,10,100,20,1") +
      sentence("GPGSV,2,1,07,01,06,014,08,12,43,207,28,14,06,049,,15,44,171,23,6") +
      sentence("GPGSV,2,2,07,17,32,064,16,19,33,094,,20,20,251,31,6") +
      sentence("GLGSV,2,1,08,65,07,176,,66,57,223,35,67,42,315,23,68,00,341,29,1") +
      sentence("GLGSV,2,2,08,75,37,057,,76,78,303,18,77,27,253,21,84,19,018,,1") +
      sentence("GLGSV,2,1,06,65,07,176,,66,57,223,35,67,42,315,23,68,00,341,29,3") +
      sentence("GLGSV,2,2,06,75,37,057,,76,78,303,18,3") +
      sentence("GAGSV,2,1,06,02,20,100,30,03,30,200,31,05,40,300,32,07,50,050,33,7") +
      sentence("GAGSV,2,2,06,09,10,010,20,11,15,110,21,7") +
      sentence("GBGSV,2,1,05,21,,,15,25,,,28,26,10,100,20,27,20,200,21,1") +
      sentence("GBGSV,2,2,05,30,30,300,22,1");
  for (int cycle = 0; cycle < 3; ++cycle) {
    probe->events.clear();
    send(epoch);
    EXPECT_EQ(text(2), "31") << "cycle " << cycle;
    int highest = 0;
    for (const auto& e : probe->events) highest = std::max(highest, std::stoi(e.text));
    if (cycle > 0) {
      EXPECT_EQ(highest, 31) << "never more while a cycle arrives";
    }
  }
  // Galileo is lost: its count stays for the cycle under way, then goes.
  const std::string withoutGalileo =
      epoch.substr(0, epoch.find("$GAGSV")) + epoch.substr(epoch.find("$GBGSV"));
  send(withoutGalileo);
  send(withoutGalileo);
  EXPECT_EQ(text(2), "25");
}

TEST_F(SatFixSettingsTest, SatellitesListedOnlyInAnotherRunAddToTheirConstellation) {
  set("any talker", 1);
  // Tracked satellites on signal 1, and those in view but not tracked in a
  // run of their own (signal 0): GPS 5 + 3; Galileo 2 + 3, one of which is
  // in a message lost on the way.
  const std::string epoch =
      sentence("GPGSV,2,1,05,04,52,188,20,07,37,319,27,08,71,161,26,09,60,265,31,1") +
      sentence("GPGSV,2,2,05,16,27,046,16,1") +
      sentence("GPGSV,1,1,03,01,00,172,,14,01,252,,21,12,153,,0") +
      sentence("GAGSV,1,1,02,07,27,181,14,15,30,100,16,7") +
      sentence("GAGSV,2,2,05,13,19,155,,30,18,063,,0");  // message 1 of 2 lost
  send(epoch);
  send(epoch);
  EXPECT_EQ(text(2), "13");  // 8 GPS; Galileo 5 as its run says, though 4 are listed
}

TEST_F(SatFixSettingsTest, NoFixThenAFixKeepsTheOutputsUntilThePosition) {
  set("any talker", 1);
  // A u-blox receiver before its first fix: empty fields, quality 0, status V.
  send("$GNGGA,103605.00,,,,,0,00,99.99,,,,,,*7F\r\n"
       "$GNGLL,,,,,103605.00,V,N*48\r\n");
  send(sentence("GNGGA,103606.00,5327.03942,N,00214.42462,W,0,00,99.99,,,,,,"));
  EXPECT_TRUE(probe->events.empty()) << "no fix: nothing changes";
  EXPECT_DOUBLE_EQ(pullReal(3), 10.0);
  EXPECT_DOUBLE_EQ(pullReal(4), 20.0);

  send(kUbloxGga);
  EXPECT_DOUBLE_EQ(real(3), kUbloxLatitude);
  EXPECT_DOUBLE_EQ(real(4), kUbloxLongitude);
  probe->events.clear();
  send("$GNGGA,103608.00,,,,,0,00,99.99,,,,,,*70\r\n");
  send(sentence("GNGLL,5327.03942,N,00214.42462,W,103608.00,V,N"));
  EXPECT_TRUE(probe->events.empty()) << "losing the fix keeps the last position";
  EXPECT_DOUBLE_EQ(pullReal(3), kUbloxLatitude);
  EXPECT_DOUBLE_EQ(pullReal(4), kUbloxLongitude);
}

class SatFixDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { JSatFix().Register(); }
  std::string property(const Document& doc, const char* name) {
    JArray list = doc.graph.find("gps")->getProperties();
    const JProperty* p = list.find(name);
    return p && p->asInteger() ? std::to_string(p->asInteger()->getValue()) : "<none>";
  }
  std::string error;
};

TEST_F(SatFixDocumentTest, SettingsAreSavedLoadedAndSavedAgainByteForByte) {
  auto doc = loadDocument(R"({"modules": [{"name": "gps", "class": "JSatFix",
      "properties": {"any talker": 1, "verify checksum": 2}}]})", {}, &error);
  ASSERT_NE(doc, nullptr) << error;
  ASSERT_TRUE(doc->graph.find("gps")->updateProperty(
      JIntegerProperty(JString("signed degrees"), 1, 0, 1)));
  testing::TempDir dir{false};
  ASSERT_TRUE(saveDocumentFile(*doc, dir.file("first.json"), &error)) << error;
  const std::string first = dir.read("first.json");
  EXPECT_NE(first.find("\"any talker\": 1"), std::string::npos) << first;
  EXPECT_NE(first.find("\"verify checksum\": 2"), std::string::npos) << first;

  auto again = loadDocumentFile(dir.file("first.json"), {}, &error);
  ASSERT_NE(again, nullptr) << error;
  EXPECT_EQ(property(*again, "any talker"), "1");
  EXPECT_EQ(property(*again, "signed degrees"), "1");
  EXPECT_EQ(property(*again, "verify checksum"), "2");
  ASSERT_TRUE(saveDocumentFile(*again, dir.file("second.json"), &error)) << error;
  EXPECT_EQ(dir.read("second.json"), first);
}

TEST_F(SatFixDocumentTest, ADocumentWithoutTheSettingsReadsAsTheDefaults) {
  auto doc = loadDocument(R"({"modules": [{"name": "gps", "class": "JSatFix",
      "content": {"x": 5, "verify checksum": 9}}]})", {}, &error);
  ASSERT_NE(doc, nullptr) << error;
  EXPECT_EQ(property(*doc, "any talker"), "0");
  EXPECT_EQ(property(*doc, "signed degrees"), "0");
  EXPECT_EQ(property(*doc, "verify checksum"), "2") << "a damaged value is held to the range";
  auto plain = loadDocument(R"({"modules": [{"name": "gps", "class": "JSatFix",
      "content": {"x": 5}}]})", {}, &error);
  ASSERT_NE(plain, nullptr) << error;
  EXPECT_EQ(property(*plain, "verify checksum"), "1");
}

}  // namespace
}  // namespace kestrel
