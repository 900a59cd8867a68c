#include "viewer/intake/command_port_thread.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "testing/test_support.h"
#include "viewer/intake/command_codes.h"
#include "viewer/intake/command_queue.h"

namespace kestrel {
namespace {

using testing::connectLoopback;
using testing::sendAll;
using testing::waitFor;

// A command port thread on a free port feeding a queue of its own.
class CommandPortTest : public ::testing::Test {
 protected:
  void startPort(std::chrono::milliseconds idle = std::chrono::milliseconds(10)) {
    CommandPortConfig config;
    config.queue = &queue_;
    config.idleSleep = idle;
    thread_ = std::make_unique<CommandPortThread>(config);
    std::string error;
    ASSERT_TRUE(thread_->open(&error)) << error;
    thread_->start();
  }

  // Takes every entry that arrives until COUNT have come or time runs out.
  std::vector<std::string> collect(size_t count) {
    std::vector<std::string> got;
    waitFor([&] {
      while (auto entry = queue_.takeNext()) {
        got.push_back(std::to_string(entry->code) + ":" + (entry->text() ? entry->text() : ""));
      }
      return got.size() >= count;
    });
    return got;
  }

  testing::TempDir dir_;
  InternalCommandQueue queue_;
  std::unique_ptr<CommandPortThread> thread_;
};

TEST_F(CommandPortTest, LinesFromAClientReachTheQueue) {
  startPort();
  int fd = connectLoopback(thread_->port());
  ASSERT_GE(fd, 0);
  sendAll(fd, "setobject ball\nsetproperty transparency\n");
  sendAll(fd, "setvalue 32767\nload a.wrl\r\n");
  EXPECT_EQ(collect(4), (std::vector<std::string>{"61:ball", "62:transparency", "63:32767",
                                                  "0:a.wrl\r"}));
  ::close(fd);
}

TEST_F(CommandPortTest, ClientsAreServedOneAfterAnother) {
  startPort();
  int first = connectLoopback(thread_->port());
  int second = connectLoopback(thread_->port());  // waits in the backlog
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  sendAll(second, "hide\n");
  sendAll(first, "show\n");
  EXPECT_EQ(collect(1), (std::vector<std::string>{"4:"}));
  ::close(first);
  EXPECT_EQ(collect(1), (std::vector<std::string>{"5:"}));
  ::close(second);
  EXPECT_TRUE(waitFor([&] { return testing::readFile(dir_.file("kestrel.err")).find(
                                       "readline failed") != std::string::npos; }));
}

TEST_F(CommandPortTest, HostileClientsNeitherCrashNorLoseFramedLines) {
  startPort();
  int fd = connectLoopback(thread_->port());
  std::string nasty = "left\n";
  nasty += std::string("\0\0right\n", 8);
  nasty += "\x01\x02\x03\x04up\n";
  nasty += std::string(1 << 20, 'z');  // a megabyte without a newline
  nasty += "\ndown\npartial";
  ASSERT_TRUE(sendAll(fd, nasty));
  ::close(fd);  // mid-line: the partial line still counts
  std::vector<std::string> got = collect(3);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0], "15:");
  EXPECT_EQ(got[1], "16:");
  // "\x03\x04up": only the first two characters are tested, so the line
  // keeps its control bytes and matches no verb; the megabyte is not a verb.
  EXPECT_EQ(got[2], "18:");
  // The next client is served normally, and nothing else came before it.
  fd = connectLoopback(thread_->port());
  sendAll(fd, "show\n");
  EXPECT_EQ(collect(1), (std::vector<std::string>{"4:"}));
  ::close(fd);
}

TEST_F(CommandPortTest, AFastClientIsSlowedDownInsteadOfLosingLines) {
  startPort();
  constexpr int kLines = 100000;  // more than three full rings
  std::thread client([&] {
    int fd = connectLoopback(thread_->port());
    std::string burst;
    for (int i = 0; i < kLines; ++i) burst += "setobject n" + std::to_string(i) + "\n";
    sendAll(fd, burst);
    ::close(fd);
  });
  int taken = 0;
  bool inOrder = true;
  waitFor([&] {
    // A slow engine: a burst of takes now and then.
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    while (auto entry = queue_.take()) {
      inOrder = inOrder && std::string(entry->text()) == "n" + std::to_string(taken);
      ++taken;
    }
    return taken == kLines;
  }, 30000);
  client.join();
  EXPECT_EQ(taken, kLines);
  EXPECT_TRUE(inOrder);
  EXPECT_EQ(queue_.dropped(), 0u);
}

TEST_F(CommandPortTest, PartialLineBeforeCloseIsDelivered) {
  startPort();
  int fd = connectLoopback(thread_->port());
  sendAll(fd, "setobject tail");
  ::close(fd);
  EXPECT_EQ(collect(1), (std::vector<std::string>{"61:tail"}));
}

TEST_F(CommandPortTest, PortInUseIsReportedWithItsReason) {
  startPort();
  CommandPortConfig config;
  config.port = thread_->port();
  config.queue = &queue_;
  CommandPortThread clash(config);
  std::string error;
  EXPECT_FALSE(clash.open(&error));
  EXPECT_NE(error.find("in use"), std::string::npos) << error;
}

TEST_F(CommandPortTest, StopWakesASilentClientAndTheIdleSleep) {
  startPort(std::chrono::milliseconds(60000));
  int fd = connectLoopback(thread_->port());
  ASSERT_GE(fd, 0);
  sendAll(fd, "\r\n");  // an empty line: the thread goes to its idle sleep
  auto start = std::chrono::steady_clock::now();
  thread_->stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  ::close(fd);
}

TEST_F(CommandPortTest, StartupFilesAreReadBeforeThePortIsServed) {
  dir_.write("config.template", "starttemplate transform\nTransform {}\nendtemplate\n");
  dir_.write("kestrel.cfg", "setobject first\n");
  CommandPortConfig config = primaryPortConfig(0);
  config.queue = &queue_;
  config.startupFiles = {dir_.file("config.template"), dir_.file("kestrel.cfg"),
                         dir_.file("missing.cfg")};
  thread_ = std::make_unique<CommandPortThread>(config);
  std::string error;
  ASSERT_TRUE(thread_->open(&error));
  thread_->start();
  int fd = connectLoopback(thread_->port());
  sendAll(fd, "setobject second\n");
  EXPECT_EQ(collect(5), (std::vector<std::string>{"50:transform", "52:Transform {}",
                                                  "51:endtemplate", "61:first", "61:second"}));
  ::close(fd);
  EXPECT_EQ(testing::readLines(dir_.file("kestrel.log")),
            (std::vector<std::string>{"could not open file"}));
}

}  // namespace
}  // namespace kestrel
