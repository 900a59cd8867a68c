// The kestrel program itself, run headless in a temporary directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "testing/child_process.h"
#include "testing/test_support.h"

namespace kestrel {
namespace {

using testing::ChildProcess;
using testing::readFile;

std::string kestrelPath() { return testing::programPath("viewer/shell/kestrel"); }

bool logHas(const testing::TempDir& dir, const std::string& text) {
  return readFile(dir.file("kestrel.log")).find(text) != std::string::npos;
}

TEST(Headless, CommandsFromFilesAndBothPortsAreTakenAndSignalsEndCleanly) {
  testing::TempDir dir(false);
  dir.write("config.template", "debug\nstarttemplate transform\nTransform {}\nendtemplate\n");
  uint16_t port = testing::freePort(), secondary = testing::freePort();
  ChildProcess viewer(kestrelPath(),
                      {"--headless", "--web-port", "0", "--command-port", std::to_string(port), "--secondary-port",
                       std::to_string(secondary), "-C", dir.path()});
  ASSERT_TRUE(viewer.started());
  int fd = testing::connectLoopback(port);
  ASSERT_GE(fd, 0);
  testing::sendAll(fd, "setobject ball\nsetproperty transparency\nsetvalue 32767\n");
  int low = testing::connectLoopback(secondary);
  ASSERT_GE(low, 0);
  testing::sendAll(low, "hide\n");
  // Debug was switched on by the start-up file on the primary queue only.
  EXPECT_TRUE(testing::waitFor([&] { return logHas(dir, "command: \"SetVizValue\""); }));
  for (const char* expected :
       {"InternalCommandQueue::queue \"starttemplate transform\"", "could not open file",
        "command: \"StartTemplate\"", "command: \"SetObject\"", "command: \"SetVizProperty\"",
        "2Creating worker thread"}) {
    EXPECT_TRUE(logHas(dir, expected)) << expected;
  }
  ::close(fd);
  ::close(low);
  viewer.signal(SIGTERM);
  EXPECT_EQ(viewer.wait(), 0) << viewer.output();
}

TEST(Headless, AFileOverTheLoadSizeLimitIsRefusedAtOnceAndTheViewerAnswersOn) {
  testing::TempDir dir(false);
  // Five GiB of nothing on disk: reading it would hold the engine for long.
  dir.write("huge.cmd", "");
  ASSERT_EQ(::truncate(dir.file("huge.cmd").c_str(), off_t{5} << 30), 0);
  uint16_t port = testing::freePort();
  ChildProcess viewer(kestrelPath(), {"--headless", "--web-port", "0", "--command-port",
                                      std::to_string(port), "--secondary-port",
                                      std::to_string(testing::freePort()), "-C", dir.path()});
  int fd = testing::connectLoopback(port);
  ASSERT_GE(fd, 0);
  testing::sendAll(fd, "load huge.cmd\nsetinfo xmax 5\n");
  ::close(fd);
  EXPECT_TRUE(testing::waitFor([&] { return logHas(dir, "XMAX now set"); }, 3000));
  EXPECT_TRUE(logHas(dir, "could not read command file (is 5368709120 bytes, over the load size "
                          "limit of 268435456 (--max-load-size)): \"huge.cmd\""))
      << readFile(dir.file("kestrel.log"));
  viewer.signal(SIGTERM);
  EXPECT_EQ(viewer.wait(), 0) << viewer.output();
}

TEST(Headless, PortInUseEndsWithAClearErrorAndNonZeroStatus) {
  testing::TempDir dir(false);
  uint16_t port = testing::freePort();
  ChildProcess first(kestrelPath(), {"--headless", "--web-port", "0", "--command-port", std::to_string(port),
                                     "--secondary-port", std::to_string(testing::freePort()),
                                     "-C", dir.path()});
  ASSERT_GE(testing::connectLoopback(port), 0);
  testing::TempDir other(false);
  ChildProcess second(kestrelPath(), {"--headless", "--web-port", "0", "--command-port", std::to_string(port),
                                      "--secondary-port", std::to_string(testing::freePort()),
                                      "-C", other.path()});
  EXPECT_EQ(second.wait(), 2);
  std::string expected = "cannot listen on command port " + std::to_string(port);
  EXPECT_NE(second.output().find(expected), std::string::npos) << second.output();
  EXPECT_NE(readFile(other.file("kestrel.err")).find(expected), std::string::npos);
  first.signal(SIGINT);
  EXPECT_EQ(first.wait(), 0);
}

// True when one attempt to connect to ADDRESS:PORT succeeds.
bool connects(const char* address, uint16_t port) {
  int fd = testing::connectOnce(address, port);
  if (fd >= 0) ::close(fd);
  return fd >= 0;
}

TEST(Headless, BindKeepsTheCommandPortsOnOneAddress) {
  testing::TempDir dir(false);
  uint16_t port = testing::freePort(), secondary = testing::freePort();
  ChildProcess viewer(kestrelPath(), {"--headless", "--web-port", "0", "--bind", "127.0.0.2",
                                      "--command-port", std::to_string(port), "--secondary-port",
                                      std::to_string(secondary), "-C", dir.path()});
  ASSERT_TRUE(testing::waitFor([&] { return connects("127.0.0.2", secondary); }));
  EXPECT_TRUE(connects("127.0.0.2", port));
  EXPECT_FALSE(connects("127.0.0.1", port));
  EXPECT_FALSE(connects("127.0.0.1", secondary));
  viewer.signal(SIGTERM);
  EXPECT_EQ(viewer.wait(), 0) << viewer.output();
  ChildProcess bad(kestrelPath(), {"--headless", "--bind", "localhost", "-C", dir.path()});
  EXPECT_EQ(bad.wait(), 2);
  EXPECT_NE(bad.output().find("--bind needs a dotted IPv4 address"), std::string::npos)
      << bad.output();
}

std::vector<std::string> stateLines(const testing::TempDir& dir) {
  return testing::readLines(dir.file("scene.state"));
}

bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The bundled start-up files, a file named on the command line and a load
// sent to the port end up as objects in the state file written at exit.
TEST(Headless, BundledSceneNamedFilesAndLoadsReachTheStateFile) {
  testing::TempDir dir(false);
  for (const char* file : {"config.template", "kestrel.cfg"}) {
    dir.write(file, readFile(testing::sourcePath(std::string("share/kestrel/") + file)));
  }
  dir.write("atoms.sphere", "0 0 0 1 1 0 0\n2 0 0 1 0 1 0\n");
  dir.write("m.mesh", "m 2 2\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n");
  uint16_t port = testing::freePort();
  ChildProcess viewer(kestrelPath(),
                      {"--headless", "--web-port", "0", "--command-port", std::to_string(port), "--secondary-port",
                       std::to_string(testing::freePort()), "-C", dir.path(), "--render-root",
                       testing::sourcePath("share/kestrel/render"), "--save-state",
                       dir.file("scene.state"), "atoms.sphere"});
  ASSERT_TRUE(viewer.started());
  EXPECT_TRUE(testing::waitFor(
      [&] { return logHas(dir, "DONE WITH PUTTING SPHERE IN COMMAND QUEUE"); }, 10000));
  int fd = testing::connectLoopback(port);
  ASSERT_GE(fd, 0);
  testing::sendAll(fd, "load m.mesh\n");
  EXPECT_TRUE(testing::waitFor(
      [&] { return logHas(dir, "DONE WITH PUTTING MESH IN COMMAND QUEUE"); }, 10000));
  EXPECT_TRUE(testing::waitFor([&] { return logHas(dir, "Creating:  \"m\""); }, 10000));
  ::close(fd);
  viewer.signal(SIGTERM);
  EXPECT_EQ(viewer.wait(), 0) << viewer.output();
  std::vector<std::string> lines = stateLines(dir);
  for (const char* name : {"ball", "label_1", "marker_0", "house", "atoms", "m"}) {
    EXPECT_TRUE(hasLine(lines, name)) << name << "\n" << readFile(dir.file("kestrel.log"));
  }
  // The start-up files ran first: the sphere met the transform template.
  EXPECT_FALSE(logHas(dir, "NO transform template"));
  EXPECT_FALSE(logHas(dir, "FAILED"));
}

TEST(Headless, HelpAndBadOptions) {
  ChildProcess help(kestrelPath(), {"--help"});
  EXPECT_EQ(help.wait(), 0);
  EXPECT_NE(help.output().find("--secondary-port"), std::string::npos);
  ChildProcess bad(kestrelPath(), {"--command-port", "70000"});
  EXPECT_EQ(bad.wait(), 2);
  EXPECT_NE(bad.output().find("bad port"), std::string::npos);
}

}  // namespace
}  // namespace kestrel
