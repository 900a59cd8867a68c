// A web server on a free loopback port over an engine with queues of its
// own and a page directory in a temporary directory, and a raw HTTP client.
#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "viewer/engine/engine_test_support.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/web/web_server.h"

namespace kestrel::testing {

class WebHarness {
 public:
  // ADJUST, when given, changes the options before the server starts.
  explicit WebHarness(int idleTimeoutMs = 10000, int maxConnections = 64,
                      const std::function<void(WebServerOptions&)>& adjust = {}) {
    openLogIn(dir.path());  // the engine harness took the logs for its own directory
    WebServerOptions options;
    options.root = dir.path();
    options.queue = &engine.primary;
    options.idleTimeoutMs = idleTimeoutMs;
    options.maxConnections = maxConnections;
    options.bindAddress = "127.0.0.1";
    if (adjust) adjust(options);
    std::string error;
    started = server.start(0, engine.engine, options, &error);
  }
  TempDir dir;
  EngineHarness engine;
  WebServer server;
  bool started = false;
};

// Receives from FD until the peer closes or one whole reply (header and
// Content-Length body) has arrived; "" after a 5 s silence.
inline std::string readReply(int fd) {
  timeval tv{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  std::string text;
  char buffer[4096];
  for (;;) {
    size_t end = text.find("\r\n\r\n");
    if (end != std::string::npos) {
      size_t at = text.find("Content-Length: ");
      if (at != std::string::npos && at < end) {
        size_t length = std::stoul(text.substr(at + 16));
        if (text.size() >= end + 4 + length) return text;
      }
    }
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return text;
    text.append(buffer, static_cast<size_t>(n));
  }
}

// One request on a new connection; the reply text.
inline std::string httpRequest(uint16_t port, const std::string& request) {
  int fd = connectLoopback(port);
  if (fd < 0) return "";
  sendAll(fd, request);
  std::string reply = readReply(fd);
  ::close(fd);
  return reply;
}

inline std::string bodyOf(const std::string& reply) {
  size_t end = reply.find("\r\n\r\n");
  return end == std::string::npos ? "" : reply.substr(end + 4);
}

// True when the peer closes FD within TIMEOUT_MS.
inline bool peerCloses(int fd, int timeoutMs) {
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  char c;
  return ::recv(fd, &c, 1, 0) == 0;
}

}  // namespace kestrel::testing
