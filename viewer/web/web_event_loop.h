// One of the web server's event loops: a thread that receives, answers and
// sends on the connections handed to it, without blocking on any of them
// (epoll). A request that is whole is answered on the loop's thread with
// answerRequests() (web_connection.h); a connection that is slow to send
// its request holds no thread, only its slot, until the idle timeout or
// the request deadline ends it.
//
// A connection that asks for the live view's push stream (live_hub.h)
// becomes a stream: it gives its connection slot back (streams have their
// own bound in the hub, so watchers never keep pages and forms out) and
// from then on sends what the hub puts in its buffer; what the client
// sends is dropped. A stream that cannot send for the idle timeout, or that
// the hub cuts for stalling, is closed.
//
// Threads: run() on the loop's own thread until stop(); adopt() and stop()
// from any thread. When run() returns, every connection is closed.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "viewer/web/connection_limits.h"
#include "viewer/web/live/live_hub.h"
#include "viewer/web/socket_layer.h"
#include "viewer/web/web_context.h"
#include "viewer/intake/thread_annotations.h"

namespace kestrel {

struct WebTimeouts {
  int idleMs = 10000;      // a connection silent this long is closed
  int deadlineMs = 10000;  // a request must be whole this long after its first byte
};

class WebEventLoop {
 public:
  // CONTEXT and LIMITS must outlive the loop.
  WebEventLoop(const WebContext& context, ConnectionLimits& limits, WebTimeouts timeouts);
  WebEventLoop(const WebEventLoop&) = delete;
  WebEventLoop& operator=(const WebEventLoop&) = delete;

  void run();
  void stop();
  // Takes the accepted, non-blocking connection FD from PEER, which LIMITS
  // has admitted; the loop releases it when the connection ends.
  void adopt(int fd, std::string peer);

 private:
  using Clock = std::chrono::steady_clock;
  // kDraining: the last reply is sent and our side shut; what the client
  // still sends is read and dropped until it closes, so that closing does
  // not reset the connection before the client has read that reply.
  enum class Phase { kReading, kWriting, kDraining, kStreaming };
  struct Connection {
    Socket socket;
    std::string peer;      // numeric address, for the per-address limit
    std::string in;        // received bytes not yet answered
    std::string out;       // reply bytes not yet sent
    size_t sent = 0;       // of OUT
    bool closing = false;  // end once OUT is sent
    bool inputEnded = false;
    uint32_t watched = 0;  // the epoll events registered; 0: none
    Phase phase = Phase::kReading;
    Clock::time_point lastActive;
    std::optional<Clock::time_point> requestStarted;  // first byte of IN
    std::shared_ptr<LiveStream> stream;  // kStreaming only
    bool slotReleased = false;           // a stream gave its slot back
  };

  void takeAdopted();
  void readFrom(Connection& c);
  void answer(Connection& c);
  void startStream(Connection& c);
  void flushStream(Connection& c);
  void streamEvent(Connection& c, uint32_t events);
  void flushStreams();
  // Sends what is left of C's OUT without blocking.
  enum class Sent { kAll, kBlocked, kFailed };
  Sent sendOut(Connection& c);
  void writeTo(Connection& c);
  void finish(Connection& c);
  void drain(Connection& c);
  // Reads and drops what C's client sent; false when it closed or failed.
  bool dropInput(Connection& c);
  void sweep();
  void timeOut(Connection& c, bool overdue);
  void close(Connection& c);
  void watch(Connection& c, uint32_t events);

  const WebContext& context_;
  ConnectionLimits& limits_;
  WebTimeouts timeouts_;
  Socket epoll_;
  Socket wake_;  // an eventfd: adopt() and stop() wake the loop
  std::atomic<bool> stopping_{false};
  std::atomic<bool> streamsDue_{false};  // a hub buffer has bytes to send
  std::unordered_map<int, std::unique_ptr<Connection>> connections_;  // loop thread only
  Mutex adoptedMutex_;
  std::vector<std::pair<int, std::string>> adopted_ GUARDED_BY(adoptedMutex_);
};

}  // namespace kestrel
