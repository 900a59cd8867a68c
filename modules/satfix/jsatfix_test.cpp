#include "modules/satfix/jsatfix.h"

#include <gtest/gtest.h>

#include <cctype>
#include <iterator>
#include <string>
#include <vector>

#include "modules/common/jcomponent.h"
#include "modules/host/module_graph.h"
#include "modules/host/probe_modules.h"
#include "modules/satfix/satfix_fixture.h"

namespace kestrel {
namespace {

using testing::Probe;

TEST_F(SatFixTest, GsvSetsSatellitesInViewAndBroadcastsOnlyThatOutput) {
  send("$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*74\r\n");
  EXPECT_EQ(probe->ports(), std::vector<int>{2});
  EXPECT_EQ(text(2), "11");
}

TEST_F(SatFixTest, GgaGivesTextsAndDecimalDegreesInBroadcastOrder) {
  send("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
  EXPECT_EQ(probe->ports(), (std::vector<int>{0, 1, 3, 4}));
  EXPECT_EQ(text(0), "48 07.038 N");
  EXPECT_EQ(text(1), "011 31.000 E");
  EXPECT_DOUBLE_EQ(real(3), 48 + 7.038 / 60);
  EXPECT_DOUBLE_EQ(real(4), 11 + 31.000 / 60);
}

TEST_F(SatFixTest, GllGivesTheSameTexts) {
  send("$GPGLL,4916.45,N,12311.12,W,225444,A\n");
  EXPECT_EQ(text(0), "49 16.45 N");
  EXPECT_EQ(text(1), "123 11.12 W");
  EXPECT_DOUBLE_EQ(real(3), 49 + 16.45 / 60);
  EXPECT_DOUBLE_EQ(real(4), 123 + 11.12 / 60);
}

TEST_F(SatFixTest, SouthAndWestComeOutPositive) {
  send("$GPGLL,4916.45,S,12311.12,W,225444,A\n");
  const double south = real(3), west = real(4);
  send("$GPGLL,4916.45,N,12311.12,E,225444,A\n");
  EXPECT_DOUBLE_EQ(south, real(3));
  EXPECT_DOUBLE_EQ(west, real(4));
  EXPECT_GT(south, 0);
}

TEST_F(SatFixTest, SentencesWithoutTheTalkerAreAcceptedOtherTalkersAreNot) {
  send("GLL,4916.45,N,12311.12,W\n");
  EXPECT_EQ(text(0), "49 16.45 N");
  probe->events.clear();
  send("$GNGGA,123519,4807.038,N,01131.000,E,1,08\n$GPRMC,1,A,4807.038,N\n");
  EXPECT_TRUE(probe->events.empty());
}

TEST_F(SatFixTest, ChunksSplitAnywhereGiveTheSameResult) {
  const std::string stream =
      "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
      "$GPGSV,3,1,11,03,03,111,00*4A\r\n$GPGLL,4916.45,S,12311.12,W,225444,A\r\n";
  send(stream);
  const auto whole = probe->events;
  for (std::size_t cut = 1; cut < stream.size(); ++cut) {
    probe->events.clear();
    send(stream.substr(0, cut));
    send(stream.substr(cut));
    ASSERT_EQ(probe->events.size(), whole.size()) << "cut at " << cut;
    for (std::size_t i = 0; i < whole.size(); ++i) {
      EXPECT_EQ(probe->events[i].text, whole[i].text) << "cut at " << cut;
    }
  }
  probe->events.clear();
  for (char c : stream) send(std::string(1, c));
  ASSERT_EQ(probe->events.size(), whole.size());
  EXPECT_EQ(probe->events.back().text, whole.back().text);
}

TEST_F(SatFixTest, NoFixGgaUpdatesBothTextsAndZeroesTheDecimals) {
  send("$GPGGA,002153.000,,,,,0,00,,,M,0.0,M,,0000*53\r\n");
  EXPECT_EQ(probe->ports(), (std::vector<int>{0, 1, 3, 4}));
  EXPECT_EQ(text(0), " ,");  // a space and the next character of the sentence
  EXPECT_EQ(text(1), " 0");
  EXPECT_DOUBLE_EQ(real(3), 0.0);
  EXPECT_DOUBLE_EQ(real(4), 0.0);
}

TEST_F(SatFixTest, BeforeAnySentenceDecimalsAreTenAndTwenty) {
  EXPECT_DOUBLE_EQ(pullReal(3), 10.0);
  EXPECT_DOUBLE_EQ(pullReal(4), 20.0);
  send("$GPGSV,1,1,04\n");
  EXPECT_DOUBLE_EQ(pullReal(3), 10.0) << "GSV does not recompute the decimals";
  EXPECT_DOUBLE_EQ(pullReal(7), 20.0) << "higher ports answer the longitude";
}

struct Echo {
  std::vector<std::string> lines;
  std::vector<std::size_t> eventsAtEcho;
  Probe* probe;
};

TEST_F(SatFixTest, DebugFlagEchoesEveryNonEmptyLineBeforeParsing) {
  Echo echo{{}, {}, probe};
  JComponent::setDebugSink(
      [](void* ctx, const JString& line) {
        auto* e = static_cast<Echo*>(ctx);
        e->lines.push_back(line.str());
        e->eventsAtEcho.push_back(e->probe->events.size());
      },
      &echo);
  send("$GPGSV,1,1,04\r\n");
  EXPECT_TRUE(echo.lines.empty()) << "flag 0 echoes nothing";
  feed->sendInteger(1, 7);
  send("$GPGSV,1,1,05\r\n\r\n$GPXYZ\n");
  feed->sendInteger(1, 0);
  send("$GPGSV,1,1,06\n");
  JComponent::setDebugSink(nullptr, nullptr);
  EXPECT_EQ(echo.lines, (std::vector<std::string>{"$GPGSV,1,1,05", "$GPXYZ"}));
  EXPECT_EQ(echo.eventsAtEcho[0], 1u) << "echoed before the sentence's broadcast";
}

TEST_F(SatFixTest, OverlongLineIsDroppedAndReadingResumesAfterTheNextLineEnd) {
  // 250 characters without a line end, whose tail looks like a sentence.
  const std::string junk = std::string(240, 'x') + "GSV,1,1,09";
  send(junk + "\n$GPGSV,3,1,07,01\n");
  EXPECT_EQ(probe->ports(), std::vector<int>{2}) << "only the sentence after the junk";
  EXPECT_EQ(text(2), "7");
  probe->events.clear();
  send(std::string(150, 'y'));
  send(std::string(100, 'y') + "GSV,1,1,09");
  send("\r\n$GPGSV,3,1,08\r\n");
  EXPECT_EQ(probe->ports(), std::vector<int>{2});
  EXPECT_EQ(text(2), "8");
}

TEST_F(SatFixTest, A198CharacterLineIsParsedA199CharacterLineIsNot) {
  std::string line = "$GPGSV,3,1,05,";
  line += std::string(198 - line.size(), '0');
  send(line + "\n");
  EXPECT_EQ(text(2), "5");
  probe->events.clear();
  send(line + "0\n");
  EXPECT_TRUE(probe->events.empty());
}

TEST_F(SatFixTest, DecimalPointTooEarlyLeavesTheSentenceUnparsed) {
  send("$GPGLL,4.5,N,12311.12,W\n$GPGLL,.5,N,12311.12,W\nGGA,1,.4,N,1.,E\n");
  EXPECT_TRUE(probe->events.empty());
  send("$GPGLL,12.5,N,123.5,W\n");
  EXPECT_EQ(text(0), " 12.5 N");
  EXPECT_EQ(text(1), "1 23.5 W");  // the two characters before the point move
}

TEST_F(SatFixTest, LongFieldsAbandonTheSentenceKeepingWhatWasAlreadyUpdated) {
  send("$GPGLL,4916.45,N," + std::string(60, '1') + ",W\n");
  EXPECT_EQ(probe->ports(), std::vector<int>{0});
  probe->events.clear();
  // The longitude runs past position 100 of the sentence.
  send("$GPGLL,4916." + std::string(40, '4') + ",N,12311." + std::string(45, '1') + ",W\n");
  EXPECT_EQ(probe->ports(), std::vector<int>{0});
}

TEST_F(SatFixTest, TruncatedSentencesEndWithoutWritingPastTheirText) {
  send("$GPGLL,4916.45\n$GPGLL\n$GPGGA\n$GPGGA,1234\n$GPGLL,4916.45,\n");
  EXPECT_EQ(text(0), "49 16.45 ");  // the last one: no hemisphere left
  EXPECT_EQ(probe->ports(), std::vector<int>{0});
  probe->events.clear();
  send("$GPGSV\n");
  EXPECT_EQ(text(2), "0");
}

TEST_F(SatFixTest, CloneCarriesThePartialLine) {
  send("$GPGSV,3,1,");
  std::unique_ptr<JObject> copy(gps->clone());
  auto* other = static_cast<JSatFix*>(copy.get());
  ASSERT_EQ(graph.add("gps2", std::unique_ptr<JAddObj>(static_cast<JAddObj*>(copy.release()))), "");
  ASSERT_EQ(graph.link("gps2", 2, "probe", 2), "");
  probe->events.clear();
  other->receive("12\n", 3);
  EXPECT_EQ(text(2), "12");
}

// Good sentences of a receiver log, each with a matching checksum.
const char* const kGoodLog[] = {
    "$GPGGA,225310,4527.458,S,16709.165,E,1,05,2.1,14.6,M,1.1,M,,*5B",
    "$GPGLL,5327.04024,N,00214.41560,W,102929.00,A,A*7A",
    "$GPGSV,3,1,11,01,78,221,47,03,09,042,00,04,05,242,00,06,04,149,00*70",
};

TEST_F(SatFixTest, ChecksumMismatchDropsAndCountsTheSentenceIntactOnesAreRead) {
  std::vector<std::vector<Probe::Event>> intact;
  for (const char* line : kGoodLog) {
    probe->events.clear();
    send(std::string(line) + "\r\n");
    ASSERT_FALSE(probe->events.empty()) << line;
    intact.push_back(probe->events);
  }
  EXPECT_EQ(gps->checksumFailures(), 0);

  // Every single byte of every sentence replaced by every other value: the
  // module either says nothing or says what the intact sentence said.
  long damagedChecksums = 0;
  for (std::size_t s = 0; s < std::size(kGoodLog); ++s) {
    const std::string good = kGoodLog[s];
    for (std::size_t at = 0; at < good.size(); ++at) {
      for (int value = 0; value < 256; ++value) {
        std::string bad = good;
        bad[at] = static_cast<char>(value);
        if (bad == good) continue;
        const bool splitsLine = value == '\r' || value == '\n';
        probe->events.clear();
        send(bad + "\r\n");
        for (const Probe::Event& e : probe->events) {
          const Probe::Event* same = nullptr;
          for (const Probe::Event& i : intact[s]) {
            if (i.port == e.port) same = &i;
          }
          // A line end cuts the checksum off: what is left of the line is read
          // as it stands (a GSV count can lose digits, a hemisphere can go).
          if (splitsLine && e.port <= 2) continue;
          ASSERT_NE(same, nullptr) << bad;
          EXPECT_EQ(e.text, same->text) << bad;
          EXPECT_EQ(e.real, same->real) << bad;
        }
        const bool sameDigit = std::tolower(value) == std::tolower(good[at]);
        if (good.find('*') < at && !splitsLine && !sameDigit) ++damagedChecksums;
      }
    }
  }
  // Damage behind the "*" (other than a digit's other case, or a line end
  // that cuts the checksum off) always leaves a checksum that cannot match.
  EXPECT_GT(damagedChecksums, 0);
  EXPECT_GE(gps->checksumFailures(), damagedChecksums);

  probe->events.clear();
  const long failures = gps->checksumFailures();
  send("$GPGLL,4916.45,N,12311.12,W,225444,A\r\n$GPGLL,4916.45,N,12311.12,W,225444,A*31\r\n");
  EXPECT_EQ(probe->ports(), (std::vector<int>{0, 1, 3, 4, 0, 1, 3, 4}))
      << "without a checksum, and with a matching one, the sentence is read";
  EXPECT_EQ(gps->checksumFailures(), failures);
  send("$GPGLL,4916.45,N,12311.12,W,225444,A*30\r\n");
  EXPECT_EQ(gps->checksumFailures(), failures + 1);
  EXPECT_EQ(probe->events.size(), 8u);
}

TEST(SatFix, FaceTagsTypesAndPlacement) {
  JSatFix m;
  EXPECT_EQ(m.className(), "JSatFix");
  EXPECT_EQ(m.inputCount(), 2);
  EXPECT_EQ(m.outputCount(), 5);
  EXPECT_EQ(m.bodyColor(), JStringData::color);
  EXPECT_EQ(m.inputTag(0), "bytes from COM");
  EXPECT_EQ(m.inputTag(1), "enable DEBUG");
  const char* tags[] = {"laT", "lOn", "number satellites", "flat", "flon"};
  const int types[] = {JStringData::id, JStringData::id, JIntegerData::id, JRealData::id,
                       JRealData::id};
  for (int p = 0; p < 5; ++p) {
    EXPECT_EQ(m.outputTag(p), tags[p]);
    EXPECT_EQ(m.outputType(p), types[p]);
    EXPECT_EQ(m.outputFace(p), 2);
    EXPECT_TRUE(m.outputAllowed(p));
  }
  EXPECT_EQ(m.inputType(0), JBytesData::id);
  EXPECT_EQ(m.inputType(1), JIntegerData::id);
  EXPECT_EQ(m.inputFace(0), 0);
  EXPECT_EQ(m.inputFace(1), 1);
  EXPECT_EQ(m.inputPoint(1, nullptr).y, 0);
  EXPECT_EQ(m.getProperties().size(), 3);  // any talker, signed degrees, verify checksum
  JRecordingGraphics g;
  m.draw(g, 1, 2, 30, 40);
  EXPECT_EQ(g.calls(), std::vector<std::string>{"text 1 2 30 40 SatFix_1"});
}

}  // namespace
}  // namespace kestrel
