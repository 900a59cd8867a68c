// CommandClient: one connection to a command port, with its own line
// framing, so that the port can serve several clients at once and still cut
// each client's bytes into lines exactly as if it were alone.
#pragma once

#include <chrono>
#include <string>

#include "viewer/intake/line_batch.h"
#include "viewer/intake/line_framer.h"

namespace kestrel {

class CommandClient {
 public:
  using Clock = std::chrono::steady_clock;

  enum class State {
    kOpen,
    kClosed,   // the peer closed the connection or a receive failed
    kRefused,  // the peer spoke HTTP: its lines were dropped
  };

  // Takes ownership of the connected socket FD; PEER names the far end
  // ("address:port") for the logs.
  CommandClient(int fd, std::string peer);
  ~CommandClient();
  CommandClient(const CommandClient&) = delete;
  CommandClient& operator=(const CommandClient&) = delete;

  int fd() const { return fd_; }
  const std::string& peer() const { return peer_; }
  State state() const { return state_; }

  // Receives once into BUFFER (the caller's scratch space) and frames what
  // came: every finished non-empty line is added to batch(). A line that
  // looks like HTTP drops the lines of this receive that were not handed on
  // yet and refuses the client. An empty line (nothing, or only dropped
  // characters) pauses the client for IDLE. Writes "readline failed" when
  // the peer closes between lines.
  void receive(char* buffer, size_t size, std::chrono::milliseconds idle);
  // Closes the socket at once (the lines still in batch() stay).
  void close();

  // Framed lines not yet handed to the queue.
  LineBatch& batch() { return batch_; }
  const LineBatch& batch() const { return batch_; }
  // When bytes last arrived (the connection time before any).
  Clock::time_point lastHeard() const { return lastHeard_; }
  // Not to be read before this time (after an empty line).
  Clock::time_point pausedUntil() const { return pausedUntil_; }

 private:
  // Adds the framer's finished line; false when it looks like HTTP.
  bool takeLine(std::chrono::milliseconds idle);
  void refuse();

  int fd_;
  std::string peer_;
  State state_ = State::kOpen;
  LineFramer framer_;
  LineBatch batch_;
  Clock::time_point lastHeard_;
  Clock::time_point pausedUntil_;
};

}  // namespace kestrel
