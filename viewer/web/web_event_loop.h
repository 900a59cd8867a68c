// The web server's event loop: one thread accepts connections and receives
// and sends on all of them without blocking (epoll); a request that is
// whole goes to a worker of a small pool, which answers it with
// answerRequests() (web_connection.h) and hands the reply bytes back.
//
// Threads: run() on the loop's own thread until stop(), which any thread
// may call. connections() from any thread. When run() returns, no worker
// runs and every connection is closed.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "viewer/web/socket_layer.h"
#include "viewer/web/web_context.h"
#include "viewer/web/web_server.h"
#include "viewer/web/worker_pool.h"

namespace kestrel {

class WebEventLoop {
 public:
  // Takes LISTENER, a bound, listening, non-blocking socket. CONTEXT must
  // outlive the loop.
  WebEventLoop(Socket listener, const WebServerOptions& options, const WebContext& context);
  ~WebEventLoop();
  WebEventLoop(const WebEventLoop&) = delete;
  WebEventLoop& operator=(const WebEventLoop&) = delete;

  void run();
  void stop();
  int connections() const { return count_.load(); }

 private:
  using Clock = std::chrono::steady_clock;
  enum class Phase { kReading, kWorking, kWriting };
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
  };

  void acceptAll();
  void admit(int fd, const std::string& peer);
  void readFrom(Connection& c);
  void dispatch(Connection& c);
  void takeAnswered();
  void writeTo(Connection& c);
  void sweep();
  void timeOut(Connection& c);
  void close(Connection& c);
  void watch(int fd, uint32_t* watched, uint32_t events);
  void pauseListener();
  void resumeListener();

  WebServerOptions options_;
  const WebContext& context_;
  Socket listener_;
  Socket epoll_;
  Socket wake_;  // an eventfd: stop() and the workers wake the loop
  uint32_t listenerWatched_ = 0;
  std::optional<Clock::time_point> listenerRetry_;  // out of descriptors: accept again then
  Clock::time_point lastRefusalLog_{};
  std::atomic<bool> stopping_{false};
  std::atomic<int> count_{0};
  std::unordered_map<int, std::unique_ptr<Connection>> connections_;  // loop thread only
  std::unordered_map<std::string, int> perAddress_;                    // loop thread only
  std::mutex answeredMutex_;
  std::vector<Connection*> answered_;  // GUARDED_BY(answeredMutex_)
  WorkerPool workers_;
};

}  // namespace kestrel
