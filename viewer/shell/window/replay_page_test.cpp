// The live view of a journal replayed in the window, in headless Chromium:
// the page shows the replay bar with the time label, and a click on its
// Pause stops the viewer's replay.
#include <gtest/gtest.h>

#include <cctype>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <string>

#include "testing/child_process.h"
#include "testing/test_support.h"
#include "viewer/shell/replay_test_support.h"
#include "viewer/web/browser_test_support.h"

namespace kestrel::testing {
namespace {

// "D.D s / 2.0 s": the bar's label for a replay of 2 s. (Checked by hand:
// GCC 12's sanitizer build warns inside std::regex.)
bool looksLikeBarLabel(const std::string& label) {
  return label.size() == 13 && std::isdigit(static_cast<unsigned char>(label[0])) &&
         label[1] == '.' && std::isdigit(static_cast<unsigned char>(label[2])) &&
         label.substr(3) == " s / 2.0 s";
}

TEST(ReplayPageInChromium, ShowsTheBarAndPauses) {
  ASSERT_TRUE(std::filesystem::exists("/usr/bin/chromium"));
  std::string scripts = sourcePath("viewer/web/browser_tests");
  ASSERT_NO_FATAL_FAILURE(installBrowserDrivers(scripts));
  TempDir dir(false);
  for (const char* file : {"live.html", "live.js"}) {
    dir.write(file, readFile(sourcePath(std::string("share/kestrel/") + file)));
  }
  writeBallJournal(dir);
  uint16_t web = freePort();
  // A quarter of the recorded pace: the 2 s run plays for 8 s.
  ChildProcess viewer(programPath("viewer/shell/kestrel"),
                      {"--web-port", std::to_string(web), "--command-port",
                       std::to_string(freePort()), "--secondary-port", std::to_string(freePort()),
                       "-C", dir.path(), "--speed", "0.25", "--replay", dir.file("run.journal")});
  std::string url = "http://127.0.0.1:" + std::to_string(web) + "/live.html";
  ChildProcess node("/usr/bin/node", {scripts + "/live_replay.js", url, "chromium"});
  int status = node.wait(90000);
  std::string out = node.output();
  ASSERT_EQ(status, 0) << out << viewer.output();
  EXPECT_TRUE(looksLikeBarLabel(lineAfter(out, "bar "))) << out;
  std::istringstream paused(lineAfter(out, "paused "));
  long first = -1, later = -2;
  paused >> first >> later;
  EXPECT_EQ(first, later) << out;
  EXPECT_LT(first, 2000) << out;
  EXPECT_EQ(lineAfter(out, "button "), "Play") << out;
  viewer.signal(SIGTERM);
  EXPECT_EQ(viewer.wait(), 0) << viewer.output();
}

}  // namespace
}  // namespace kestrel::testing
