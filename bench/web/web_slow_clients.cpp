// How long a normal GET of the control page takes while many slow clients
// hold connections to the web port: SLOW connections each send one header
// byte every TRICKLE_MS, and meanwhile one GET per 100 ms is timed on a new
// connection, for SECONDS. Everything on 127.0.0.1.
//
// usage: web_slow_clients [--port PORT] [--slow N] [--trickle-ms MS] [--seconds S]
// Without --port the web server runs in this process on a page directory of
// its own; with it, a running viewer on that port is measured.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "viewer/engine/engine.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/web/web_server.h"

namespace {

using Clock = std::chrono::steady_clock;

// A connected socket to 127.0.0.1:PORT, or -1 when the connection is
// refused or not made within TIMEOUT_MS (a full listen backlog).
int connectTo(uint16_t port, int timeoutMs) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int r = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  pollfd p{fd, POLLOUT, 0};
  int error = 0;
  socklen_t length = sizeof error;
  if ((r != 0 && errno != EINPROGRESS) || (r != 0 && ::poll(&p, 1, timeoutMs) != 1) ||
      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, 0);
  return fd;
}

// Milliseconds until a whole reply to GET / arrived, or -1 when none came
// within TIMEOUT_MS.
double timedGet(uint16_t port, int timeoutMs) {
  Clock::time_point start = Clock::now();
  int fd = connectTo(port, timeoutMs);
  if (fd < 0) return -1;
  const char request[] = "GET / HTTP/1.1\r\nHost: localhost\r\n\r\n";
  ::send(fd, request, sizeof request - 1, MSG_NOSIGNAL);
  std::string reply;
  char buffer[65536];
  auto deadline = start + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) != 1) break;
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    reply.append(buffer, static_cast<size_t>(n));
    size_t end = reply.find("\r\n\r\n");
    size_t at = reply.find("Content-Length: ");
    if (end != std::string::npos && at != std::string::npos &&
        reply.size() >= end + 4 + std::stoul(reply.substr(at + 16))) {
      ::close(fd);
      return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
  }
  ::close(fd);
  return -1;
}

// A connection that sends one more byte of a never-ending header at each
// trickle(), and connects again when the server has closed it: the slow
// clients stay at their number all the time.
class SlowClient {
 public:
  SlowClient() = default;
  ~SlowClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  SlowClient(SlowClient&& other) noexcept : fd_(other.fd_), sent_(other.sent_) { other.fd_ = -1; }
  SlowClient(const SlowClient&) = delete;
  SlowClient& operator=(const SlowClient&) = delete;

  void trickle(uint16_t port, const std::string& header, int* reconnects) {
    if (fd_ >= 0 && closedByPeer()) {
      ::close(fd_);
      fd_ = -1;
    }
    if (fd_ < 0) {
      fd_ = connectTo(port, 200);
      sent_ = 0;
      ++*reconnects;
    }
    if (fd_ >= 0) ::send(fd_, &header[sent_++ % header.size()], 1, MSG_NOSIGNAL | MSG_DONTWAIT);
  }

 private:
  bool closedByPeer() const {
    pollfd p{fd_, POLLIN | POLLRDHUP, 0};
    return ::poll(&p, 1, 0) == 1;  // a slow client never gets a reply: readable is closed
  }
  int fd_ = -1;
  size_t sent_ = 0;
};

struct Args {
  int port = 0;
  int slow = 200;
  int trickleMs = 5000;
  int seconds = 12;
};

Args parse(int argc, char** argv) {
  Args args;
  for (int i = 1; i + 1 < argc; i += 2) {
    int value = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--port")) args.port = value;
    else if (!std::strcmp(argv[i], "--slow")) args.slow = std::clamp(value, 0, 2000);
    else if (!std::strcmp(argv[i], "--trickle-ms")) args.trickleMs = std::max(10, value);
    else if (!std::strcmp(argv[i], "--seconds")) args.seconds = std::clamp(value, 1, 600);
  }
  return args;
}

void report(std::vector<double> times, int failed) {
  std::sort(times.begin(), times.end());
  auto at = [&](double q) {
    if (times.empty()) return 0.0;
    return times[static_cast<size_t>(q * static_cast<double>(times.size() - 1))];
  };
  long over = std::count_if(times.begin(), times.end(), [](double ms) { return ms > 1000; });
  std::printf("GETs answered %zu (%ld after more than 1 s), unanswered within 10 s %d\n",
              times.size(), over, failed);
  std::printf("latency ms: min %.2f median %.2f p99 %.2f max %.2f\n", at(0), at(0.5), at(0.99),
              at(1));
}

}  // namespace

int main(int argc, char** argv) {
  Args args = parse(argc, argv);
  std::string dir = std::filesystem::temp_directory_path() / ("web_slow_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  kestrel::openLogIn(dir);
  std::ofstream(dir + "/kestrel.html") << "<html><body>control page <<<viz>>></body></html>";
  kestrel::InternalCommandQueue primary, secondary;
  kestrel::Engine engine(primary, secondary);
  kestrel::WebServer server;
  uint16_t port = static_cast<uint16_t>(args.port);
  if (port == 0) {
    kestrel::WebServerOptions options;
    options.root = dir;
    options.queue = &primary;
    options.bindAddress = "127.0.0.1";
    std::string error;
    if (!server.start(0, engine, options, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    port = server.port();
  }
  std::vector<SlowClient> slow(static_cast<size_t>(args.slow));
  int reconnects = -args.slow;  // the first connects are no reconnects
  std::printf("%d slow connections, one header byte each %d ms, for %d s\n", args.slow,
              args.trickleMs, args.seconds);
  const std::string header = "GET / HTTP/1.1\r\nX-Slow: " + std::string(4000, 'x');
  std::vector<double> times;
  int failed = 0;
  Clock::time_point end = Clock::now() + std::chrono::seconds(args.seconds);
  Clock::time_point nextTrickle = Clock::now();
  while (Clock::now() < end) {
    if (Clock::now() >= nextTrickle) {
      for (SlowClient& client : slow) client.trickle(port, header, &reconnects);
      nextTrickle += std::chrono::milliseconds(args.trickleMs);
    }
    double ms = timedGet(port, 10000);
    if (ms < 0) ++failed; else times.push_back(ms);
    ::poll(nullptr, 0, 100);
  }
  slow.clear();
  report(times, failed);
  std::printf("slow connections closed by the server and opened again: %d\n", reconnects);
  server.stop();
  std::filesystem::remove_all(dir);
  return 0;
}
