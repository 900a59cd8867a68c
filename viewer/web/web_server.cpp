#include "viewer/web/web_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/web/config_table.h"
#include "viewer/web/map_region.h"
#include "viewer/web/web_connection.h"

namespace kestrel {

bool WebServer::start(uint16_t port, Engine& engine, const WebServerOptions& options,
                      std::string* error) {
  if (listener_.valid()) {
    *error = "the web server already runs";
    return false;
  }
  options_ = options;
  if (options_.maxConnections < 1) options_.maxConnections = 1;
  context_.root = options.root.empty() ? "." : options.root;
  context_.queue = options.queue != nullptr ? options.queue : &primaryQueue();
  context_.engine = &engine;
  context_.config = &configTable();
  context_.map = &mapRegion();
  context_.tasks = &tasks_;
  context_.trustedHosts = options.trustedHosts;
  context_.privateFiles = options.privateFiles;

  std::string bind = options.bindAddress.empty() ? "0.0.0.0" : options.bindAddress;
  sockaddr_storage address{};
  socklen_t length = 0;
  if (!socketAddress(bind, port, &address, &length)) {
    *error = "not an IPv4 or IPv6 address: " + bind;
    return false;
  }
  Socket listener(::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
  int on = 1;
  ::setsockopt(listener.fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (!listener.valid() ||
      ::bind(listener.fd(), reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
      ::listen(listener.fd(), 128) != 0) {
    *error = "web port " + std::to_string(port) + " on " + bind + ": " + std::strerror(errno);
    errorLine(error->c_str());
    return false;
  }
  ::getsockname(listener.fd(), reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.ss_family == AF_INET6
                    ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                    : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
  listener_ = std::move(listener);
  stopping_ = false;
  acceptThread_ = std::thread([this] { acceptLoop(); });
  return true;
}

void WebServer::stop() {
  if (!acceptThread_.joinable()) return;
  stopping_ = true;
  listener_.shutdown();
  {
    std::lock_guard lock(mutex_);
    slotFree_.notify_all();
  }
  acceptThread_.join();
  listener_.close();
  std::list<Connection> ending;
  {
    std::lock_guard lock(mutex_);
    for (Connection& c : connections_) c.socket.shutdown();
    ending.swap(connections_);
  }
  for (Connection& c : ending) c.thread.join();
  active_ = 0;
}

int WebServer::activeConnections() const {
  std::lock_guard lock(mutex_);
  return active_;
}

void WebServer::reapFinished() {
  for (auto it = connections_.begin(); it != connections_.end();) {
    if (it->done) {
      it->thread.join();  // the thread has set done as its last act
      it = connections_.erase(it);
    } else {
      ++it;
    }
  }
}

void WebServer::acceptLoop() {
  while (!stopping_) {
    {
      // Wait for a free slot: the next connection stays in the backlog.
      std::unique_lock lock(mutex_);
      slotFree_.wait(lock, [this] { return stopping_ || active_ < options_.maxConnections; });
      reapFinished();
    }
    if (stopping_) break;
    std::printf("accept connection, listenfd is %d\n", listener_.fd());
    int fd = ::accept4(listener_.fd(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (stopping_) break;
      errorLine("accept error");
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        ::poll(nullptr, 0, 100);  // out of descriptors: give connections time to end
      }
      continue;
    }
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::lock_guard lock(mutex_);
    if (stopping_) {
      Socket(fd).close();
      break;
    }
    Connection& c = connections_.emplace_back();
    c.socket = Socket(fd);
    ++active_;
    c.thread = std::thread([this, &c] {
      serveConnection(c.socket, context_, options_.idleTimeoutMs, stopping_);
      std::lock_guard done(mutex_);
      c.socket.close();
      c.done = true;
      --active_;
      slotFree_.notify_all();
    });
  }
}

}  // namespace kestrel
