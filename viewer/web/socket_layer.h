// The socket layer that the web server and the search client share: a
// connected TCP socket with bounded, timed send and receive, and the
// outgoing connection SocketClient (dotted IPv4 host, no name lookup).
//
// A Socket owns its descriptor and closes it at destruction. One thread
// uses a Socket at a time, except shutdown(), which another thread may call
// to wake a blocked receive (the server's stop does so).
#pragma once

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrel {

class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() { close(); }
  Socket(Socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  // Sends all LENGTH bytes, looping over partial sends; false when the peer
  // went away or a send would wait longer than TIMEOUT_MS.
  bool sendAll(const char* data, size_t length, int timeoutMs = 10000);
  bool sendAll(const std::string& data, int timeoutMs = 10000) {
    return sendAll(data.data(), data.size(), timeoutMs);
  }
  // One receive of at most SIZE bytes into BUFFER, waiting at most
  // TIMEOUT_MS for data. Returns the count (> 0), 0 when the peer closed,
  // -1 on an error and -2 on a timeout.
  long receive(char* buffer, size_t size, int timeoutMs);
  static constexpr long kTimedOut = -2;

  // Ends both directions, waking a receive blocked on another thread.
  void shutdown();
  void close();

 private:
  int fd_ = -1;
};

// Fills *ADDRESS and *LENGTH with the numeric IPv4 or IPv6 address TEXT and
// PORT; false when TEXT is neither.
bool socketAddress(const std::string& text, uint16_t port, sockaddr_storage* address,
                   socklen_t* length);

// An outgoing connection to a dotted IPv4 host and a port.
class SocketClient {
 public:
  // HOST is cut to 29 characters, as the host field holds no more.
  SocketClient(const std::string& host, uint16_t port);

  // Connects within TIMEOUT_MS. False (with a reason in *error) when the
  // host is not a dotted IPv4 address, the connection is refused or the
  // time runs out.
  bool connect(int timeoutMs, std::string* error);

  const std::string& host() const { return host_; }
  uint16_t port() const { return port_; }
  Socket& socket() { return socket_; }

 private:
  std::string host_;
  uint16_t port_;
  Socket socket_;
};

}  // namespace kestrel
