#include "modules/host/line_sender.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "modules/host/property_helpers.h"

namespace kestrel {
namespace {

bool isDottedIPv4(const JString& host) {
  in_addr address = {};
  return inet_pton(AF_INET, host.c_str(), &address) == 1;
}

}  // namespace

JLineSender::JLineSender() { igm = 1; }

JLineSender::JLineSender(const JLineSender& other)
    : JAddObj(other), Driven(), host_(other.host_), port_(other.port_) {}

JLineSender::~JLineSender() { disconnect(); }

void JLineSender::writeContent(JContent& out) const {
  JAddObj::writeContent(out);
  out.putObject("host", host_);
  out.putInteger("port", port_);
}

void JLineSender::readContent(const JContent& in) {
  JAddObj::readContent(in);
  if (const JString* host = in.getObject("host"); host && isDottedIPv4(*host)) host_ = *host;
  int port = in.getInteger("port", port_);
  if (port >= 1 && port <= 65535) port_ = port;
}

JArray JLineSender::getProperties() {
  JArray list;
  list.add<JStringProperty>(JString("host"), host_);
  list.add<JIntegerProperty>(JString("port"), port_, 1, 65535);
  return list;
}

bool JLineSender::updateProperty(const JProperty& p) {
  JString host;
  if (takeText(p, "host", host)) {
    if (!isDottedIPv4(host)) return false;
    host_ = host;
    disconnect();
    return true;
  }
  if (takeInteger(p, "port", 1, 65535, port_)) {
    disconnect();
    return true;
  }
  return false;
}

void JLineSender::draw(JGraphics& graphics, int x, int y, int w, int h) {
  drawText(graphics, JString(host_.str() + ":" + std::to_string(port_)), JRect(x, y, w, h));
}

void JLineSender::engine(int port, JLinkObj& link) {
  if (port != 0) return;
  JString text;
  JStringData data(text);
  link.access(data);
  std::string line = text.str();
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  line += '\n';
  if (backlog_.size() >= kBacklog) {
    backlog_.pop_front();
    ++dropped_;
  }
  backlog_.push_back(std::move(line));
  flush();
}

Driven::Clock::time_point JLineSender::wakeAt() const {
  if (backlog_.empty() || socket_ >= 0) return Clock::time_point::max();
  return lastAttempt_ + std::chrono::milliseconds(kRetryMs);
}

void JLineSender::wake(Clock::time_point, bool) { flush(); }

void JLineSender::close() {
  flush();
  if (!backlog_.empty()) {
    std::fprintf(stderr, "JLineSender: %zu lines for %s:%d were not sent\n", backlog_.size(),
                 host_.c_str(), port_);
  }
  backlog_.clear();
  disconnect();
}

void JLineSender::flush() {
  int failures = 0;
  while (!backlog_.empty()) {
    if (socket_ >= 0 && peerGone()) disconnect();
    if (socket_ < 0 && !connect()) return;
    if (!sendAll(backlog_.front())) {
      // The line stays first in the backlog; one fresh connection is tried
      // now, later ones at the next line or retry.
      disconnect();
      if (++failures > 1) return;
      continue;
    }
    backlog_.pop_front();
  }
}

bool JLineSender::connect() {
  lastAttempt_ = Clock::now();
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port_));
  inet_pton(AF_INET, host_.c_str(), &address.sin_addr);
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    timeval timeout = {2, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    socket_ = fd;
    if (outageReported_ || dropped_ > 0) {
      std::fprintf(stderr, "JLineSender: connected to %s:%d again", host_.c_str(), port_);
      if (dropped_ > 0) std::fprintf(stderr, "; %lld older lines were dropped", dropped_);
      std::fprintf(stderr, "\n");
    }
    outageReported_ = false;
    dropped_ = 0;
    return true;
  }
  const int problem = errno;
  if (fd >= 0) ::close(fd);
  if (!outageReported_) {
    std::fprintf(stderr, "JLineSender: cannot connect to %s:%d (%s); lines wait and retry\n",
                 host_.c_str(), port_, std::strerror(problem));
    outageReported_ = true;
  }
  return false;
}

bool JLineSender::peerGone() const {
  // The viewer never answers, so a readable socket means the peer closed it
  // (or sent something we have no use for, which is read and dropped).
  pollfd p{socket_, POLLIN, 0};
  if (poll(&p, 1, 0) <= 0) return false;
  if (p.revents & (POLLERR | POLLHUP)) return true;
  char scratch[256];
  ssize_t n = recv(socket_, scratch, sizeof scratch, MSG_DONTWAIT);
  return n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR);
}

bool JLineSender::sendAll(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = send(socket_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void JLineSender::disconnect() {
  if (socket_ >= 0) ::close(socket_);
  socket_ = -1;
}

}  // namespace kestrel
