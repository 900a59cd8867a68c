// TCP ingest end to end: a client sends 2 million command lines over
// 127.0.0.1 to a command port while the engine loop ticks every millisecond
// in fast mode and drains the queue. In the same run the same bytes go into
// a plain loopback socket whose reader only counts newlines: the ceiling of
// this machine. Lines dropped because the queue was full are counted.
//
//   bench_intake_tcp [LINES]
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "bench/intake/command_mix.h"
#include "viewer/engine/engine_loop.h"
#include "viewer/intake/command_port_thread.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"

namespace {

using Clock = std::chrono::steady_clock;

int connectTo(uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) std::exit(1);
  return fd;
}

void sendAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, 0);
    if (n <= 0) std::exit(1);
    done += static_cast<size_t>(n);
  }
}

// The command lines, one block of bytes, with "fast" first.
std::string streamOf(size_t lines) {
  std::string bytes = "fast\n";
  for (const std::string& line : kestrel::bench::commandMix(lines - 1)) {
    bytes += line;
    bytes += '\n';
  }
  return bytes;
}

// Counts newlines of one client on a plain listening socket.
double ceilingSeconds(const std::string& bytes, size_t* counted) {
  int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(listener, 1);
  socklen_t length = sizeof address;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  auto start = Clock::now();
  std::thread sender([&] {
    int fd = connectTo(ntohs(address.sin_port));
    sendAll(fd, bytes);
    ::close(fd);
  });
  int client = ::accept(listener, nullptr, nullptr);
  char buffer[5000];
  ssize_t n;
  size_t lines = 0;
  while ((n = ::recv(client, buffer, sizeof buffer, 0)) > 0) {
    for (ssize_t i = 0; i < n; ++i) lines += buffer[i] == '\n';
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  sender.join();
  ::close(client);
  ::close(listener);
  *counted = lines;
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  size_t lines = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 2000000;
  kestrel::openLogIn("/tmp");
  std::string bytes = streamOf(lines);

  kestrel::InternalCommandQueue primary, secondary;
  kestrel::CommandPortConfig config;
  config.queue = &primary;
  config.idleSleep = std::chrono::milliseconds(100);
  kestrel::CommandPortThread port(config);
  std::string error;
  if (!port.open(&error)) {
    std::fprintf(stderr, "cannot listen: %s\n", error.c_str());
    return 1;
  }
  port.start();
  kestrel::EngineLoop engine(primary, secondary);

  auto start = Clock::now();
  std::thread sender([&] {
    int fd = connectTo(port.port());
    sendAll(fd, bytes);
    ::close(fd);
  });
  // The headless tick loop, one tick per millisecond, until every line has
  // been framed, parsed and taken.
  auto next = Clock::now();
  while (primary.linesQueued() < lines || primary.waiting() > 0) {
    engine.onTimer();
    next += std::chrono::milliseconds(1);
    std::this_thread::sleep_until(next);
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  sender.join();
  port.stop();

  size_t counted = 0;
  double ceiling = ceilingSeconds(bytes, &counted);
  double rate = static_cast<double>(lines) / seconds;
  double ceilingRate = static_cast<double>(counted) / ceiling;
  std::printf("lines sent          %zu (%.1f MB)\n", lines, static_cast<double>(bytes.size()) / 1e6);
  std::printf("kestrel ingest      %.0f lines/s (%.3f s)\n", rate, seconds);
  std::printf("newline ceiling     %.0f lines/s (%.3f s)\n", ceilingRate, ceiling);
  std::printf("ratio               %.1f %% of the ceiling\n", 100.0 * rate / ceilingRate);
  std::printf("dropped (queue full) %llu\n", static_cast<unsigned long long>(primary.dropped()));
  std::printf("entries executed    %llu\n", static_cast<unsigned long long>(engine.executed()));
  return 0;
}
