#include "viewer/web/web_event_loop.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "viewer/intake/diagnostic_log.h"
#include "viewer/web/http_request.h"
#include "viewer/web/live/api_routes.h"
#include "viewer/web/page_templates.h"
#include "viewer/web/web_connection.h"

namespace kestrel {

namespace {

constexpr int kSweepMs = 50;
constexpr int kStreamSocketBuffer = 256 << 10;  // how often deadlines are looked at
constexpr uint32_t kReadEvents = EPOLLIN | EPOLLRDHUP;
// How long a client that goes on sending after our last reply is read.
constexpr std::chrono::seconds kDrainTime{2};

void wakeUp(const Socket& eventFd) {
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(eventFd.fd(), &one, sizeof one);
}

}  // namespace

WebEventLoop::WebEventLoop(const WebContext& context, ConnectionLimits& limits,
                           WebTimeouts timeouts)
    : context_(context),
      limits_(limits),
      timeouts_(timeouts),
      epoll_(::epoll_create1(EPOLL_CLOEXEC)),
      wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.fd = wake_.fd();
  ::epoll_ctl(epoll_.fd(), EPOLL_CTL_ADD, wake_.fd(), &event);
}

void WebEventLoop::stop() {
  stopping_ = true;
  wakeUp(wake_);
}

void WebEventLoop::adopt(int fd, std::string peer) {
  {
    MutexLock lock(adoptedMutex_);
    adopted_.emplace_back(fd, std::move(peer));
  }
  wakeUp(wake_);
}

void WebEventLoop::run() {
  epoll_event events[64];
  Clock::time_point nextSweep = Clock::now();
  while (!stopping_) {
    int n = ::epoll_wait(epoll_.fd(), events, 64, kSweepMs);
    for (int i = 0; i < n && !stopping_; ++i) {
      int fd = events[i].data.fd;
      if (fd == wake_.fd()) {
        uint64_t count;
        [[maybe_unused]] ssize_t r = ::read(wake_.fd(), &count, sizeof count);
        takeAdopted();
        if (streamsDue_.exchange(false)) flushStreams();
      } else if (auto it = connections_.find(fd); it != connections_.end()) {
        Connection& c = *it->second;
        if (c.phase == Phase::kStreaming) streamEvent(c, events[i].events);
        else if (c.phase == Phase::kReading) readFrom(c);
        else if (c.phase == Phase::kWriting) writeTo(c);
        else drain(c);
      }
    }
    if (Clock::now() >= nextSweep) {
      sweep();
      nextSweep = Clock::now() + std::chrono::milliseconds(kSweepMs);
    }
  }
  takeAdopted();
  while (!connections_.empty()) close(*connections_.begin()->second);
}

void WebEventLoop::takeAdopted() {
  std::vector<std::pair<int, std::string>> adopted;
  {
    MutexLock lock(adoptedMutex_);
    adopted.swap(adopted_);
  }
  for (auto& [fd, peer] : adopted) {
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    auto c = std::make_unique<Connection>();
    c->socket = Socket(fd);
    c->peer = std::move(peer);
    c->lastActive = Clock::now();
    Connection& added = *connections_.emplace(fd, std::move(c)).first->second;
    watch(added, kReadEvents);
    // Whatever the client sent before the loop took it is read at the
    // next wait: the socket is readable then.
  }
}

void WebEventLoop::watch(Connection& c, uint32_t events) {
  if (c.watched == events) return;
  epoll_event event{};
  event.events = events;
  event.data.fd = c.socket.fd();
  int op = events == 0 ? EPOLL_CTL_DEL : (c.watched == 0 ? EPOLL_CTL_ADD : EPOLL_CTL_MOD);
  ::epoll_ctl(epoll_.fd(), op, c.socket.fd(), &event);
  c.watched = events;
}

void WebEventLoop::readFrom(Connection& c) {
  char chunk[kMaxRequestBytes + 1];
  while (c.in.size() < kMaxRequestBytes) {
    ssize_t n = ::recv(c.socket.fd(), chunk, kMaxRequestBytes - c.in.size(), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n <= 0) {
      c.inputEnded = true;
      break;
    }
    c.lastActive = Clock::now();
    if (!c.requestStarted) c.requestStarted = c.lastActive;
    chunk[n] = '\0';
    logTagged(c.in.empty() ? "Received: " : "Second recv result:", static_cast<long>(n), chunk);
    c.in.append(chunk, static_cast<size_t>(n));
  }
  if (frontRequest(c.in) != FrontRequest::kIncomplete) {
    answer(c);
  } else if (c.inputEnded) {
    if (awaitingBody(c.in)) logLine("doPost: its not done with header");
    close(c);
  }
}

void WebEventLoop::answer(Connection& c) {
  bool streaming = false;
  c.closing = !answerRequests(c.in, c.out, context_, &streaming) || c.inputEnded;
  if (streaming && !c.closing) {
    startStream(c);
    return;
  }
  c.phase = Phase::kWriting;
  c.lastActive = Clock::now();
  writeTo(c);
}

WebEventLoop::Sent WebEventLoop::sendOut(Connection& c) {
  while (c.sent < c.out.size()) {
    ssize_t n = ::send(c.socket.fd(), c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Sent::kBlocked;
    if (n <= 0) return Sent::kFailed;
    c.sent += static_cast<size_t>(n);
    c.lastActive = Clock::now();
  }
  return Sent::kAll;
}

void WebEventLoop::writeTo(Connection& c) {
  switch (sendOut(c)) {
    case Sent::kBlocked:
      watch(c, EPOLLOUT);  // requests behind this one wait until it is sent
      return;
    case Sent::kFailed:
      close(c);
      return;
    case Sent::kAll:
      break;
  }
  c.out.clear();
  c.sent = 0;
  if (c.closing) {
    finish(c);
    return;
  }
  // What is left of IN is the start of the next request.
  c.phase = Phase::kReading;
  if (c.in.empty()) {
    c.requestStarted.reset();
  } else {
    c.requestStarted = Clock::now();
  }
  watch(c, kReadEvents);
}

void WebEventLoop::startStream(Connection& c) {
  c.stream = context_.live->openStream([this] {
    streamsDue_ = true;
    wakeUp(wake_);
  });
  if (!c.stream) {
    PageReply full = jsonError(503, "too many live streams");
    c.out += replyHeader(full, true) + full.body;
    c.closing = true;
    c.phase = Phase::kWriting;
    writeTo(c);
    return;
  }
  logText("live stream opened for ", c.peer.c_str());
  // The kernel's share of what a stream may owe is bounded too.
  int sendBuffer = kStreamSocketBuffer;
  ::setsockopt(c.socket.fd(), SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
  c.out += streamHeader();
  c.in.clear();
  c.phase = Phase::kStreaming;
  limits_.release(c.peer);
  c.slotReleased = true;
  c.lastActive = Clock::now();
  flushStream(c);
}

void WebEventLoop::flushStreams() {
  std::vector<Connection*> streams;
  for (auto& [fd, c] : connections_) {
    if (c->phase == Phase::kStreaming) streams.push_back(c.get());
  }
  for (Connection* c : streams) flushStream(*c);
}

void WebEventLoop::flushStream(Connection& c) {
  bool cut = false;
  {
    MutexLock lock(c.stream->mutex);
    cut = c.stream->cut;
  }
  if (cut) {
    logText("live stream stalled, cut: ", c.peer.c_str());
    close(c);
    return;
  }
  for (;;) {
    if (c.sent == c.out.size()) {
      c.out.clear();
      c.sent = 0;
      c.lastActive = Clock::now();  // nothing owed: not stalled
      {
        MutexLock lock(c.stream->mutex);
        c.out.swap(c.stream->pending);
        c.stream->resyncQueued = false;
      }
      if (c.out.empty()) {
        watch(c, kReadEvents);
        return;
      }
    }
    Sent sent = sendOut(c);
    if (sent == Sent::kBlocked) {
      watch(c, kReadEvents | EPOLLOUT);
      return;
    }
    if (sent == Sent::kFailed) {
      close(c);
      return;
    }
  }
}

void WebEventLoop::streamEvent(Connection& c, uint32_t events) {
  if ((events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) != 0 && !dropInput(c)) {
    close(c);  // the client went away
    return;
  }
  if ((events & EPOLLOUT) != 0) flushStream(c);
}

void WebEventLoop::finish(Connection& c) {
  if (c.inputEnded) {
    close(c);
    return;
  }
  ::shutdown(c.socket.fd(), SHUT_WR);
  c.phase = Phase::kDraining;
  c.lastActive = Clock::now();
  watch(c, kReadEvents);
}

void WebEventLoop::drain(Connection& c) {
  if (!dropInput(c)) close(c);
}

bool WebEventLoop::dropInput(Connection& c) {
  char scratch[4096];
  for (;;) {
    ssize_t n = ::recv(c.socket.fd(), scratch, sizeof scratch, 0);
    if (n > 0) continue;
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
}

void WebEventLoop::sweep() {
  Clock::time_point now = Clock::now();
  auto idle = std::chrono::milliseconds(timeouts_.idleMs);
  auto deadline = std::min(std::chrono::milliseconds(timeouts_.deadlineMs), idle * 3);
  std::vector<std::pair<Connection*, bool>> late;  // and whether its request is overdue
  for (auto& [fd, c] : connections_) {
    bool overdue = c->phase == Phase::kReading && c->requestStarted &&
                   now - *c->requestStarted >= deadline;
    bool drained = c->phase == Phase::kDraining && now - c->lastActive >= kDrainTime;
    // A stream is late only when it owes bytes it could not send.
    bool silent = now - c->lastActive >= idle &&
                  (c->phase != Phase::kStreaming || c->sent < c->out.size());
    if (overdue || drained || silent) late.emplace_back(c.get(), overdue);
  }
  for (auto [c, overdue] : late) timeOut(*c, overdue);
}

void WebEventLoop::timeOut(Connection& c, bool overdue) {
  if (c.phase == Phase::kReading && awaitingBody(c.in)) {
    logLine("doPost: its not done with header");
    std::string reply = timeoutReply();  // one try: the connection ends either way
    [[maybe_unused]] ssize_t n = ::send(c.socket.fd(), reply.data(), reply.size(), MSG_NOSIGNAL);
  } else if (c.phase == Phase::kReading) {
    logLine(overdue ? "request header not whole in time, closed" : "connection idle, closed");
  } else if (c.phase == Phase::kStreaming) {
    logText("live stream could not send, closed: ", c.peer.c_str());
  }
  close(c);
}

void WebEventLoop::close(Connection& c) {
  int fd = c.socket.fd();
  watch(c, 0);
  c.socket.shutdown();
  if (c.stream) context_.live->closeStream(c.stream);
  if (!c.slotReleased) limits_.release(c.peer);
  connections_.erase(fd);  // closes the socket; C is gone
}

}  // namespace kestrel
