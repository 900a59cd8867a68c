#include "viewer/shell/viewer_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrel {
namespace {

bool parse(std::vector<const char*> args, ViewerOptions* options, std::string* error) {
  args.insert(args.begin(), "kestrel");
  return parseViewerOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(ViewerOptions, BindAddressAndTrustedWebHosts) {
  ViewerOptions options;
  std::string error;
  ASSERT_TRUE(parse({}, &options, &error));
  EXPECT_EQ(options.bindAddress, "");  // every interface
  EXPECT_TRUE(options.webHosts.empty());
  ASSERT_TRUE(parse({"--bind", "127.0.0.1", "--web-host", "viewer.lan", "--web-host", "pc"},
                    &options, &error))
      << error;
  EXPECT_EQ(options.bindAddress, "127.0.0.1");
  EXPECT_EQ(options.webHosts, (std::vector<std::string>{"viewer.lan", "pc"}));
  for (std::vector<const char*> bad : {std::vector<const char*>{"--bind", "localhost"},
                                       {"--bind"}, {"--web-host", ""}, {"--web-host"}}) {
    ViewerOptions refused;
    EXPECT_FALSE(parse(bad, &refused, &error)) << bad[0];
  }
}

TEST(ViewerOptions, JournalFile) {
  ViewerOptions options;
  std::string error;
  ASSERT_TRUE(parse({}, &options, &error));
  EXPECT_EQ(options.journalPath, "");
  ASSERT_TRUE(parse({"--headless", "--journal", "run.journal"}, &options, &error)) << error;
  EXPECT_EQ(options.journalPath, "run.journal");
  ViewerOptions refused;
  EXPECT_FALSE(parse({"--journal"}, &refused, &error));
  EXPECT_EQ(error, "option --journal needs a value");
}

TEST(ViewerOptions, ReplayOfAJournal) {
  ViewerOptions options;
  std::string error;
  ASSERT_TRUE(parse({"--headless", "--replay", "j.txt", "--speed", "2.5", "--from", "12.5",
                     "--to", "20000ms"},
                    &options, &error))
      << error;
  EXPECT_EQ(options.replayPath, "j.txt");
  EXPECT_EQ(options.replaySpeed, 2.5);
  EXPECT_EQ(options.replayFromMs, 12500);
  EXPECT_EQ(options.replayToMs, 20000);
  ViewerOptions defaults;
  ASSERT_TRUE(parse({"--headless", "--replay", "j.txt"}, &defaults, &error)) << error;
  EXPECT_EQ(defaults.replaySpeed, 1.0);
  EXPECT_EQ(defaults.replayFromMs, 0);
  EXPECT_EQ(defaults.replayToMs, -1);
  ViewerOptions refused;
  EXPECT_FALSE(parse({"--replay", "j.txt"}, &refused, &error));
  EXPECT_EQ(error, "--replay needs --headless");
  for (std::vector<const char*> bad :
       {std::vector<const char*>{"--headless", "--replay", "j", "--speed", "0"},
        {"--headless", "--replay", "j", "--speed", "fast"},
        {"--headless", "--replay", "j", "--from", "-1"},
        {"--headless", "--replay", "j", "--to", "5min"}}) {
    ViewerOptions wrong;
    EXPECT_FALSE(parse(bad, &wrong, &error)) << bad[4];
  }
}

}  // namespace
}  // namespace kestrel
