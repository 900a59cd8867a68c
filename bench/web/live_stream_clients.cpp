// The live view's push streams under load: OBJECTS objects that each move
// RATE times a second (every object changes on every engine tick), read by
// 1, 10 and 50 stream clients (plain socket readers in a child process, so
// that their CPU is not the viewer's). For each client count: the bytes per
// second each client receives, the viewer's CPU (engine thread, live view
// and web threads; one core = 100%), and how the engine's ticks keep time
// (the live view's share of a tick, p50/p99, and ticks that overran).
//
// usage: live_stream_clients [--objects N] [--rate HZ] [--seconds S]
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "viewer/engine/engine.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/web/live/live_hub.h"
#include "viewer/web/web_server.h"

namespace {

using Clock = std::chrono::steady_clock;

int connectTo(uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// In a child: CLIENTS readers for SECONDS; writes the bytes each read to OUT.
void readers(uint16_t port, int clients, double seconds, int out) {
  std::vector<std::thread> threads;
  std::vector<uint64_t> bytes(static_cast<size_t>(clients));
  for (int i = 0; i < clients; ++i) {
    threads.emplace_back([&, i] {
      int fd = connectTo(port);
      const char* request = "GET /api/stream HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
      if (fd < 0 || ::send(fd, request, std::strlen(request), 0) < 0) return;
      timeval tv{0, 100000};
      ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
      std::vector<char> buffer(1 << 16);
      auto end = Clock::now() + std::chrono::duration<double>(seconds);
      while (Clock::now() < end) {
        ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n == 0) break;
        if (n > 0) bytes[static_cast<size_t>(i)] += static_cast<uint64_t>(n);
      }
      ::close(fd);
    });
  }
  for (auto& t : threads) t.join();
  uint64_t total = 0, least = ~uint64_t{0};
  for (uint64_t b : bytes) total += b, least = std::min(least, b);
  dprintf(out, "%llu %llu\n", static_cast<unsigned long long>(total),
          static_cast<unsigned long long>(least));
}

double cpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string objectBlock(int i) {
  std::string name = "o" + std::to_string(i);
  return "startdata " + name + "\nDEF Xform_" + name +
         " Transform { children [ Shape { appearance Appearance { material DEF Mat_" + name +
         " Material { diffuseColor 1 0 0 } } geometry Sphere { radius 0.1 } } ] }\nenddata";
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kestrel;
  int objects = 1000;
  double rate = 30, seconds = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string flag = argv[i];
    if (flag == "--objects") objects = std::atoi(argv[i + 1]);
    else if (flag == "--rate") rate = std::atof(argv[i + 1]);
    else if (flag == "--seconds") seconds = std::atof(argv[i + 1]);
  }
  char dir[] = "/tmp/kestrel-live-bench-XXXXXX";
  if (::mkdtemp(dir) == nullptr) return 1;
  openLogIn(dir);
  InternalCommandQueue primary, secondary;
  Engine engine(primary, secondary);
  auto run = [&](const std::string& text) {
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      primary.queue(text.substr(start, end - start).c_str());
      start = end + 1;
    }
    while (primary.waiting() > 0) engine.onTimer();
  };
  run("starttemplate transform\nTransform { children [ %s ] }\nendtemplate");
  for (int i = 0; i < objects; ++i) run(objectBlock(i));
  WebServer server;
  WebServerOptions options;
  options.root = dir;
  options.queue = &primary;
  options.bindAddress = "127.0.0.1";
  std::string error;
  if (!server.start(0, engine, options, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  server.runEngineTasks(engine);
  std::printf("%d objects, each moving %.0f times a second, %.0f s per run\n", objects, rate,
              seconds);
  std::printf("clients  bytes/s per client  viewer CPU  live share of a tick p50/p99  late ticks\n");
  auto period = std::chrono::duration<double>(1.0 / rate);
  int frame = 0;
  double cpuBase = 0;
  for (int clients : {0, 1, 10, 50}) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return 1;
    pid_t child = clients > 0 ? ::fork() : 0;
    if (clients > 0 && child == 0) {
      ::close(pipeFds[0]);
      readers(server.port(), clients, seconds, pipeFds[1]);
      ::_exit(0);
    }
    ::close(pipeFds[1]);
    if (clients > 0) {
      while (server.live()->streams() < clients) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::vector<double> tickMs;
    int late = 0;
    double cpu0 = cpuSeconds();
    auto start = Clock::now();
    auto next = start;
    while (Clock::now() - start < std::chrono::duration<double>(seconds * 0.9)) {
      ++frame;
      for (int i = 0; i < objects; ++i) {
        VisualObject* o = engine.registry().objectAt(i);
        float angle = static_cast<float>((frame + i) % 628) * 0.01f;
        o->translation.set(Vec3f{std::cos(angle) * 5, std::sin(angle) * 5, 0});
      }
      auto t0 = Clock::now();
      server.runEngineTasks(engine);
      tickMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
      next += std::chrono::duration_cast<Clock::duration>(period);
      if (Clock::now() > next) ++late;
      std::this_thread::sleep_until(next);
    }
    double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    double cpu = (cpuSeconds() - cpu0) / elapsed * 100;
    if (clients == 0) cpuBase = cpu;
    unsigned long long total = 0, least = 0;
    if (clients > 0) {
      FILE* in = ::fdopen(pipeFds[0], "r");
      if (std::fscanf(in, "%llu %llu", &total, &least) != 2) total = least = 0;
      std::fclose(in);
      ::waitpid(child, nullptr, 0);
      while (server.live()->streams() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } else {
      ::close(pipeFds[0]);
    }
    std::printf("%7d  %12.0f (min %.0f)  %5.1f%%      %.2f / %.2f ms                 %d of %zu\n",
                clients, clients > 0 ? static_cast<double>(total) / clients / seconds : 0.0,
                static_cast<double>(least) / seconds, cpu, percentile(tickMs, 0.5),
                percentile(tickMs, 0.99), late, tickMs.size());
  }
  std::printf("(viewer CPU with no client: %.1f%%)\n", cpuBase);
  server.stop();
  return 0;
}
