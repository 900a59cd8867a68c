#include "viewer/web/web_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/web/config_table.h"
#include "viewer/web/connection_limits.h"
#include "viewer/web/live/live_hub.h"
#include "viewer/web/map_region.h"
#include "viewer/web/web_event_loop.h"

namespace kestrel {

namespace {

// A listening, non-blocking socket on BIND_ADDRESS and PORT, or an invalid
// one with the reason in *error.
Socket openListener(const std::string& bindAddress, uint16_t port, std::string* error) {
  std::string bind = bindAddress.empty() ? "0.0.0.0" : bindAddress;
  sockaddr_storage address{};
  socklen_t length = 0;
  if (!socketAddress(bind, port, &address, &length)) {
    *error = "not an IPv4 or IPv6 address: " + bind;
    return Socket();
  }
  Socket listener(::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  int on = 1;
  ::setsockopt(listener.fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (!listener.valid() ||
      ::bind(listener.fd(), reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
      ::listen(listener.fd(), 511) != 0) {
    *error = "web port " + std::to_string(port) + " on " + bind + ": " + std::strerror(errno);
    errorLine(error->c_str());
    return Socket();
  }
  return listener;
}

std::string numericAddress(const sockaddr_storage& address) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address.ss_family == AF_INET) {
    ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text, sizeof text);
  } else if (address.ss_family == AF_INET6) {
    ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, text,
                sizeof text);
  }
  return text;
}

uint16_t localPort(const Socket& socket) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  ::getsockname(socket.fd(), reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.ss_family == AF_INET6
                   ? reinterpret_cast<const sockaddr_in6&>(address).sin6_port
                   : reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

}  // namespace

WebServer::WebServer() = default;
WebServer::~WebServer() { stop(); }

bool WebServer::start(uint16_t port, Engine& engine, const WebServerOptions& options,
                      std::string* error) {
  if (acceptThread_.joinable()) {
    *error = "the web server already runs";
    return false;
  }
  Socket listener = openListener(options.bindAddress, port, error);
  if (!listener.valid()) return false;
  port_ = localPort(listener);
  listener_ = std::move(listener);
  wake_ = Socket(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  context_.root = options.root.empty() ? "." : options.root;
  context_.queue = options.queue != nullptr ? options.queue : &primaryQueue();
  context_.engine = options.replay != nullptr ? nullptr : &engine;
  context_.replay = options.replay;
  context_.config = &configTable();
  context_.map = &mapRegion();
  context_.tasks = &tasks_;
  context_.trustedHosts = options.trustedHosts;
  context_.privateFiles = options.privateFiles;
  context_.threeDir = options.threeDir;
  if (options.liveView) live_ = std::make_unique<LiveHub>(options.streamBuffer, options.maxStreams,
                                                         options.liveFrameMs);
  context_.live = live_.get();
  limits_ = std::make_unique<ConnectionLimits>(options.maxConnections, options.maxPerAddress);
  WebTimeouts timeouts{options.idleTimeoutMs, options.requestDeadlineMs};
  for (int i = 0; i < std::max(1, options.loops); ++i) {
    loops_.push_back(std::make_unique<WebEventLoop>(context_, *limits_, timeouts));
  }
  for (auto& loop : loops_) loopThreads_.emplace_back([l = loop.get()] { l->run(); });
  stopping_ = false;
  acceptThread_ = std::thread([this] { acceptLoop(); });
  return true;
}

void WebServer::stop() {
  if (!acceptThread_.joinable()) return;
  stopping_ = true;
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_.fd(), &one, sizeof one);
  acceptThread_.join();
  listener_.close();
  for (auto& loop : loops_) loop->stop();
  for (std::thread& thread : loopThreads_) thread.join();
  loopThreads_.clear();
  loops_.clear();
  limits_.reset();
  context_.live = nullptr;
  live_.reset();
}

size_t WebServer::runEngineTasks(Engine& engine) {
  size_t ran = tasks_.runPending(engine);
  if (live_) live_->tick(engine);
  return ran;
}

int WebServer::activeConnections() const { return limits_ ? limits_->open() : 0; }

void WebServer::acceptLoop() {
  constexpr int kRecheckMs = 50;
  while (!stopping_) {
    // A full server does not look at the listener: further connections
    // wait in its backlog until one ends.
    bool room = limits_->room();
    pollfd waits[2] = {{wake_.fd(), POLLIN, 0}, {listener_.fd(), POLLIN, 0}};
    int ready = ::poll(waits, room ? 2 : 1, kRecheckMs);
    if (stopping_) break;
    if (ready > 0 && room && (waits[1].revents & POLLIN) != 0) acceptOne();
  }
}

void WebServer::acceptOne() {
  sockaddr_storage peer{};
  socklen_t length = sizeof peer;
  int fd = ::accept4(listener_.fd(), reinterpret_cast<sockaddr*>(&peer), &length,
                     SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED) return;
    errorLine("accept error");
    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
      ::poll(nullptr, 0, 100);  // out of descriptors: give connections time to end
    }
    return;
  }
  std::printf("accept connection, listenfd is %d\n", listener_.fd());
  std::string address = numericAddress(peer);
  if (!limits_->admit(address)) {
    Socket(fd).close();
    // One peer's flood must not flood the log as well.
    auto now = std::chrono::steady_clock::now();
    if (now - lastRefusalLog_ >= std::chrono::seconds(1)) {
      logText("too many web connections from one address, closed: ", address.c_str());
      lastRefusalLog_ = now;
    }
    return;
  }
  loops_[nextLoop_++ % loops_.size()]->adopt(fd, std::move(address));
}

}  // namespace kestrel
