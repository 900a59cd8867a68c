// The two command port threads: each serves one TCP port and feeds every
// non-empty line its clients send to the parser of its queue.
//
//   primary:   reads the start-up files, then serves its port (default 3502)
//              into the primary queue; a client that sent an empty line is
//              not read for 100 ms
//   secondary: writes "2Creating worker thread", then serves its port
//              (default 3503) into the secondary queue; pauses such a client
//              for 1000 ms
//
// Several clients are served at once (see CommandPortServer). A client whose
// lines open a data, template or function block holds the queue until the
// block ends: the other clients' lines wait, so none lands inside the
// block. A client that sends nothing for blockStallTimeout inside its block
// loses the block (CommandPortThread::abandonBlock) and its connection, so
// that it cannot hold the port for good. Outside a block a client may stay
// silent as long as it likes (an interactive user at pokeline).
//
// Lines that one receive brought are parsed together under one hold of the
// queue's mutex. A line that arrives while the queue is full waits (up to
// two seconds) for the engine to make room instead of being dropped at
// once, so a fast client is slowed down by TCP rather than losing commands.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "viewer/intake/command_port.h"

namespace kestrel {

class InternalCommandQueue;

// How long a client may stay silent inside a block it opened.
inline constexpr std::chrono::milliseconds kBlockStallTimeout{5000};

struct CommandPortConfig {
  uint16_t port = 0;
  // The IPv4 address to listen on; empty: every local address.
  std::string bindAddress;
  InternalCommandQueue* queue = nullptr;
  // How long a client that sent an empty line is not read.
  std::chrono::milliseconds idleSleep{100};
  std::chrono::milliseconds blockStallTimeout = kBlockStallTimeout;
  // Command files read into the queue before the port is served.
  std::vector<std::string> startupFiles;
  // Written to the log when the thread starts, if not empty.
  std::string startLogLine;
};

// The configuration of the primary and the secondary command port.
CommandPortConfig primaryPortConfig(uint16_t port, const std::string& bindAddress = {});
CommandPortConfig secondaryPortConfig(uint16_t port, const std::string& bindAddress = {});

class CommandPortThread {
 public:
  explicit CommandPortThread(CommandPortConfig config);
  ~CommandPortThread();  // stops and joins
  CommandPortThread(const CommandPortThread&) = delete;
  CommandPortThread& operator=(const CommandPortThread&) = delete;

  // Binds the port; on failure returns false with the reason in *error.
  // Called before start(), so a port that is taken is known at once.
  bool open(std::string* error);
  uint16_t port() const { return server_.port(); }

  // Starts the thread. ON_FATAL runs on it when accept fails for good.
  void start(std::function<void()> onFatal = {});
  // Ends the thread (wakes its wait for clients) and joins it. Safe to call
  // more than once.
  void stop();

 private:
  void run();
  bool mayRead(const CommandClient& client) const;
  CommandClient::Clock::time_point blockDeadline() const;
  std::chrono::milliseconds nextWait() const;
  void deliverReady();
  void deliverFrom(CommandClient& client);
  void deliver(LineBatch& batch);
  void expireStalledBlock();
  void abandonBlock(CommandClient& client, const char* why);

  CommandPortConfig config_;
  CommandPortServer server_;
  std::function<void()> onFatal_;
  // The client whose open block holds the queue, or null.
  CommandClient* blockOwner_ = nullptr;
  // When blockOwner_ came to hold the queue (its lines may have waited).
  CommandClient::Clock::time_point blockOpened_;
  std::thread thread_;
};

}  // namespace kestrel
