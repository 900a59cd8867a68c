// pokeline against a real listening socket.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "testing/child_process.h"
#include "testing/test_support.h"

namespace kestrel {
namespace {

using testing::ChildProcess;

// A listening socket on 127.0.0.1 that records everything one client sends.
class Listener {
 public:
  Listener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd_, 1);
    socklen_t length = sizeof address;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~Listener() { ::close(fd_); }
  uint16_t port() const { return port_; }
  // Accepts one client and reads until it closes; gives up after a few
  // seconds so that a client that never comes cannot hang the test.
  std::string receiveAll() {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 5000) != 1) return "<no client>";
    int client = ::accept(fd_, nullptr, nullptr);
    timeval timeout{5, 0};
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string got;
    char buffer[4096];
    ssize_t n;
    while ((n = ::recv(client, buffer, sizeof buffer, 0)) > 0) got.append(buffer, n);
    ::close(client);
    return got;
  }

 private:
  int fd_;
  uint16_t port_ = 0;
};

std::string pokeline() { return testing::programPath("client/pokeline"); }
std::string portEnv(uint16_t port) { return "KESTREL_SECONDARY_PORT=" + std::to_string(port); }

TEST(Pokeline, SendsEachTypedLineWithItsLineFeedAndStopsAtAQuitWord) {
  Listener viewer;
  ChildProcess client(pokeline(), {}, "", {portEnv(viewer.port())});
  client.writeInput("setobject ball\nQuit\n" + std::string(1500, 'x') + "\nquitting\nnot sent\n");
  client.closeInput();
  std::string got = viewer.receiveAll();
  EXPECT_EQ(got, "setobject ball\nQuit\n" + std::string(1500, 'x') + "\n");
  EXPECT_EQ(client.wait(), 0);
  std::string expected = "Usage: pokeline [<ip> (default is 127.0.0.1)]\n"
                         "Attempting connection to 127.0.0.1 port " +
                         std::to_string(viewer.port()) +
                         "\n..connected\n> Sending '''setobject ball\n'''\n> Sending '''Quit\n'''\n"
                         "> Sending '''" + std::string(998, 'x') + "'''\n> Sending '''" +
                         std::string(502, 'x') + "\n'''\n> ";
  EXPECT_EQ(client.output(), expected);
}

TEST(Pokeline, ByeAndExitAndEndOfInputEndWithoutSending) {
  for (const char* input : {"bye\nshow\n", "exit now\nshow\n", ""}) {
    Listener viewer;
    ChildProcess client(pokeline(), {"127.0.0.1"}, "", {portEnv(viewer.port())});
    client.writeInput(input);
    client.closeInput();
    EXPECT_EQ(viewer.receiveAll(), "") << input;
    EXPECT_EQ(client.wait(), 0);
  }
}

TEST(Pokeline, UnreachableViewerOrHostNameCannotBeConnected) {
  uint16_t closed = testing::freePort();
  for (const char* host : {"127.0.0.1", "localhost", "not an address"}) {
    ChildProcess client(pokeline(), {host}, "", {portEnv(closed)});
    EXPECT_EQ(client.wait(), 1) << host;
    EXPECT_NE(client.output().find("Could not connect to renderer.\n"), std::string::npos);
  }
  // Two or more arguments: the default address is used.
  ChildProcess client(pokeline(), {"10.1.1.1", "extra"}, "", {portEnv(closed)});
  client.wait();
  EXPECT_NE(client.output().find("Attempting connection to 127.0.0.1 port"), std::string::npos);
}

TEST(Pokeline, AnswersHelpVersionAndUnknownOptionsWithoutConnecting) {
  EXPECT_EQ(testing::standardOptionProblems(pokeline(), "pokeline", "Usage: pokeline [<ip>"), "");
}

TEST(Pokeline, DefaultPortIs3503) {
  unsetenv("KESTREL_SECONDARY_PORT");
  EXPECT_EQ(kestrel::testing::freePort() > 0, true);
  ChildProcess client(pokeline(), {"not an address"});
  client.wait();
  EXPECT_NE(client.output().find("port 3503\n"), std::string::npos) << client.output();
}

}  // namespace
}  // namespace kestrel
