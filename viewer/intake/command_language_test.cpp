#include "viewer/intake/command_language.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "testing/test_support.h"
#include "viewer/intake/command_codes.h"
#include "viewer/intake/command_queue.h"

namespace kestrel {
namespace {

struct Parsed {
  int code;
  std::string text;      // "<none>" when no text
  std::string argument;  // "<none>" when no argument
  bool operator==(const Parsed&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Parsed& p) {
  return out << "{" << p.code << ", '" << p.text << "', '" << p.argument << "'}";
}

// Parses LINES into a fresh queue and takes back everything stored.
std::vector<Parsed> parse(const std::vector<std::string>& lines) {
  InternalCommandQueue queue;
  for (const std::string& line : lines) queue.queue(line.c_str());
  std::vector<Parsed> out;
  while (auto entry = queue.takeNext()) {
    out.push_back({entry->code, entry->text() ? entry->text() : "<none>",
                   entry->argument() ? entry->argument() : "<none>"});
  }
  return out;
}

Parsed one(const std::string& line) {
  std::vector<Parsed> all = parse({line});
  return all.size() == 1 ? all[0] : Parsed{-1, "<nothing stored>", ""};
}

constexpr const char* kNone = "<none>";

TEST(CommandLanguage, VerbsMatchAsPrefixesInTableOrder) {
  EXPECT_EQ(one("rxcc"), (Parsed{22, kNone, kNone}));
  EXPECT_EQ(one("rx"), (Parsed{21, kNone, kNone}));
  EXPECT_EQ(one("rx5"), (Parsed{21, kNone, kNone}));
  EXPECT_EQ(one("rxyz"), (Parsed{21, kNone, kNone}));
  EXPECT_EQ(one("inline park.wrl"), (Parsed{47, "park.wrl", kNone}));
  EXPECT_EQ(one("inline"), (Parsed{19, kNone, kNone}));
  EXPECT_EQ(one("inlinex"), (Parsed{19, kNone, kNone}));
  EXPECT_EQ(one("inlineattributes DEF_x"), (Parsed{58, "DEF_x", kNone}));
  EXPECT_EQ(one("shows"), (Parsed{4, kNone, kNone}));
  EXPECT_EQ(one("upward"), (Parsed{17, kNone, kNone}));
  EXPECT_EQ(one("output"), (Parsed{20, kNone, kNone}));
  EXPECT_EQ(one("loadmap a.jpg"), (Parsed{2, "a.jpg", kNone}));
  EXPECT_EQ(one("setgroup"), (Parsed{41, kNone, kNone}));
  EXPECT_EQ(one("setmarker"), (Parsed{33, kNone, kNone}));
  EXPECT_EQ(one("clearall"), (Parsed{6, kNone, kNone}));
  // Neither is captured by a shorter verb ("clear", "in").
  EXPECT_EQ(one("cleargroup"), (Parsed{42, kNone, kNone}));
  EXPECT_EQ(one("infodimension 3"), (Parsed{7, "3", kNone}));
  EXPECT_EQ(one("infodimensions"), (Parsed{19, kNone, kNone}));
  EXPECT_EQ(one("markx ball"), (Parsed{27, "ball", kNone}));
  EXPECT_EQ(one("markz ball"), (Parsed{29, "ball", kNone}));
  EXPECT_EQ(one("spacey 2"), (Parsed{31, "2", kNone}));
  EXPECT_EQ(one("link ab cd"), (Parsed{8, "ab", "cd"}));
  EXPECT_EQ(one("link a b"), (Parsed{8, "a b", kNone}));  // no split at position 1
  EXPECT_EQ(one("Show"), (Parsed{-1, "<nothing stored>", ""}));  // case matters
}

TEST(CommandLanguage, UnknownLinesAndBareMarkAreDropped) {
  EXPECT_TRUE(parse({"markq 1", "hello", "mark", "", " show", "enddata", "endtemplate"}).empty());
}

TEST(CommandLanguage, TextsAreSplitIntoTextAndArgument) {
  EXPECT_EQ(one("load c:/scenes/a.wrl"), (Parsed{0, "c:/scenes/a.wrl", kNone}));
  EXPECT_EQ(one("setinfo fade_units 5"), (Parsed{57, "fade_units", "5"}));
  EXPECT_EQ(one("setinfo xmin:_-2"), (Parsed{57, "xmin", "-2"}));
  EXPECT_EQ(one("setobject a b"), (Parsed{61, "a b", kNone}));
  EXPECT_EQ(one("setobject ball _2"), (Parsed{61, "ball", "2"}));
  EXPECT_EQ(one("setvalue 32767"), (Parsed{63, "32767", kNone}));
  EXPECT_EQ(one("label hello world"), (Parsed{49, "hello world", kNone}));
  EXPECT_EQ(one("*grid 1 2"), (Parsed{9, "grid 1 2", kNone}));
}

TEST(CommandLanguage, SplitArgumentRules) {
  char a[] = "fade_units 3";
  EXPECT_STREQ(splitArgument(a), "3");
  EXPECT_STREQ(a, "fade_units");
  char b[] = "xmin:-5";
  EXPECT_STREQ(splitArgument(b), "-5");
  char c[] = "a b";
  EXPECT_EQ(splitArgument(c), nullptr);
  EXPECT_STREQ(c, "a b");
  char d[] = " lead";
  EXPECT_STREQ(splitArgument(d), "lead");
  EXPECT_STREQ(d, "");
  char e[] = "end:";
  EXPECT_STREQ(splitArgument(e), "");
}

TEST(CommandLanguage, DataBlocksKeepEveryBodyLineWhole) {
  std::vector<Parsed> got =
      parse({"modelset ship 4", "clear", "setobject x y", "startdata z", "enddata now", "show"});
  EXPECT_EQ(got, (std::vector<Parsed>{{11, "ship", "4"},
                                      {14, "clear", kNone},
                                      {14, "setobject x y", kNone},
                                      {14, "startdata z", kNone},
                                      {13, "enddata", "now"},
                                      {4, kNone, kNone}}));
  EXPECT_EQ(parse({"startdata x y"}), (std::vector<Parsed>{{10, "x y", kNone}}));
}

TEST(CommandLanguage, TemplateAndFunctionBlocksKeepLinesWhole) {
  EXPECT_EQ(parse({"starttemplate t x", "clear", "endtemplate t", "clear"}),
            (std::vector<Parsed>{{50, "t x", kNone},
                                 {52, "clear", kNone},
                                 {51, "endtemplate t", kNone},
                                 {6, kNone, kNone}}));
  EXPECT_EQ(parse({"startfunction f", "setobject ball", "endfunction"}),
            (std::vector<Parsed>{{53, "f", kNone},
                                 {56, "setobject ball", kNone},
                                 {54, "endfunction", kNone}}));
}

TEST(CommandLanguage, DebugLinesTraceTheParser) {
  testing::TempDir dir;
  EXPECT_TRUE(parse({"debug", "debugoff", "show"}).size() == 1);
  EXPECT_EQ(testing::readLines(dir.file("kestrel.log")),
            (std::vector<std::string>{"InternalCommandQueue::queue \"debugoff\""}));
}

TEST(CommandLanguage, DisplayNames) {
  testing::TempDir dir;
  EXPECT_STREQ(commandName(0), "Load");
  EXPECT_STREQ(commandName(14), "Data");
  EXPECT_STREQ(commandName(34), "Taller");
  EXPECT_STREQ(commandName(48), "Debug");
  EXPECT_STREQ(commandName(58), "TestDEF");
  EXPECT_STREQ(commandName(63), "SetVizValue");
  EXPECT_STREQ(commandName(21), "unknown");
  EXPECT_STREQ(commandName(99), "unknown");
  EXPECT_EQ(testing::readLines(dir.file("kestrel.log")),
            (std::vector<std::string>{"unknown \"21\"", "unknown \"99\""}));
}

}  // namespace
}  // namespace kestrel

namespace kestrel {
namespace {

// Every verb, written out in full, reaches its own code: no verb is
// captured by a shorter one tested before it.
TEST(CommandLanguage, EveryVerbReachesItsOwnCode) {
  const std::pair<const char*, int> verbs[] = {
      {"mswitch", 12}, {"rxcc", 22}, {"rx", 21}, {"rycc", 24}, {"ry", 23}, {"rzcc", 26},
      {"rz", 25}, {"fast", 59}, {"slow", 60}, {"inlineattributes t", 58}, {"setinfo a", 57},
      {"setproperty a", 62}, {"setvalue 1", 63}, {"clear", 6}, {"load a", 0},
      {"loadmap a", 2}, {"reset", 3}, {"show", 4}, {"hide", 5}, {"left", 15}, {"right", 16},
      {"inline a", 47}, {"in", 19}, {"out", 20}, {"up", 17}, {"down", 18}, {"taller", 34},
      {"shorter", 35}, {"bigger", 36}, {"smaller", 37}, {"fatter", 38}, {"thinner", 39},
      {"fadeout", 45}, {"fadein", 46}, {"setgroup", 41}, {"modelset a 1", 11},
      {"cleargroup", 42}, {"cycle", 44}, {"markx a", 27}, {"marky a", 28}, {"markz a", 29},
      {"setmax 1", 43}, {"label a", 49}, {"infodimension 1", 7}, {"startdata a", 10},
      {"scale 1", 40}, {"setobject a", 61}, {"starttemplate a", 50}, {"startfunction a", 53},
      {"setmarker", 33}, {"call a", 55}, {"spacex 1", 30}, {"spacey 1", 31}, {"spacez 1", 32},
      {"link a b", 8},
  };
  for (const auto& [line, code] : verbs) {
    EXPECT_EQ(matchVerb(line).code, code) << line;
  }
}

}  // namespace
}  // namespace kestrel

namespace kestrel {
namespace {

// The table is the language: every verb it declares reaches its own row,
// written out with a text, and every display name is the table's.
TEST(CommandLanguage, EveryRowOfTheTableIsReachable) {
  int verbs = 0;
  for (const CommandInfo& command : kCommandTable) {
    if (command.displayName != nullptr) {
      EXPECT_STREQ(commandName(command.code), command.displayName);
    }
    if (command.verb == nullptr) continue;
    ++verbs;
    std::string line = std::string(command.verb) + "x 1";
    VerbMatch match = matchVerb(line.c_str());
    EXPECT_EQ(match.code, command.code) << line;
    EXPECT_EQ(match.keep, static_cast<int>(std::strlen(command.verb))) << line;
  }
  EXPECT_EQ(verbs, 55);
  EXPECT_EQ(matchVerb("debugoff").action, VerbAction::kDebugOff);
  EXPECT_EQ(matchVerb("debug").action, VerbAction::kDebugOn);
}

}  // namespace
}  // namespace kestrel
