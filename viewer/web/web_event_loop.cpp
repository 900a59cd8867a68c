#include "viewer/web/web_event_loop.h"

#include <arpa/inet.h>
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
#include "viewer/web/web_connection.h"

namespace kestrel {

namespace {

constexpr int kSweepMs = 50;  // how often deadlines are looked at
constexpr uint32_t kReadEvents = EPOLLIN | EPOLLRDHUP;

std::string numericPeer(const sockaddr_storage& address) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address.ss_family == AF_INET) {
    ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text, sizeof text);
  } else if (address.ss_family == AF_INET6) {
    ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, text,
                sizeof text);
  }
  return text;
}

bool outOfDescriptors(int error) {
  return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

}  // namespace

WebEventLoop::WebEventLoop(Socket listener, const WebServerOptions& options,
                           const WebContext& context)
    : options_(options),
      context_(context),
      listener_(std::move(listener)),
      epoll_(::epoll_create1(EPOLL_CLOEXEC)),
      wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      workers_(std::max(1, options.workers)) {
  options_.maxConnections = std::max(1, options_.maxConnections);
  options_.maxPerAddress = std::max(1, options_.maxPerAddress);
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.fd = wake_.fd();
  ::epoll_ctl(epoll_.fd(), EPOLL_CTL_ADD, wake_.fd(), &event);
  resumeListener();
}

WebEventLoop::~WebEventLoop() { workers_.stop(); }

void WebEventLoop::stop() {
  stopping_ = true;
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_.fd(), &one, sizeof one);
}

void WebEventLoop::run() {
  epoll_event events[64];
  Clock::time_point nextSweep = Clock::now();
  while (!stopping_) {
    int n = ::epoll_wait(epoll_.fd(), events, 64, kSweepMs);
    for (int i = 0; i < n && !stopping_; ++i) {
      int fd = events[i].data.fd;
      if (fd == listener_.fd()) {
        acceptAll();
      } else if (fd == wake_.fd()) {
        uint64_t count;
        [[maybe_unused]] ssize_t r = ::read(wake_.fd(), &count, sizeof count);
      } else if (auto it = connections_.find(fd); it != connections_.end()) {
        Connection& c = *it->second;
        if (c.phase == Phase::kReading) readFrom(c);
        else if (c.phase == Phase::kWriting) writeTo(c);
      }
    }
    takeAnswered();
    if (Clock::now() >= nextSweep) {
      sweep();
      nextSweep = Clock::now() + std::chrono::milliseconds(kSweepMs);
    }
  }
  // Workers may still hold connections: they end before any is closed.
  workers_.stop();
  for (auto& [fd, c] : connections_) c->socket.shutdown();
  connections_.clear();
  perAddress_.clear();
  count_ = 0;
}

void WebEventLoop::watch(int fd, uint32_t* watched, uint32_t events) {
  if (*watched == events) return;
  epoll_event event{};
  event.events = events;
  event.data.fd = fd;
  int op = events == 0 ? EPOLL_CTL_DEL : (*watched == 0 ? EPOLL_CTL_ADD : EPOLL_CTL_MOD);
  ::epoll_ctl(epoll_.fd(), op, fd, &event);
  *watched = events;
}

// A full server leaves further connections in the listen backlog.
void WebEventLoop::pauseListener() { watch(listener_.fd(), &listenerWatched_, 0); }

void WebEventLoop::resumeListener() {
  if (count_ < options_.maxConnections && !listenerRetry_) {
    watch(listener_.fd(), &listenerWatched_, EPOLLIN);
  }
}

void WebEventLoop::acceptAll() {
  while (count_ < options_.maxConnections) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    int fd = ::accept4(listener_.fd(), reinterpret_cast<sockaddr*>(&peer), &length,
                       SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return;
      errorLine("accept error");
      if (outOfDescriptors(errno)) {
        // Give connections time to end before accepting again.
        listenerRetry_ = Clock::now() + std::chrono::milliseconds(100);
        pauseListener();
      }
      return;
    }
    std::printf("accept connection, listenfd is %d\n", listener_.fd());
    admit(fd, numericPeer(peer));
  }
  pauseListener();
}

void WebEventLoop::admit(int fd, const std::string& peer) {
  int& fromPeer = perAddress_[peer];
  if (fromPeer >= options_.maxPerAddress) {
    Socket(fd).close();
    // One peer's flood must not flood the log as well.
    Clock::time_point now = Clock::now();
    if (now - lastRefusalLog_ >= std::chrono::seconds(1)) {
      logText("too many web connections from one address, closed: ", peer.c_str());
      lastRefusalLog_ = now;
    }
    return;
  }
  int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  auto c = std::make_unique<Connection>();
  c->socket = Socket(fd);
  c->peer = peer;
  c->lastActive = Clock::now();
  watch(fd, &c->watched, kReadEvents);
  connections_.emplace(fd, std::move(c));
  ++fromPeer;
  ++count_;
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
    dispatch(c);
  } else if (c.inputEnded) {
    if (awaitingBody(c.in)) logLine("doPost: its not done with header");
    close(c);
  }
}

void WebEventLoop::dispatch(Connection& c) {
  watch(c.socket.fd(), &c.watched, 0);  // not read while a worker answers
  c.phase = Phase::kWorking;
  Connection* answering = &c;
  workers_.post([this, answering] {
    answering->closing = !answerRequests(answering->in, answering->out, context_);
    {
      std::lock_guard lock(answeredMutex_);
      answered_.push_back(answering);
    }
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_.fd(), &one, sizeof one);
  });
}

void WebEventLoop::takeAnswered() {
  std::vector<Connection*> answered;
  {
    std::lock_guard lock(answeredMutex_);
    answered.swap(answered_);
  }
  for (Connection* c : answered) {
    c->phase = Phase::kWriting;
    c->closing = c->closing || c->inputEnded;
    c->lastActive = Clock::now();
    writeTo(*c);
  }
}

void WebEventLoop::writeTo(Connection& c) {
  while (c.sent < c.out.size()) {
    ssize_t n = ::send(c.socket.fd(), c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      watch(c.socket.fd(), &c.watched, EPOLLOUT);
      return;
    }
    if (n <= 0) {
      close(c);
      return;
    }
    c.sent += static_cast<size_t>(n);
    c.lastActive = Clock::now();
  }
  c.out.clear();
  c.sent = 0;
  if (c.closing) {
    close(c);
    return;
  }
  // What is left of IN is the start of the next request.
  c.phase = Phase::kReading;
  if (c.in.empty()) {
    c.requestStarted.reset();
  } else {
    c.requestStarted = Clock::now();
  }
  watch(c.socket.fd(), &c.watched, kReadEvents);
}

void WebEventLoop::sweep() {
  Clock::time_point now = Clock::now();
  if (listenerRetry_ && now >= *listenerRetry_) {
    listenerRetry_.reset();
    resumeListener();
  }
  auto idle = std::chrono::milliseconds(options_.idleTimeoutMs);
  auto deadline = std::min(std::chrono::milliseconds(options_.requestDeadlineMs), idle * 3);
  std::vector<Connection*> late;
  for (auto& [fd, c] : connections_) {
    bool silent = now - c->lastActive >= idle;
    if (c->phase == Phase::kReading &&
        (silent || (c->requestStarted && now - *c->requestStarted >= deadline))) {
      late.push_back(c.get());
    } else if (c->phase == Phase::kWriting && silent) {
      late.push_back(c.get());
    }
  }
  for (Connection* c : late) timeOut(*c);
}

void WebEventLoop::timeOut(Connection& c) {
  if (c.phase == Phase::kReading && awaitingBody(c.in)) {
    logLine("doPost: its not done with header");
    std::string reply = timeoutReply();  // one try: the connection ends either way
    [[maybe_unused]] ssize_t n = ::send(c.socket.fd(), reply.data(), reply.size(), MSG_NOSIGNAL);
  } else if (c.phase == Phase::kReading) {
    logLine("connection idle, closed");
  }
  close(c);
}

void WebEventLoop::close(Connection& c) {
  int fd = c.socket.fd();
  watch(fd, &c.watched, 0);
  c.socket.shutdown();
  auto peer = perAddress_.find(c.peer);
  if (peer != perAddress_.end() && --peer->second == 0) perAddress_.erase(peer);
  connections_.erase(fd);  // closes the socket; C is gone
  --count_;
  resumeListener();
}

}  // namespace kestrel
