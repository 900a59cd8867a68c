#include "viewer/web/web_server.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/web/config_table.h"
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
  if (loop_) {
    *error = "the web server already runs";
    return false;
  }
  Socket listener = openListener(options.bindAddress, port, error);
  if (!listener.valid()) return false;
  port_ = localPort(listener);
  context_.root = options.root.empty() ? "." : options.root;
  context_.queue = options.queue != nullptr ? options.queue : &primaryQueue();
  context_.engine = &engine;
  context_.config = &configTable();
  context_.map = &mapRegion();
  context_.tasks = &tasks_;
  context_.trustedHosts = options.trustedHosts;
  context_.privateFiles = options.privateFiles;
  loop_ = std::make_unique<WebEventLoop>(std::move(listener), options, context_);
  loopThread_ = std::thread([this] { loop_->run(); });
  return true;
}

void WebServer::stop() {
  if (!loop_) return;
  loop_->stop();
  loopThread_.join();
  loop_.reset();
}

int WebServer::activeConnections() const { return loop_ ? loop_->connections() : 0; }

}  // namespace kestrel
