#include "modules/fleettap/kv_rov_packet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char* kTime = "$GPZDA,161156.25,30,01,2004,00,00*61";
const char* kPosition = "$GPGLL,4916.45,N,12311.12,W,161156,A,A*59";

struct Parsed {
  int id = -1;
  bool split = false;
  bool timeOk = false;
  bool positionOk = false;
  kv_rov_report report;
};

Parsed parse(std::string packet) {
  Parsed out;
  char* first = nullptr;
  char* second = nullptr;
  out.id = parsePacket_full(packet.data(), &first, &second);
  out.split = first != nullptr && second != nullptr;
  if (out.split) {
    out.timeOk = parsePacket_s1(first, &out.report);
    out.positionOk = parsePacket_s2(second, &out.report);
  }
  return out;
}

std::string packetOf(const std::string& head, const std::string& time, const std::string& position) {
  return head + time + "\r\n" + position;
}

TEST(NodePacket, TheWorkedExampleReachesItsNode) {
  Parsed p = parse(packetOf("17 ", kTime, kPosition));
  EXPECT_EQ(p.id, 17);
  ASSERT_TRUE(p.split);
  EXPECT_TRUE(p.timeOk);
  EXPECT_TRUE(p.positionOk);
  EXPECT_DOUBLE_EQ(p.report.latitude, 49 + 16.45 / 60);
  EXPECT_DOUBLE_EQ(p.report.longitude, -(123 + 11.12 / 60));
  EXPECT_EQ(p.report.utc1970_.millis, 250);
  EXPECT_EQ(p.report.utc1970_.seconds, 1075479116);  // 2004-01-30 16:11:56 UTC
  EXPECT_STREQ(p.report.utcString_, "2004/01/30,16:11:56.250");
  EXPECT_EQ(p.report.time.hour, 16);
  EXPECT_EQ(p.report.time.second, 56);
  EXPECT_EQ(p.report.time.daylight, -1);
}

TEST(NodePacket, HemispheresSetTheSigns) {
  Parsed p = parse(packetOf("17", kTime, "$GPGLL,4916.45,S,12311.12,E,161156,A,A*59"));
  ASSERT_TRUE(p.positionOk);
  EXPECT_LT(p.report.latitude, 0);
  EXPECT_GT(p.report.longitude, 0);
  p = parse(packetOf("17", kTime, "$GPGLL,4916.45,n,12311.12,e,161156,V,D*59"));
  ASSERT_TRUE(p.positionOk);
  EXPECT_GT(p.report.latitude, 0);
  EXPECT_GT(p.report.longitude, 0);
}

TEST(NodePacket, ModeFieldMayBeEmptyButNotMissing) {
  EXPECT_FALSE(parse(packetOf("1", kTime, "$GPGLL,4916.45,N,12311.12,W,161156,A*59")).positionOk);
  EXPECT_TRUE(parse(packetOf("1", kTime, "$GPGLL,4916.45,N,12311.12,W,161156,A,*59")).positionOk);
  EXPECT_FALSE(parse(packetOf("1", kTime, "$GPGLL,4916.45,N,12311.12,W,161156,A,X*59")).positionOk);
  // An empty field before the last one, or a bad pattern, rejects it.
  EXPECT_FALSE(parse(packetOf("1", kTime, "$GPGLL,,N,12311.12,W,161156,A,A*59")).positionOk);
  EXPECT_FALSE(parse(packetOf("1", kTime, "$GPGLL,4916.45,Q,12311.12,W,161156,A,A*59")).positionOk);
  EXPECT_FALSE(parse(packetOf("1", kTime, "$GPGLL,4916.45,N,12311.12,W,1611,A,A*59")).positionOk);
}

TEST(NodePacket, TimeSentenceFields) {
  EXPECT_TRUE(parse(packetOf("1", "$GPZDA,161156.25,30,01,2004,00,*61", kPosition)).timeOk);
  EXPECT_FALSE(parse(packetOf("1", "$GPZDA,161156.25,30,01,2004,,00*61", kPosition)).timeOk);
  EXPECT_FALSE(parse(packetOf("1", "$GPZDA,161156.25,30,01,2004*61", kPosition)).timeOk);
  EXPECT_FALSE(parse(packetOf("1", "$GPZDA,1611,30,01,2004,00,00*61", kPosition)).timeOk);
}

TEST(NodePacket, MalformedPacketsDoNotSplit) {
  EXPECT_FALSE(parse(packetOf("1", "$GPZDA,161156.25,30,01,2004,00,00", kPosition)).split);
  EXPECT_FALSE(parse(std::string("1 ") + kTime).split);
  EXPECT_FALSE(parse("1 no sentences at all").split);
  EXPECT_FALSE(parse("1 $").split);
  EXPECT_FALSE(parse(std::string("1 ") + kTime + " *x " + kPosition).split);  // second "*"
  EXPECT_FALSE(parse(std::string("1 ") + kTime + "\r\n$GPGLL,4916.45,N").split);  // no end
  EXPECT_FALSE(parse("").split);
}

TEST(NodePacket, NodeIdIsTheNumberAtTheStart) {
  EXPECT_EQ(parse(packetOf("fleet ", kTime, kPosition)).id, 0);
  EXPECT_EQ(parse(packetOf("  -3x", kTime, kPosition)).id, -3);
  EXPECT_EQ(parse(packetOf("+42 text before $", kTime, kPosition)).id, 42);
  EXPECT_EQ(parse(packetOf("99999999999999", kTime, kPosition)).id, 2147483647);
}

TEST(NodePacket, SecondsSince1970) {
  EXPECT_EQ(secondsSince1970(1970, 1, 1, 0, 0, 0), 0);
  EXPECT_EQ(secondsSince1970(2000, 3, 1, 0, 0, 0), 951868800);
  EXPECT_EQ(secondsSince1970(2004, 1, 30, 16, 11, 56), 1075479116);
}

}  // namespace

namespace {

TEST(SentenceChecksum, DigitsMissingOrWrong) {
  char good[] = "$AB*03";  // 'A' ^ 'B' = 0x03
  good[3] = '\0';
  EXPECT_TRUE(sentenceChecksumOk(good, good + 6));
  EXPECT_FALSE(sentenceChecksumOk(good, good + 5));  // the packet ends before the second digit
  char upper[] = "$ab*43";  // 'a' ^ 'b' = 0x03 as well
  upper[3] = '\0';
  EXPECT_FALSE(sentenceChecksumOk(upper, upper + 6));
  char wrong[] = "$AB*0F";
  wrong[3] = '\0';
  EXPECT_FALSE(sentenceChecksumOk(wrong, wrong + 6));
  char none[] = "$AB*";
  none[3] = '\0';
  EXPECT_FALSE(sentenceChecksumOk(none, none + 4));
  char one[] = "$AB*3";
  one[3] = '\0';
  EXPECT_FALSE(sentenceChecksumOk(one, one + 5));
  const char* plain = "AB";
  EXPECT_FALSE(sentenceChecksumOk(plain, plain + 2));
  EXPECT_FALSE(sentenceChecksumOk(nullptr, plain));
  // A sentence that was never cut runs to the packet's end and fails.
  const char* uncut = "$AB*03";
  EXPECT_FALSE(sentenceChecksumOk(uncut, uncut + 6));
}

TEST(PacketDates, HugeYearsAreRejectedNotOverflowed) {
  kv_rov_report report;
  EXPECT_FALSE(parsePacket_s1("$GPZDA,161156.25,30,01,9223372036854775807,00,00", &report));
  EXPECT_TRUE(parsePacket_s1("$GPZDA,161156.25,30,01,2004,00,00", &report));
}

}  // namespace
