#include "viewer/intake/command_client.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

#include "viewer/intake/diagnostic_log.h"
#include "viewer/intake/http_guard.h"

namespace kestrel {

CommandClient::CommandClient(int fd, std::string peer)
    : fd_(fd), peer_(std::move(peer)), lastHeard_(Clock::now()) {}

CommandClient::~CommandClient() { close(); }

void CommandClient::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (state_ == State::kOpen) state_ = State::kClosed;
}

void CommandClient::refuse() {
  std::string message = "refused a command connection from " + peer_ + ": it speaks HTTP";
  logLine(message.c_str());
  errorLine(message.c_str());
  batch_.clear();
  state_ = State::kRefused;
  close();
}

bool CommandClient::takeLine(std::chrono::milliseconds idle) {
  std::string_view line = framer_.line();
  if (looksLikeHttp(line)) return false;
  if (line.empty()) {
    pausedUntil_ = Clock::now() + idle;
  } else {
    batch_.add(line);
  }
  return true;
}

void CommandClient::receive(char* buffer, size_t size, std::chrono::milliseconds idle) {
  ssize_t n;
  do {
    n = ::recv(fd_, buffer, size, MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
  if (n <= 0) {
    // The peer closed (or the connection broke): a started line still counts.
    if (n == 0) {
      // (A finished line stays in the framer until the next feed.)
      if (framer_.lineStarted() && !framer_.lineReady()) {
        framer_.endLine();
        if (!takeLine(idle)) return refuse();
      }
      errorLine("readline failed");
    }
    close();
    return;
  }
  lastHeard_ = Clock::now();
  size_t used = 0;
  while (used < static_cast<size_t>(n)) {
    used += framer_.feed(buffer + used, static_cast<size_t>(n) - used);
    if (framer_.lineReady() && !takeLine(idle)) return refuse();
  }
}

}  // namespace kestrel
