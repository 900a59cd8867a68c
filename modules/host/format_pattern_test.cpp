#include "modules/host/format_pattern.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

std::string format(const std::string& pattern, const std::vector<FormatArg>& args) {
  std::string error;
  auto p = FormatPattern::compile(pattern, &error);
  EXPECT_TRUE(p.has_value()) << error;
  return p ? p->format(args) : "";
}

TEST(FormatPattern, FormatsEachConversionWithTheNextArgument) {
  EXPECT_EQ(format("setvalue %d", {FormatArg(32767)}), "setvalue 32767");
  EXPECT_EQ(format("%s at %.3f, %5.1f%%", {FormatArg(std::string("ball")), 1.5, 2.25}),
               "ball at 1.500,   2.2%");
  EXPECT_EQ(format("%-4d|%04x|%+i", {FormatArg(7), 255, 3}), "7   |00ff|+3");
  EXPECT_EQ(format("plain text", {}), "plain text");
}

TEST(FormatPattern, ConvertsArgumentsOfAnotherTypeAndFillsMissingOnes) {
  EXPECT_EQ(format("%d %f %s", {FormatArg(2.9), FormatArg(std::string("1.5")), FormatArg(4)}),
            "2 1.500000 4");
  EXPECT_EQ(format("%d/%s/%g", {}), "0//0");
}

TEST(FormatPattern, LongResultsAreNotCut) {
  const std::string big(500, 'z');
  EXPECT_EQ(format("[%s]", {FormatArg(big)}), "[" + big + "]");
  EXPECT_EQ(format("%300d", {FormatArg(1)}).size(), 300u);
}

TEST(FormatPattern, RefusesWhatPrintfWouldMisread) {
  for (const char* bad : {"%n", "%ld", "%*d", "%", "abc %", "%1234d", "%.9999f", "%q", "%hhd"}) {
    std::string error;
    EXPECT_FALSE(FormatPattern::compile(bad, &error).has_value()) << bad;
    EXPECT_NE(error.find("bad conversion"), std::string::npos) << bad;
  }
}

}  // namespace
}  // namespace kestrel
