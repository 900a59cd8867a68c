// The scene engine's speed:
//   1. slow mode: commands executed per second at one entry per 1 ms tick,
//      with the tick interval's p50 and p99;
//   2. fast mode: setobject/setproperty/setvalue triples over 1000 objects;
//   3. latency: a setvalue line written to the primary port of an idle
//      viewer until the field holds the value, p50 and p99;
//   4. creating 1000 objects from data blocks through the transform
//      template, time per object.
//
//   bench_engine [LATENCY_LINES]
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "viewer/engine/engine.h"
#include "viewer/intake/command_port_thread.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"
#include "bench/engine/engine_bench_support.h"

namespace {

using Clock = std::chrono::steady_clock;
using kestrel::Engine;
using kestrel::InternalCommandQueue;
using kestrel::bench::drain;
using kestrel::bench::makeObjects;
using kestrel::bench::queueText;

double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(p * static_cast<double>(values.size() - 1))];
}

void slowMode() {
  InternalCommandQueue primary, secondary;
  Engine engine(primary, secondary);
  makeObjects(engine, primary, 1);
  queueText(primary, "slow");
  drain(engine, primary);
  for (int i = 0; i < 2500; ++i) primary.queue(i % 2 ? "left" : "right");
  std::vector<double> intervals;
  auto start = Clock::now(), last = start, next = start;
  uint64_t before = engine.executed();
  while (primary.waiting() > 0) {
    engine.onTimer();
    auto now = Clock::now();
    intervals.push_back(micros(now - last));
    last = now;
    next += std::chrono::milliseconds(1);
    if (next < now) next = now;
    std::this_thread::sleep_until(next);
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("slow mode           %.0f commands/s (tick p50 %.0f us, p99 %.0f us)\n",
              static_cast<double>(engine.executed() - before) / seconds,
              percentile(intervals, 0.5), percentile(intervals, 0.99));
}

void fastMode() {
  InternalCommandQueue primary, secondary;
  Engine engine(primary, secondary);
  makeObjects(engine, primary, 1000);
  std::vector<std::string> lines;
  // 9000 triples fit the queue's 29999 entries.
  for (int i = 0; i < 9000; ++i) {
    lines.push_back("setobject obj" + std::to_string((i * 7919) % 1000));
    lines.push_back(i % 2 ? "setproperty transparency" : "setproperty x");
    lines.push_back("setvalue " + std::to_string((i * 37) % 65536));
  }
  double best = 0;
  for (int round = 0; round < 5; ++round) {
    for (const std::string& line : lines) primary.queue(line.c_str());
    auto start = Clock::now();
    uint64_t before = engine.executed();
    drain(engine, primary);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (primary.dropped() > 0) std::printf("(lines dropped: %llu)\n",
                                          static_cast<unsigned long long>(primary.dropped()));
    best = std::max(best, static_cast<double>(engine.executed() - before) / seconds);
  }
  std::printf("fast mode           %.0f commands/s (triples over 1000 objects, best of 5)\n", best);
}

void latency(int count) {
  InternalCommandQueue primary, secondary;
  Engine engine(primary, secondary);
  makeObjects(engine, primary, 1);
  queueText(primary, "slow\nsetobject obj0\nsetproperty transparency");
  drain(engine, primary);
  kestrel::CommandPortConfig config;
  config.queue = &primary;
  config.idleSleep = std::chrono::milliseconds(100);
  kestrel::CommandPortThread port(config);
  std::string error;
  if (!port.open(&error)) return;
  port.start();

  std::atomic<int> seen{-1};
  std::atomic<bool> done{false};
  std::vector<double> latencies;
  std::thread client([&] {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port.port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) std::exit(1);
    for (int i = 0; i < count; ++i) {
      int value = (i % 100) * 655;  // transparency i % 100 percent
      std::string line = "setvalue " + std::to_string(value) + "\n";
      // Wait a little between lines, as an idle viewer would see them.
      std::this_thread::sleep_for(std::chrono::microseconds(300 + (i * 97) % 700));
      auto sent = Clock::now();
      ::send(fd, line.data(), line.size(), 0);
      while (seen.load() != i % 100) std::this_thread::yield();
      latencies.push_back(micros(Clock::now() - sent));
      seen.store(-1);
    }
    ::close(fd);
    done.store(true);
  });
  kestrel::VisualObject* object = engine.registry().objectAt(0);
  auto next = Clock::now();
  int last = -2;
  while (!done.load()) {
    engine.onTimer();
    float t = 0;
    object->transparency.get(t);
    int percent = static_cast<int>(t * 100 + 0.5f);
    if (percent != last || seen.load() == -1) {
      if (percent != last) seen.store(percent);
      last = percent;
    }
    next += std::chrono::milliseconds(1);
    auto now = Clock::now();
    if (next < now) next = now;
    std::this_thread::sleep_until(next);
  }
  client.join();
  port.stop();
  std::printf("latency             p50 %.0f us, p99 %.0f us over %d lines\n",
              percentile(latencies, 0.5), percentile(latencies, 0.99), count);
}

}  // namespace

int main(int argc, char** argv) {
  kestrel::openLogIn("/tmp");
  int latencyLines = argc > 1 ? std::atoi(argv[1]) : 10000;
  {
    InternalCommandQueue primary, secondary;
    Engine engine(primary, secondary);
    double perObject = makeObjects(engine, primary, 1000);
    std::printf("object creation     %.1f us per object (1000 data blocks, transform template)\n",
                perObject * 1e6);
  }
  fastMode();
  slowMode();
  latency(latencyLines);
  return 0;
}
