#include "viewer/intake/command_port.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

// Failures of accept that say nothing about the listening socket itself:
// the pending connection went away, or the process ran short of resources
// for a moment. They are retried instead of ending the viewer.
bool transientAcceptError(int error) {
  switch (error) {
    case EINTR: case EAGAIN: case ECONNABORTED: case EPROTO: case ENETDOWN: case ENOPROTOOPT:
    case EHOSTDOWN: case ENONET: case EHOSTUNREACH: case EOPNOTSUPP: case ENETUNREACH:
    case EMFILE: case ENFILE: case ENOBUFS: case ENOMEM:
      return true;
    default:
      return false;
  }
}

bool resourceShortage(int error) {
  return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

}  // namespace

CommandPortServer::~CommandPortServer() {
  closeConnection();
  if (listenFd_ >= 0) ::close(listenFd_);
}

bool CommandPortServer::open(uint16_t port, std::string* error) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) {
    *error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  int on = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(port);
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, 5) != 0) {
    *error = std::strerror(errno);
    ::close(listenFd_);
    listenFd_ = -1;
    return false;
  }
  socklen_t length = sizeof address;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  return true;
}

void CommandPortServer::stop() {
  stopping_.store(true, std::memory_order_release);
  // Shutting the sockets down wakes a thread blocked in accept or recv.
  if (listenFd_ >= 0) ::shutdown(listenFd_, SHUT_RDWR);
  std::lock_guard lock(fdMutex_);
  int fd = connectionFd_.load();
  if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

void CommandPortServer::closeConnection() {
  std::lock_guard lock(fdMutex_);
  int fd = connectionFd_.exchange(-1);
  if (fd >= 0) ::close(fd);
  fill_ = readPos_ = lastLineEnd_ = 0;
}

bool CommandPortServer::acceptClient() {
  while (!stopping()) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (fd >= 0) {
      std::lock_guard lock(fdMutex_);
      connectionFd_.store(fd);
      // A stop() that raced with accept must still wake the next recv.
      if (stopping()) ::shutdown(fd, SHUT_RDWR);
      return true;
    }
    int error = errno;
    if (stopping()) return false;
    if (!transientAcceptError(error)) {
      errorLine("accept error");
      return false;
    }
    if (resourceShortage(error)) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

long CommandPortServer::receive() {
  for (;;) {
    ssize_t n = ::recv(connectionFd_.load(), receiveBuffer_, kReceiveSize, 0);
    if (n >= 0 || errno != EINTR) return static_cast<long>(n);
  }
}

bool CommandPortServer::lineBuffered() const {
  size_t left = fill_ - readPos_;
  if (connectionFd_.load() < 0 || left == 0) return false;
  return left >= LineFramer::kMaxLine || lastLineEnd_ > readPos_;
}

CommandPortServer::Status CommandPortServer::readLine() {
  if (connectionFd_.load() < 0 && !acceptClient()) {
    return stopping() ? Status::kStopped : Status::kFatal;
  }
  framer_.discard();
  for (;;) {
    if (readPos_ == fill_) {
      long n = receive();
      if (stopping()) return Status::kStopped;
      if (n == 0) {
        if (framer_.lineStarted()) {
          framer_.endLine();
          return Status::kLine;
        }
        errorLine("readline failed");
        closeConnection();
        framer_.discard();
        return Status::kLine;
      }
      if (n < 0) {
        // A failed receive leaves a broken connection: drop it, so that the
        // next call serves the next client instead of failing for ever.
        closeConnection();
        framer_.discard();
        return Status::kLine;
      }
      fill_ = static_cast<size_t>(n);
      readPos_ = 0;
      const void* last = ::memrchr(receiveBuffer_, '\n', fill_);
      lastLineEnd_ = last ? static_cast<size_t>(static_cast<const char*>(last) - receiveBuffer_) + 1 : 0;
    }
    readPos_ += framer_.feed(receiveBuffer_ + readPos_, fill_ - readPos_);
    if (framer_.lineReady()) return Status::kLine;
  }
}

}  // namespace kestrel
