#include "viewer/shell/text_format.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

TEST(TextFormat, FillsConversionsInOrder) {
  EXPECT_EQ(formatText("DEF %s Shape { %s }", {std::string("a"), std::string("Box {}")}),
            "DEF a Shape { Box {} }");
  EXPECT_EQ(formatText("%d_%02d %c%c %.2f", {7LL, 5LL, 'x', 'X', 1.5}), "7_05 xX 1.50");
  EXPECT_EQ(formatText("100%% %s", {std::string("sure")}), "100% sure");
}

TEST(TextFormat, MissingArgumentsProduceNothing) {
  EXPECT_EQ(formatText("a %s b %d c", {std::string("x")}), "a x b  c");
  EXPECT_EQ(formatText("%s%s%s", {}), "");
  EXPECT_EQ(formatText("ends with %", {}), "ends with ");
}

TEST(TextFormat, ArgumentsOfAnotherKindAreConverted) {
  EXPECT_EQ(formatText("%d", {std::string("42abc")}), "42");
  EXPECT_EQ(formatText("%s", {12LL}), "12");
  EXPECT_EQ(formatText("%.1f", {3LL}), "3.0");
  EXPECT_EQ(formatText("%d", {2.9}), "2");
  EXPECT_EQ(formatText("%s", {'q'}), "q");
}

TEST(TextFormat, HostileConversionsAreHarmless) {
  EXPECT_EQ(formatText("%n%p|%s", {1LL, 2LL, std::string("z")}), "|z");
  std::string wide = formatText("%999999999d", {1LL});
  EXPECT_LE(wide.size(), 4097u);
  EXPECT_EQ(wide.back(), '1');
  EXPECT_EQ(formatText("%*d", {3LL, 7LL}), "  7");
  EXPECT_EQ(formatText("%ld %lld %hhd", {1LL, 2LL, 3LL}), "1 2 3");
  EXPECT_EQ(formatText("%y stays", {}), "%y stays");
}

}  // namespace
}  // namespace kestrel
