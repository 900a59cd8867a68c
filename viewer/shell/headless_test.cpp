// The kestrel program itself, run headless in a temporary directory.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

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
                      {"--headless", "--command-port", std::to_string(port), "--secondary-port",
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

TEST(Headless, PortInUseEndsWithAClearErrorAndNonZeroStatus) {
  testing::TempDir dir(false);
  uint16_t port = testing::freePort();
  ChildProcess first(kestrelPath(), {"--headless", "--command-port", std::to_string(port),
                                     "--secondary-port", std::to_string(testing::freePort()),
                                     "-C", dir.path()});
  ASSERT_GE(testing::connectLoopback(port), 0);
  testing::TempDir other(false);
  ChildProcess second(kestrelPath(), {"--headless", "--command-port", std::to_string(port),
                                      "--secondary-port", std::to_string(testing::freePort()),
                                      "-C", other.path()});
  EXPECT_EQ(second.wait(), 2);
  std::string expected = "cannot listen on command port " + std::to_string(port);
  EXPECT_NE(second.output().find(expected), std::string::npos) << second.output();
  EXPECT_NE(readFile(other.file("kestrel.err")).find(expected), std::string::npos);
  first.signal(SIGINT);
  EXPECT_EQ(first.wait(), 0);
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
