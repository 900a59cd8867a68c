// WebServer: the viewer's HTTP control server. It serves page files of its
// page directory with their tags filled in (page_templates.h) and turns
// posted forms into commands (form_commands.h).
//
// Threads: start() opens the listener on the bind address and PORT and starts an accept
// thread; each connection gets a thread of its own, at most maxConnections
// at once (further connections wait in the listen backlog until one ends).
// stop() (or the destructor) closes the listener, wakes and ends every
// connection and joins all threads. runEngineTasks() must be called on the
// engine thread, once per tick: it runs the work that forms hand to the
// engine (restoring all objects).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "viewer/web/engine_tasks.h"
#include "viewer/web/socket_layer.h"
#include "viewer/web/web_context.h"

namespace kestrel {

class Engine;
class InternalCommandQueue;

struct WebServerOptions {
  std::string root = ".";                 // the page directory
  InternalCommandQueue* queue = nullptr;  // none: the primary queue
  int maxConnections = 64;
  int idleTimeoutMs = 10000;  // a connection silent this long is closed
  std::string bindAddress = "0.0.0.0";  // numeric IPv4 or IPv6; empty: every interface
  // Names besides loopback and this machine's addresses that a form's Host
  // may carry (see host_check.h).
  std::vector<std::string> trustedHosts;
  // Files of the page directory never served, besides the logs and
  // *.state files (see page_files.h).
  std::vector<std::string> privateFiles;
};

class WebServer {
 public:
  WebServer() = default;
  ~WebServer() { stop(); }
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
  size_t runEngineTasks(Engine& engine) { return tasks_.runPending(engine); }
  EngineTasks& tasks() { return tasks_; }
  // Connections being served now.
  int activeConnections() const;

 private:
  struct Connection {
    Socket socket;
    std::thread thread;
    bool done = false;
  };

  void acceptLoop();
  void serve(Connection& connection);
  void reapFinished();  // joins connections that have ended; mutex_ held

  WebContext context_;
  WebServerOptions options_;
  EngineTasks tasks_;
  Socket listener_;
  uint16_t port_ = 0;
  std::thread acceptThread_;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::condition_variable slotFree_;
  std::list<Connection> connections_;  // GUARDED_BY(mutex_)
  int active_ = 0;                     // GUARDED_BY(mutex_)
};

}  // namespace kestrel
