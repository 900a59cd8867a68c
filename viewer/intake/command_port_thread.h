// The two command port threads: each serves one TCP port and feeds every
// non-empty line it frames to the parser of its queue.
//
//   primary:   reads the start-up files, then serves its port (default 3502)
//              into the primary queue; sleeps 100 ms when a read gives nothing
//   secondary: writes "2Creating worker thread", then serves its port
//              (default 3503) into the secondary queue; sleeps 1000 ms
//
// Lines that are already in the receive buffer are parsed together under one
// hold of the queue's mutex. A line that arrives while the queue is full
// waits (up to two seconds) for the engine to make room instead of being
// dropped at once, so a fast client is slowed down by TCP rather than losing
// commands.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "viewer/intake/command_port.h"
#include "viewer/intake/line_batch.h"

namespace kestrel {

class InternalCommandQueue;

struct CommandPortConfig {
  uint16_t port = 0;
  InternalCommandQueue* queue = nullptr;
  std::chrono::milliseconds idleSleep{100};
  // Command files read into the queue before the port is served.
  std::vector<std::string> startupFiles;
  // Written to the log when the thread starts, if not empty.
  std::string startLogLine;
};

// The configuration of the primary and the secondary command port.
CommandPortConfig primaryPortConfig(uint16_t port);
CommandPortConfig secondaryPortConfig(uint16_t port);

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
  // Ends the thread (wakes a blocking accept, receive or idle sleep) and
  // joins it. Safe to call more than once.
  void stop();

 private:
  void run();
  void idle();
  void deliver();

  CommandPortConfig config_;
  CommandPortServer server_;
  std::function<void()> onFatal_;
  LineBatch batch_;
  std::thread thread_;
  std::mutex sleepMutex_;
  std::condition_variable sleepWake_;
};

}  // namespace kestrel
