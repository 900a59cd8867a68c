#include "viewer/intake/command_port_thread.h"

#include <gtest/gtest.h>

#include <atomic>
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
using testing::connectOnce;
using testing::sendAll;
using testing::waitFor;

// True when the peer closes FD (or resets it) within a few seconds.
bool closedByPeer(int fd) {
  timeval timeout{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  char byte;
  ssize_t n = ::recv(fd, &byte, 1, 0);
  return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

size_t occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// A command port thread on a free port feeding a queue of its own.
class CommandPortTest : public ::testing::Test {
 protected:
  void startPort(std::chrono::milliseconds idle = std::chrono::milliseconds(10),
                 std::chrono::milliseconds blockStall = kBlockStallTimeout) {
    CommandPortConfig config;
    config.queue = &queue_;
    config.idleSleep = idle;
    config.blockStallTimeout = blockStall;
    thread_ = std::make_unique<CommandPortThread>(config);
    std::string error;
    ASSERT_TRUE(thread_->open(&error)) << error;
    thread_->start();
  }

  // Takes every entry that arrives until COUNT have come or time runs out;
  // WHOLE_BLOCKS takes as the engine does (nothing of an open data block).
  std::vector<std::string> collect(size_t count, bool wholeBlocks = false) {
    std::vector<std::string> got;
    waitFor([&] {
      while (auto entry = wholeBlocks ? queue_.take() : queue_.takeNext()) {
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

TEST_F(CommandPortTest, ClientsAreServedAtTheSameTime) {
  startPort();
  int first = connectLoopback(thread_->port());
  int second = connectLoopback(thread_->port());
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  // The first client stays connected and silent; the second is served.
  sendAll(second, "hide\n");
  EXPECT_EQ(collect(1), (std::vector<std::string>{"5:"}));
  sendAll(first, "show\n");
  EXPECT_EQ(collect(1), (std::vector<std::string>{"4:"}));
  ::close(second);
  EXPECT_TRUE(waitFor([&] { return testing::readFile(dir_.file("kestrel.err")).find(
                                       "readline failed") != std::string::npos; }));
  sendAll(first, "left\n");
  EXPECT_EQ(collect(1), (std::vector<std::string>{"15:"}));
  ::close(first);
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

TEST_F(CommandPortTest, WebPagesCannotDriveThePort) {
  startPort();
  std::string body = "setobject xproto\nshow\n";
  std::string post = "POST / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(thread_->port()) +
                     "\r\nContent-Type: text/plain\r\nContent-Length: " +
                     std::to_string(body.size()) + "\r\n\r\n" + body;
  const std::vector<std::string> requests = {
      post, "GET /?setobject=x HTTP/1.1\r\nHost: localhost\r\n\r\n",
      "Host: 127.0.0.1\r\nshow\r\n"};
  for (const std::string& request : requests) {
    int fd = connectLoopback(thread_->port());
    ASSERT_GE(fd, 0);
    sendAll(fd, request);
    EXPECT_TRUE(closedByPeer(fd)) << request;
    ::close(fd);
  }
  const std::string refusal = "refused a command connection from 127.0.0.1:";
  EXPECT_TRUE(waitFor([&] {
    return occurrences(testing::readFile(dir_.file("kestrel.err")), refusal) == 3;
  }));
  EXPECT_EQ(occurrences(testing::readFile(dir_.file("kestrel.log")), refusal), 3u);
  // Nothing of those connections was parsed; a command client still is.
  EXPECT_EQ(queue_.linesQueued(), 0u);
  int fd = connectLoopback(thread_->port());
  sendAll(fd, "hide\n");
  EXPECT_EQ(collect(1), (std::vector<std::string>{"5:"}));
  EXPECT_EQ(queue_.linesQueued(), 1u);
  ::close(fd);
}

TEST_F(CommandPortTest, AClientsBlockStaysWholeWhileOthersSend) {
  startPort();
  int a = connectLoopback(thread_->port());
  int b = connectLoopback(thread_->port());
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  sendAll(a, "startdata a\nTransform {}\n");
  ASSERT_TRUE(waitFor([&] { return queue_.linesQueued() == 2; }));
  sendAll(b, "show\nstarttemplate t\nGroup {}\nendtemplate\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(queue_.linesQueued(), 2u);  // b waits for the end of a's block
  sendAll(a, "Shape {}\nenddata\n");
  EXPECT_EQ(collect(8), (std::vector<std::string>{"10:a", "14:Transform {}", "14:Shape {}",
                                                  "13:enddata", "4:", "50:t", "52:Group {}",
                                                  "51:endtemplate"}));
  ::close(a);
  ::close(b);
}

TEST_F(CommandPortTest, AClientStalledInABlockLosesItAndOthersGoOn) {
  startPort(std::chrono::milliseconds(10), std::chrono::milliseconds(300));
  int stalled = connectLoopback(thread_->port());
  int typist = connectLoopback(thread_->port());
  ASSERT_GE(stalled, 0);
  ASSERT_GE(typist, 0);
  sendAll(stalled, "startdata half\nTransform {}\n");
  ASSERT_TRUE(waitFor([&] { return queue_.linesQueued() == 2; }));
  sendAll(typist, "show\n");
  // The half data block never reaches the engine; the waiting line does.
  EXPECT_EQ(collect(1, true), (std::vector<std::string>{"4:"}));
  EXPECT_TRUE(closedByPeer(stalled));
  ::close(stalled);
  EXPECT_NE(testing::readFile(dir_.file("kestrel.err"))
                .find("sent nothing inside a block for 300 ms: the data block was discarded"),
            std::string::npos);
  // A template's lines go out as they come: a stalled one is ended.
  int templater = connectLoopback(thread_->port());
  sendAll(templater, "starttemplate t\nGroup {}\n");
  EXPECT_EQ(collect(3, true), (std::vector<std::string>{"50:t", "52:Group {}", "51:endtemplate"}));
  EXPECT_TRUE(closedByPeer(templater));
  ::close(templater);
  // A client that leaves inside its block loses it at once.
  int leaver = connectLoopback(thread_->port());
  sendAll(leaver, "modelset ship 2\nShape {}\n");
  ::close(leaver);
  sendAll(typist, "up\n");
  EXPECT_EQ(collect(1, true), (std::vector<std::string>{"17:"}));
  EXPECT_TRUE(waitFor([&] {
    return testing::readFile(dir_.file("kestrel.log"))
               .find("left inside a block: the data block was discarded") != std::string::npos;
  }));
  EXPECT_FALSE(queue_.take());  // nothing of the ship
  // Outside a block, a slow typist is never cut off.
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  sendAll(typist, "hide\n");
  EXPECT_EQ(collect(1, true), (std::vector<std::string>{"5:"}));
  ::close(typist);
}

TEST_F(CommandPortTest, ManyQuickConnectsAreAllServed) {
  startPort();
  constexpr int kThreads = 8, kEach = 63;  // 504 connections
  std::atomic<int> failed{0};
  std::vector<std::thread> clients;
  for (int t = 0; t < kThreads; ++t) {
    clients.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        int fd = connectOnce("127.0.0.1", thread_->port());
        if (fd < 0 || !sendAll(fd, "setobject c" + std::to_string(t * kEach + i) + "\n")) ++failed;
        if (fd >= 0) ::close(fd);
      }
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(failed.load(), 0);
  EXPECT_EQ(collect(kThreads * kEach).size(), static_cast<size_t>(kThreads * kEach));
}

TEST_F(CommandPortTest, TheBindAddressLimitsWhoCanConnect) {
  CommandPortConfig config;
  config.queue = &queue_;
  config.bindAddress = "127.0.0.2";
  thread_ = std::make_unique<CommandPortThread>(config);
  std::string error;
  ASSERT_TRUE(thread_->open(&error)) << error;
  thread_->start();
  EXPECT_LT(connectOnce("127.0.0.1", thread_->port()), 0);
  int fd = connectOnce("127.0.0.2", thread_->port());
  ASSERT_GE(fd, 0);
  sendAll(fd, "show\n");
  EXPECT_EQ(collect(1), (std::vector<std::string>{"4:"}));
  ::close(fd);
  config.bindAddress = "localhost:80";
  CommandPortThread wrong(config);
  EXPECT_FALSE(wrong.open(&error));
  EXPECT_NE(error.find("not an IPv4 address"), std::string::npos) << error;
}

}  // namespace
}  // namespace kestrel
