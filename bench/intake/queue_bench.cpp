// Parser + queue throughput: one producer parses the command mix into a
// queue while a taker thread drains it as the engine does (take, and
// takeNext for block bodies). Reports lines per second.
#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

#include "bench/intake/command_mix.h"
#include "viewer/intake/command_codes.h"
#include "viewer/intake/command_queue.h"

namespace kestrel {
namespace {

void drainBlock(InternalCommandQueue& queue) {
  while (auto body = queue.takeNext()) {
    if (body->code == cmd::kEndData) return;
  }
}

void BM_ParseAndQueueWithTaker(benchmark::State& state) {
  const std::vector<std::string> mix = bench::commandMix(200000);
  InternalCommandQueue queue;
  std::atomic<bool> done{false};
  std::atomic<uint64_t> taken{0};
  std::thread taker([&] {
    uint64_t count = 0;
    while (!done.load(std::memory_order_relaxed)) {
      while (auto entry = queue.take()) {
        ++count;
        if (entry->code == cmd::kStartData) drainBlock(queue);
      }
      std::this_thread::yield();
    }
    taken.store(count);
  });
  uint64_t lines = 0;
  for (auto _ : state) {
    // A data block is written under one hold of the queue, as a producer
    // of whole blocks does; single lines lock per line.
    for (size_t i = 0; i < mix.size(); ++i) {
      // Keep every line: wait for the taker when the ring is nearly full.
      if ((i & 63) == 0) {
        while (queue.waiting() > CommandRing::kSlots - 200) std::this_thread::yield();
      }
      if (mix[i][0] == 's' && mix[i][1] == 't') {
        InternalCommandQueue::Writer writer(queue);
        while (true) {
          writer.queue(mix[i].c_str());
          if (mix[i][0] == 'e') break;
          ++i;
        }
      } else {
        queue.queue(mix[i].c_str());
      }
    }
    lines += mix.size();
  }
  done.store(true);
  taker.join();
  state.SetItemsProcessed(static_cast<int64_t>(lines));
  state.counters["dropped"] = static_cast<double>(queue.dropped());
}
BENCHMARK(BM_ParseAndQueueWithTaker)->Unit(benchmark::kMillisecond)->UseRealTime();

// The parser alone, without a concurrent taker (the queue is drained
// between iterations, outside the timing).
void BM_ParseOnly(benchmark::State& state) {
  const std::vector<std::string> mix = bench::commandMix(20000);
  InternalCommandQueue queue;
  for (auto _ : state) {
    for (const std::string& line : mix) queue.queue(line.c_str());
    state.PauseTiming();
    while (queue.takeNext()) {
    }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * mix.size()));
}
BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrel

BENCHMARK_MAIN();
