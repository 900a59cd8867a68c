// A listening TCP socket on 127.0.0.1 for tests: accepts connections and
// reads what arrives, each with a time limit so a failing test cannot hang.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace kestrel::testing {

class TcpListener {
 public:
  // Listens on the port, or on a free one for port 0.
  explicit TcpListener(int port = 0) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ok_ = bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(fd_, 8) == 0;
    socklen_t len = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~TcpListener() {
    closeClient();
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return ok_; }
  int port() const { return port_; }

  // Accepts the next connection; false when none came in time.
  bool accept(int timeoutMs = 5000) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return false;
    closeClient();
    client_ = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    return client_ >= 0;
  }
  // Reads until `want` bytes arrived, the peer closed, or the time ran out.
  std::string read(std::size_t want, int timeoutMs = 5000) {
    std::string got;
    while (client_ >= 0 && got.size() < want) {
      pollfd p{client_, POLLIN, 0};
      if (poll(&p, 1, timeoutMs) <= 0) break;
      char buffer[4096];
      ssize_t n = recv(client_, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }
  void closeClient() {
    if (client_ >= 0) ::close(client_);
    client_ = -1;
  }

 private:
  int fd_ = -1;
  int client_ = -1;
  int port_ = 0;
  bool ok_ = false;
};

}  // namespace kestrel::testing
