// CommandPortServer: one TCP command port and the clients connected to it.
//
// Several clients are served at once by one poll loop on the port's thread
// rather than by a thread per client: whose lines may go to the queue next
// (a client inside a data, template or function block holds the queue) is
// then decided on one thread without further locking, and a silent client
// costs a descriptor, not a thread. At most kMaxClients are connected at a
// time; further connections wait in the listen backlog until one leaves.
//
// Owned and used by one thread (its port thread); only stop() may be called
// from another thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "viewer/intake/command_client.h"

namespace kestrel {

class CommandPortServer {
 public:
  static constexpr size_t kMaxClients = 64;
  static constexpr int kBacklog = 128;

  enum class Status {
    kServed,   // waited, accepted and read; clients() may hold new lines
    kStopped,  // stop() was called
    kFatal,    // accept failed for good ("accept error" was written)
  };

  CommandPortServer();
  ~CommandPortServer();
  CommandPortServer(const CommandPortServer&) = delete;
  CommandPortServer& operator=(const CommandPortServer&) = delete;

  // Creates an IPv4 stream socket bound to BIND_ADDRESS (a dotted IPv4
  // address; empty: every local address) and PORT (0: any free port), with
  // SO_REUSEADDR, listening with a backlog of kBacklog. On failure returns
  // false and puts the reason into *error.
  bool open(uint16_t port, const std::string& bindAddress, std::string* error);
  // The port actually bound.
  uint16_t port() const { return port_; }

  // Waits up to TIMEOUT for a connection or for bytes from a client for
  // which READABLE says yes, then accepts what is waiting and receives once
  // from every readable client (see CommandClient::receive; IDLE is its
  // pause after an empty line).
  Status serve(std::chrono::milliseconds timeout,
               const std::function<bool(const CommandClient&)>& readable,
               std::chrono::milliseconds idle);
  // The connected clients, in the order they came; closed ones stay until
  // removeClosed(), so that their last lines can still be handed on.
  const std::vector<std::unique_ptr<CommandClient>>& clients() const { return clients_; }
  // Forgets the closed clients whose lines have all been handed on.
  void removeClosed();

  // Ends a waiting serve() from any thread; serve then returns kStopped.
  void stop();
  bool stopping() const { return stopping_.load(std::memory_order_acquire); }

 private:
  // Accepts every waiting connection while there is room; false when accept
  // failed for good.
  bool acceptClients();

  static constexpr size_t kReceiveSize = 5000;
  int listenFd_ = -1;
  int wakeFd_ = -1;  // an eventfd that stop() signals
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::vector<std::unique_ptr<CommandClient>> clients_;
  char receiveBuffer_[kReceiveSize] = {};
};

}  // namespace kestrel
