#include "viewer/shell/viewer_options.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
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
  ViewerOptions windowed;  // without --headless the window replays it
  ASSERT_TRUE(parse({"--replay", "j.txt"}, &windowed, &error)) << error;
  EXPECT_FALSE(windowed.headless);
  for (std::vector<const char*> bad :
       {std::vector<const char*>{"--headless", "--replay", "j", "--speed", "0"},
        {"--headless", "--replay", "j", "--speed", "fast"},
        {"--headless", "--replay", "j", "--from", "-1"},
        {"--headless", "--replay", "j", "--to", "5min"}}) {
    ViewerOptions wrong;
    EXPECT_FALSE(parse(bad, &wrong, &error)) << bad[4];
  }
}

TEST(ViewerOptions, SnapshotAtATimeAndVideoOfAReplay) {
  ViewerOptions at;
  std::string error;
  ASSERT_TRUE(parse({"--snapshot", "o.png", "--at", "2.5", "w.wrl"}, &at, &error)) << error;
  EXPECT_EQ(at.snapshotAtMs, 2500);
  ViewerOptions video;
  ASSERT_TRUE(parse({"--replay", "j.txt", "--video", "o.mp4", "--size", "1280x720", "--fps",
                     "30", "--to", "4"},
                    &video, &error))
      << error;
  EXPECT_EQ(video.videoPath, "o.mp4");
  EXPECT_EQ(video.videoFps, 30);
  EXPECT_EQ(video.snapshotWidth, 1280);
  EXPECT_EQ(video.snapshotAtMs, -1);
  ViewerOptions defaults;
  ASSERT_TRUE(parse({"--replay", "j.txt", "--snapshot", "o.png"}, &defaults, &error)) << error;
  EXPECT_EQ(defaults.videoFps, 25);
  const std::pair<std::vector<const char*>, std::string> refused[] = {
      {{"--at", "2", "w.wrl"}, "--at needs --snapshot"},
      {{"--video", "o.mp4"}, "--video needs --replay"},
      {{"--replay", "j", "--video", "o.mp4", "--snapshot", "o.png"},
       "--video and --snapshot cannot be combined"},
      {{"--replay", "j", "--video", "o.mp4", "--size", "641x480"},
       "--video needs an even width and height for --size"},
      {{"--replay", "j", "--video", "o.mp4", "--fps", "0"}, "bad frame rate for --fps (1 to 240): 0"},
      {{"--snapshot", "o.png", "--at", "soon"},
       "bad time for --at (seconds, or milliseconds with ms): soon"},
  };
  for (const auto& [args, message] : refused) {
    ViewerOptions wrong;
    EXPECT_FALSE(parse(args, &wrong, &error)) << message;
    EXPECT_EQ(error, message);
  }
}

}  // namespace
}  // namespace kestrel
