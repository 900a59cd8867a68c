// What the journal costs the engine: fast-mode commands per second without
// and with a journal attached, in the same run, rounds alternating so that
// both see the same machine state. Two mixes: setobject/setproperty/setvalue
// triples over 1000 objects (the usual traffic), and bare movement commands
// (the cheapest commands, where the journal's share is largest). Then the
// time a replay takes to seek to the end of an hour's journal.
//
//   bench_journal [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "viewer/engine/engine.h"
#include "viewer/engine/journal.h"
#include "viewer/engine/journal_replay.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"
#include "bench/engine/engine_bench_support.h"

namespace {

using Clock = std::chrono::steady_clock;
using kestrel::Engine;
using kestrel::InternalCommandQueue;
using kestrel::Journal;
using kestrel::bench::drain;
using kestrel::bench::makeObjects;

std::vector<std::string> triples() {
  std::vector<std::string> lines;
  for (int i = 0; i < 9000; ++i) {
    lines.push_back("setobject obj" + std::to_string((i * 7919) % 1000));
    lines.push_back(i % 2 ? "setproperty transparency" : "setproperty x");
    lines.push_back("setvalue " + std::to_string((i * 37) % 65536));
  }
  return lines;
}

std::vector<std::string> movements() {
  std::vector<std::string> lines = {"setobject obj0"};
  for (int i = 0; i < 27000; ++i) lines.push_back(i % 2 ? "left" : "right");
  return lines;
}

double threadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Commands per second of wall time and of the engine thread's own CPU time
// (the writer thread runs beside it; on a busy machine it takes a share of
// the engine's core, which the wall figure shows and the CPU figure not).
struct Rates {
  double wall = 0;
  double cpu = 0;
};

Rates commandsPerSecond(Engine& engine, InternalCommandQueue& q,
                        const std::vector<std::string>& lines) {
  for (const std::string& line : lines) q.queue(line.c_str());
  uint64_t before = engine.executed();
  auto start = Clock::now();
  double cpuStart = threadSeconds();
  drain(engine, q);
  double cpu = threadSeconds() - cpuStart;
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  double n = static_cast<double>(engine.executed() - before);
  return {n / seconds, n / cpu};
}

Rates best(Rates a, Rates b) { return {std::max(a.wall, b.wall), std::max(a.cpu, b.cpu)}; }

void compare(const char* label, const std::vector<std::string>& lines, int rounds,
             const std::string& journalPath) {
  InternalCommandQueue primary, secondary;
  Engine engine(primary, secondary);
  makeObjects(engine, primary, 1000);
  std::string error;
  std::unique_ptr<Journal> journal = Journal::open(journalPath, &error);
  if (!journal) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::exit(1);
  }
  Rates without, with;
  for (int round = 0; round < rounds; ++round) {
    engine.setJournal(nullptr);
    without = best(without, commandsPerSecond(engine, primary, lines));
    engine.setJournal(journal.get());
    with = best(with, commandsPerSecond(engine, primary, lines));
    journal->flush();
  }
  engine.setJournal(nullptr);
  std::printf("%-10s wall:       without journal %9.0f commands/s, with %9.0f: %+.1f%%%s\n",
              label, without.wall, with.wall, (with.wall / without.wall - 1) * 100,
              journal->running() ? "" : " (journal stopped)");
  std::printf("%-10s engine CPU: without journal %9.0f commands/s, with %9.0f: %+.1f%%\n",
              label, without.cpu, with.cpu, (with.cpu / without.cpu - 1) * 100);
}

// Seeking to the end of an hour recorded at 1000 commands a second: a
// replay of 3.6 million setobject/setproperty/setvalue steps with no waiting.
void seek() {
  kestrel::JournalRun run;
  run.reserve(3600000);
  std::vector<std::string> lines = triples();
  for (int64_t i = 0; i < 3600000; ++i) {
    kestrel::JournalRecord record;
    record.milliseconds = i;
    const std::string& line = lines[static_cast<size_t>(i) % lines.size()];
    size_t blank = line.find(' ');
    record.code = line[3] == 'o' ? 61 : line[3] == 'p' ? 62 : 63;
    record.text = line.substr(blank + 1);
    run.push_back(std::move(record));
  }
  InternalCommandQueue primary, secondary;
  Engine engine(primary, secondary);
  makeObjects(engine, primary, 1000);
  kestrel::JournalReplay replay(engine, primary, secondary, std::move(run));
  auto start = Clock::now();
  uint64_t before = engine.executed();
  while (replay.step()) {
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("seek       to the end of 1 hour at 1000 commands/s: %.2f s (%llu steps, %.0f "
              "steps/s)\n",
              seconds, static_cast<unsigned long long>(engine.executed() - before),
              static_cast<double>(engine.executed() - before) / seconds);
}

}  // namespace

int main(int argc, char** argv) {
  kestrel::openLogIn("/tmp");
  int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  char path[] = "/tmp/kestrel-journal-bench-XXXXXX";
  int fd = ::mkstemp(path);
  if (fd < 0) return 1;
  ::close(fd);
  std::printf("fast mode, best of %d rounds each, journal %s\n", rounds, path);
  compare("triples", triples(), rounds, path);
  compare("movements", movements(), rounds, path);
  ::unlink(path);
  seek();
  return 0;
}
