// The kestrel window program stopped by a signal: the commands a client had
// sent are all run before the state file is written, as when the window is
// closed.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <unistd.h>

#include "testing/child_process.h"
#include "testing/test_support.h"
#include "viewer/shell/burst_test_support.h"
#include "viewer/shell/replay_test_support.h"

namespace kestrel {
namespace {

TEST(WindowProgram, SigtermClosesTheWindowAndEveryObjectSentIsInTheStateFile) {
  testing::TempDir dir(false);
  uint16_t port = testing::freePort();
  std::string state = dir.file("saved.state");
  testing::ChildProcess viewer(
      testing::programPath("viewer/shell/kestrel"),
      {"--web-port", "0", "--command-port", std::to_string(port), "--secondary-port",
       std::to_string(testing::freePort()), "-C", dir.path(), "--save-state", state});
  constexpr int kObjects = 500;
  int fd = testing::connectLoopback(port);
  ASSERT_GE(fd, 0) << viewer.output();
  testing::sendAll(fd, testing::objectBurst(kObjects));
  viewer.signal(SIGTERM);
  ::close(fd);
  ASSERT_EQ(viewer.wait(), 0) << viewer.output();
  EXPECT_EQ(testing::objectsMissingFrom(testing::readFile(state), kObjects), 0);
}

TEST(WindowProgram, AJournalNamedAsTheFileIsReplayedWithNoPortServed) {
  testing::TempDir dir(false);
  testing::writeBallJournal(dir);
  uint16_t port = testing::freePort();
  std::string state = dir.file("replayed.state");
  testing::ChildProcess viewer(
      testing::programPath("viewer/shell/kestrel"),
      {"--web-port", "0", "--command-port", std::to_string(port), "--secondary-port",
       std::to_string(testing::freePort()), "-C", dir.path(), "--save-state", state,
       "--speed", "8", dir.file("run.journal")});
  // The whole run (2 s at 8 times its pace) is over in a quarter second.
  ::usleep(1500 * 1000);
  EXPECT_LT(testing::connectOnce("127.0.0.1", port), 0);
  viewer.signal(SIGTERM);
  ASSERT_EQ(viewer.wait(), 0) << viewer.output();
  EXPECT_EQ(testing::readFile(state), testing::replayedTo(dir, "2"));
}

// --replay without --headless opens the window's replay, which stops at --to.
TEST(WindowProgram, ReplayOptionPlaysInTheWindowUpToTo) {
  testing::TempDir dir(false);
  testing::writeBallJournal(dir);
  uint16_t port = testing::freePort();
  std::string state = dir.file("replayed.state");
  testing::ChildProcess viewer(
      testing::programPath("viewer/shell/kestrel"),
      {"--web-port", "0", "--command-port", std::to_string(port), "--secondary-port",
       std::to_string(testing::freePort()), "-C", dir.path(), "--save-state", state,
       "--speed", "8", "--to", "1.25", "--replay", dir.file("run.journal")});
  ::usleep(1500 * 1000);
  EXPECT_LT(testing::connectOnce("127.0.0.1", port), 0);
  viewer.signal(SIGTERM);
  ASSERT_EQ(viewer.wait(), 0) << viewer.output();
  EXPECT_EQ(testing::readFile(state), testing::replayedTo(dir, "1.25"));
}

}  // namespace
}  // namespace kestrel
