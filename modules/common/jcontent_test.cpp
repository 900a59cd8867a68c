#include "modules/common/jcontent.h"

#include <gtest/gtest.h>

#include "modules/common/jdata.h"
#include "modules/common/jproperty.h"

namespace kestrel {
namespace {

TEST(JContent, GivesBackWhatWasPutUnderEachKey) {
  JContent c;
  c.putObject("command", JString("ry"));
  c.putInteger("count", 7);
  c.putDouble("limit", 2.5);
  ASSERT_NE(c.getObject("command"), nullptr);
  EXPECT_EQ(*c.getObject("command"), "ry");
  EXPECT_EQ(c.getInteger("count", 0), 7);
  EXPECT_DOUBLE_EQ(c.getDouble("limit", 0.0), 2.5);
}

TEST(JContent, MissingKeysGiveNullOrTheDefault) {
  JContent c;
  EXPECT_EQ(c.getObject("command"), nullptr);
  EXPECT_EQ(c.getInteger("count", -3), -3);
  EXPECT_DOUBLE_EQ(c.getDouble("limit", 4.0), 4.0);
  c.putInteger("count", 1);
  EXPECT_EQ(c.getObject("count"), nullptr) << "a number is not a string object";
}

TEST(JContent, NumbersConvertBetweenIntegerAndDouble) {
  JContent c;
  c.putInteger("i", 3);
  c.putDouble("d", 2.75);
  c.putDouble("huge", 1e300);
  EXPECT_DOUBLE_EQ(c.getDouble("i", 0.0), 3.0);
  EXPECT_EQ(c.getInteger("d", 0), 2);
  EXPECT_EQ(c.getInteger("huge", 0), 2147483647);
}

TEST(JContent, APutUnderAnExistingKeyReplacesItInPlace) {
  JContent c;
  c.putInteger("a", 1);
  c.putInteger("b", 2);
  c.putObject("a", JString("x"));
  ASSERT_EQ(c.entries().size(), 2u);
  EXPECT_EQ(c.entries()[0].key, "a");
  EXPECT_EQ(*c.getObject("a"), "x");
}

TEST(JData, WrappersWriteTheirOwnTypeAndConvertNumbers) {
  int i = 5;
  double d = 1.5;
  JString s("old");
  JBlock b;
  JIntegerData(i).setReal(9.9);
  JRealData(d).setInteger(4);
  JStringData(s).setInteger(3);  // not a string: untouched
  JBlockData(b).setBlock(JBlock("ab", 2));
  EXPECT_EQ(i, 9);
  EXPECT_DOUBLE_EQ(d, 4.0);
  EXPECT_EQ(s, "old");
  EXPECT_EQ(b.size(), 2);
  EXPECT_EQ(JBytesData::id, JBlockData::id);
  EXPECT_STREQ(typeName(JStringData::id), "string");
}

TEST(JProperty, ArrayFindsByNameAndKindsCastSafely) {
  JArray list;
  list.add<JStringProperty>(JString("command"), JString("ry"));
  list.add<JIntegerProperty>(JString("period"), 100, 1, 1000);
  list.add<JRealProperty>(JString("limit"), 2.0, 5, 3);
  list.add<JFileProperty>(JString("path"), JString("/tmp/x"), JString("*.log"));
  ASSERT_EQ(list.size(), 4);
  ASSERT_NE(list.find("period"), nullptr);
  EXPECT_EQ(list.find("period")->asInteger()->getHigh(), 1000);
  EXPECT_EQ(list.find("period")->asString(), nullptr);
  EXPECT_EQ(list.find("path")->asFile()->getPattern(), "*.log");
  EXPECT_EQ(list.find("nothing"), nullptr);
  auto copy = list[0].copy();
  EXPECT_EQ(copy->asString()->getText(), "ry");
}

TEST(JString, BlocksBecomeTextByteForByte) {
  const char bytes[] = {'$', 'G', 0, 'P'};
  JString s{JBlock(bytes, 4)};
  EXPECT_EQ(s.length(), 4);
  EXPECT_EQ(s[3], 'P');
}

}  // namespace
}  // namespace kestrel
