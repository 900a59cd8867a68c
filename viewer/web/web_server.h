// WebServer: the viewer's HTTP control server. It serves page files of its
// page directory with their tags filled in (page_templates.h) and turns
// posted forms into commands (form_commands.h).
//
// Threads: start() opens the listener on the bind address and PORT and
// starts an accepting thread and a few event-loop threads. Each accepted
// connection goes to one loop, which receives, answers and sends on all of
// its connections without blocking on any (web_event_loop.h): a slow or
// silent client holds no thread, only a connection slot, and loses it when
// its request is not whole by the request deadline or it stays silent for
// the idle timeout. At most maxConnections are open at once (further ones
// wait in the listen backlog until one ends), at most maxPerAddress from one
// peer address (further ones from it are closed at once, logged).
// stop() (or the destructor) closes the listener and every connection and
// joins all threads. runEngineTasks() must be called on the engine thread,
// once per tick: it runs the work that forms hand to the engine (restoring
// all objects) and lets the live view look at the scene.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "viewer/web/engine_tasks.h"
#include "viewer/web/socket_layer.h"
#include "viewer/web/web_context.h"

namespace kestrel {

class Engine;
class InternalCommandQueue;
class ConnectionLimits;
class WebEventLoop;
class LiveHub;
class ReplayRemote;

struct WebServerOptions {
  std::string root = ".";                 // the page directory
  InternalCommandQueue* queue = nullptr;  // none: the primary queue
  int maxConnections = 512;
  int maxPerAddress = 256;
  int idleTimeoutMs = 10000;  // a connection silent this long is closed
  // A request must be whole this long after its first byte (and within
  // three idle timeouts), however its bytes trickle in.
  int requestDeadlineMs = 10000;
  int loops = 4;  // event-loop threads
  std::string bindAddress = "0.0.0.0";  // numeric IPv4 or IPv6; empty: every interface
  // Names besides loopback and this machine's addresses that a form's Host
  // may carry (see host_check.h).
  std::vector<std::string> trustedHosts;
  // Files of the page directory never served, besides the logs and
  // *.state files (see page_files.h).
  std::vector<std::string> privateFiles;
  // The live view and JSON API (live/live_hub.h, live/api_routes.h).
  bool liveView = true;
  size_t streamBuffer = 4 << 20;  // bytes a push stream may owe
  int maxStreams = 256;           // push streams at once, besides maxConnections
  int liveFrameMs = 16;           // the live view looks at the scene at most this often
  std::string threeDir = "/usr/share/javascript/three";
  // A replay being shown (live/replay_remote.h): served at /api/replay; the
  // engine passed to start() is then not read by pages.
  ReplayRemote* replay = nullptr;
};

class WebServer {
 public:
  WebServer();
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Listens on PORT (0: any free port, see port()). False with a reason in
  // *error when the port cannot be bound or the server already runs.
  bool start(uint16_t port, Engine& engine, std::string* error) {
    return start(port, engine, WebServerOptions{}, error);
  }
  bool start(uint16_t port, Engine& engine, const WebServerOptions& options, std::string* error);
  void stop();

  uint16_t port() const { return port_; }
  size_t runEngineTasks(Engine& engine);
  EngineTasks& tasks() { return tasks_; }
  // Connections open now (push streams not counted).
  int activeConnections() const;
  // The live view's hub while the server runs with it, else null.
  LiveHub* live() { return live_.get(); }

 private:
  void acceptLoop();
  void acceptOne();

  WebContext context_;
  EngineTasks tasks_;
  uint16_t port_ = 0;
  Socket listener_;
  Socket wake_;  // an eventfd: stop() wakes the accepting thread
  std::atomic<bool> stopping_{false};
  std::unique_ptr<ConnectionLimits> limits_;
  std::unique_ptr<LiveHub> live_;
  std::vector<std::unique_ptr<WebEventLoop>> loops_;
  std::vector<std::thread> loopThreads_;
  size_t nextLoop_ = 0;  // accepting thread only
  std::chrono::steady_clock::time_point lastRefusalLog_{};  // accepting thread only
  std::thread acceptThread_;
};

}  // namespace kestrel
