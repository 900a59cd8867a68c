#include "viewer/web/socket_layer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kestrel {

namespace {

// Waits until FD is ready for EVENTS; 1 ready, 0 timed out, -1 error.
int waitReady(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  for (;;) {
    int r = ::poll(&p, 1, timeoutMs);
    if (r < 0 && errno == EINTR) continue;
    return r < 0 ? -1 : (r == 0 ? 0 : 1);
  }
}

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool Socket::sendAll(const char* data, size_t length, int timeoutMs) {
  size_t sent = 0;
  while (sent < length) {
    if (waitReady(fd_, POLLOUT, timeoutMs) != 1) return false;
    ssize_t n = ::send(fd_, data + sent, length - sent, MSG_NOSIGNAL);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

long Socket::receive(char* buffer, size_t size, int timeoutMs) {
  if (size == 0) return -1;
  int ready = waitReady(fd_, POLLIN, timeoutMs);
  if (ready == 0) return kTimedOut;
  if (ready < 0) return -1;
  for (;;) {
    ssize_t n = ::recv(fd_, buffer, size, 0);
    if (n < 0 && errno == EINTR) continue;
    return n < 0 ? -1 : static_cast<long>(n);
  }
}

void Socket::shutdown() {
  if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

void Socket::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool socketAddress(const std::string& text, uint16_t port, sockaddr_storage* address,
                   socklen_t* length) {
  *address = {};
  auto* v4 = reinterpret_cast<sockaddr_in*>(address);
  if (::inet_pton(AF_INET, text.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = htons(port);
    *length = sizeof(sockaddr_in);
    return true;
  }
  auto* v6 = reinterpret_cast<sockaddr_in6*>(address);
  if (::inet_pton(AF_INET6, text.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(port);
    *length = sizeof(sockaddr_in6);
    return true;
  }
  return false;
}

SocketClient::SocketClient(const std::string& host, uint16_t port)
    : host_(host.substr(0, 29)), port_(port) {}

bool SocketClient::connect(int timeoutMs, std::string* error) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port_);
  if (::inet_pton(AF_INET, host_.c_str(), &address.sin_addr) != 1) {
    *error = "not a dotted IPv4 address: " + host_;
    return false;
  }
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    *error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  Socket socket(fd);
  int r = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  if (r != 0 && errno != EINPROGRESS) {
    *error = std::string("connect: ") + std::strerror(errno);
    return false;
  }
  if (r != 0) {
    if (waitReady(fd, POLLOUT, timeoutMs) != 1) {
      *error = "connect: timed out";
      return false;
    }
    int soError = 0;
    socklen_t len = sizeof soError;
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len);
    if (soError != 0) {
      *error = std::string("connect: ") + std::strerror(soError);
      return false;
    }
  }
  socket_ = std::move(socket);
  return true;
}

}  // namespace kestrel
