// A headless viewer driven over TCP keeps its work in the state file it
// writes when it is stopped.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>
#include <string>
#include <unistd.h>
#include <vector>

#include "testing/child_process.h"
#include "testing/test_support.h"
#include "viewer/shell/burst_test_support.h"

namespace kestrel {
namespace {

// A headless viewer in DIR on the two ports that writes STATE when stopped.
std::vector<std::string> headlessSavingTo(const testing::TempDir& dir, uint16_t port,
                                          uint16_t secondary, const std::string& state) {
  return {"--headless", "--web-port", "0", "--command-port", std::to_string(port),
          "--secondary-port", std::to_string(secondary), "-C", dir.path(), "--save-state", state};
}

TEST(HeadlessState, CommandsOverTcpShowInTheStateFileWrittenAtShutdown) {
  testing::TempDir dir(false);
  dir.write("config.template", "starttemplate transform\nTransform { children [ %s ] }\nendtemplate\n");
  uint16_t port = testing::freePort(), secondary = testing::freePort();
  std::string state = dir.file("saved.state");
  testing::ChildProcess viewer(testing::programPath("viewer/shell/kestrel"),
                               headlessSavingTo(dir, port, secondary, state));
  int fd = testing::connectLoopback(port);
  ASSERT_GE(fd, 0);
  testing::sendAll(fd,
                   "startdata ball\n"
                   "DEF Xform_ball Transform { children [ Shape { appearance Appearance { "
                   "material DEF Mat_ball Material { } } geometry Sphere { } } ] }\n"
                   "enddata\n"
                   "setinfo xmin -5\nsetinfo xmax 5\n"
                   "setproperty x\nsetvalue 65535\n"
                   "setproperty transparency\nsetvalue 32767\n"
                   "up\n");
  ::close(fd);
  // Once the ball exists (its data block comes before the bounds), the
  // low-priority port reaches the same engine. Sent earlier, "taller" could
  // run while the block was still arriving, before there was an object.
  ASSERT_TRUE(testing::waitFor([&] {
    return testing::readFile(dir.file("kestrel.log")).find("XMAX now set") != std::string::npos;
  }));
  int low = testing::connectLoopback(secondary);
  testing::sendAll(low, "taller\n");
  ::close(low);
  // Every command is taken within a few ticks; give the secondary port's
  // idle reader its second.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  viewer.signal(SIGTERM);
  ASSERT_EQ(viewer.wait(), 0) << viewer.output();
  EXPECT_EQ(testing::readFile(state),
            "2\nball\n5.000000 0.200000 0.000000\n1.000000 1.100000 1.000000\n0.500000\n"
            "0.800000 0.800000 0.800000\n0.000000 0.000000 0.000000\n"
            "0.000000 0.000000 1.000000\n0.000000\n\n");
}

TEST(HeadlessState, CommandFilesThatLoadEachOtherEndAndTheViewerStillStops) {
  testing::TempDir dir(false);
  dir.write("config.template", "starttemplate transform\nTransform { children [ %s ] }\nendtemplate\n");
  dir.write("kestrel.cfg", "fast\nload " + dir.file("a.cmd") + "\n");
  dir.write("a.cmd", "load " + dir.file("b.cmd") + "\n");
  dir.write("b.cmd", "load " + dir.file("a.cmd") + "\n");
  std::string state = dir.file("saved.state");
  testing::ChildProcess viewer(
      testing::programPath("viewer/shell/kestrel"),
      headlessSavingTo(dir, testing::freePort(), testing::freePort(), state));
  auto log = [&] { return testing::readFile(dir.file("kestrel.log")); };
  ASSERT_TRUE(testing::waitFor([&] {
    return log().find("command files nested more than 16 deep") != std::string::npos;
  })) << log().substr(0, 2000);
  viewer.signal(SIGTERM);
  ASSERT_EQ(viewer.wait(), 0) << viewer.output();
  EXPECT_EQ(testing::readFile(state), "2\n");
}

TEST(HeadlessState, EveryObjectSentBeforeSigtermIsInTheStateFile) {
  testing::TempDir dir(false);
  uint16_t port = testing::freePort(), secondary = testing::freePort();
  std::string state = dir.file("saved.state");
  testing::ChildProcess viewer(testing::programPath("viewer/shell/kestrel"),
                               headlessSavingTo(dir, port, secondary, state));
  constexpr int kObjects = 500;
  std::string burst = testing::objectBurst(kObjects);
  int fd = testing::connectLoopback(port);
  ASSERT_GE(fd, 0);
  testing::sendAll(fd, burst);
  // Stopped right after the last byte: the engine, ticking one command per
  // millisecond, has run only a part of them.
  viewer.signal(SIGTERM);
  ::close(fd);
  ASSERT_EQ(viewer.wait(), 0) << viewer.output();
  EXPECT_EQ(testing::objectsMissingFrom(testing::readFile(state), kObjects), 0);
  EXPECT_EQ(testing::readFile(dir.file("kestrel.log")).find("dropped"), std::string::npos);
}

}  // namespace
}  // namespace kestrel
