// CommandPortServer: one TCP command port, serving one client at a time and
// framing its bytes into command lines.
//
// Owned and used by one thread (its port thread); only stop() may be called
// from another thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "viewer/intake/line_framer.h"

namespace kestrel {

class CommandPortServer {
 public:
  enum class Status {
    kLine,     // line() holds the next line, possibly empty (nothing to read)
    kStopped,  // stop() was called
    kFatal,    // accept failed for good ("accept error" was written)
  };

  CommandPortServer() = default;
  ~CommandPortServer();
  CommandPortServer(const CommandPortServer&) = delete;
  CommandPortServer& operator=(const CommandPortServer&) = delete;

  // Creates an IPv4 stream socket bound to every local address and PORT
  // (0: any free port), with SO_REUSEADDR, listening with a backlog of 5.
  // On failure returns false and puts the reason into *error.
  bool open(uint16_t port, std::string* error);
  // The port actually bound.
  uint16_t port() const { return port_; }

  // The next line of the current client, accepting one first when there is
  // none (this blocks). An empty line means there was nothing: the client
  // closed the connection ("readline failed" is written and the next call
  // accepts a new client), a receive failed, or the line held only dropped
  // characters.
  Status readLine();
  const char* line() const { return framer_.lineText(); }
  std::string_view lineView() const { return framer_.line(); }
  // True when the receive buffer already holds the end of the next line, so
  // that readLine() will return without waiting for the network.
  bool lineBuffered() const;

  // Ends a blocking readLine from any thread; readLine then returns kStopped.
  void stop();
  bool stopping() const { return stopping_.load(std::memory_order_acquire); }

 private:
  bool acceptClient();
  void closeConnection();
  // Refills the receive buffer; returns bytes received, 0 when closed, -1 on
  // error.
  long receive();

  static constexpr size_t kReceiveSize = 5000;
  int listenFd_ = -1;
  // Closing the connection and stop()'s shutdown of it take fdMutex_, so a
  // stop never shuts down a descriptor number that was already reused.
  std::mutex fdMutex_;
  std::atomic<int> connectionFd_{-1};
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  char receiveBuffer_[kReceiveSize] = {};
  size_t fill_ = 0;
  size_t readPos_ = 0;
  // One past the last newline of the receive buffer, 0 when it has none:
  // lets lineBuffered() answer without scanning.
  size_t lastLineEnd_ = 0;
  LineFramer framer_;
};

}  // namespace kestrel
