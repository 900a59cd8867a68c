// Sentences per second through the host: a file source replaying a generated
// 600000-sentence log as fast as it can -> JSatFix (the real plug-in) -> a
// counter that only counts the broadcasts of "number satellites" and "flon"
// (one per GSV, one per GGA or GLL sentence).
//
// `satfix_host_bench --write-log FILE` writes the log and exits; the
// comparison script uses it to time other programs on the same input.
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>

#include "bench/modules/nmea_log.h"
#include "modules/common/jregistry.h"
#include "modules/host/builtin_modules.h"
#include "modules/host/document.h"
#include "modules/host/printer.h"
#include "modules/host/runner.h"

#ifndef KESTREL_BENCH_PLUGIN_DIR
#define KESTREL_BENCH_PLUGIN_DIR "."
#endif

namespace {

constexpr int kSentences = 600000;

std::string logPath() {
  static const std::string path = [] {
    std::string p = "/tmp/kestrel_bench_nmea.log";
    std::ofstream(p, std::ios::binary) << kestrel::bench::nmeaLog(kSentences);
    return p;
  }();
  return path;
}

std::string document() {
  return R"({"libraries": ["JSatFix"], "modules": [
      {"name": "src", "class": "JByteSource", "properties": {"path": ")" + logPath() + R"(", "block": 65536}},
      {"name": "gps", "class": "JSatFix"},
      {"name": "count", "class": "JCounter"}],
    "links": [
      {"from": "src", "output": 0, "to": "gps", "input": 0},
      {"from": "gps", "output": 2, "to": "count", "input": 0},
      {"from": "gps", "output": 4, "to": "count", "input": 0}]})";
}

void SentencesThroughHost(benchmark::State& state) {
  kestrel::registerBuiltinModules();
  kestrel::LoadOptions options;
  options.pluginDir = KESTREL_BENCH_PLUGIN_DIR;
  const std::string text = document();
  long long counted = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::string error;
    auto doc = kestrel::loadDocument(text, options, &error);
    if (!doc) {
      state.SkipWithError(error.c_str());
      return;
    }
    auto* counter = static_cast<kestrel::JCounter*>(doc->graph.find("count"));
    counter->setStream(std::fopen("/dev/null", "w"));
    kestrel::Runner runner;
    state.ResumeTiming();
    doc->graph.startupAll();
    runner.run(doc->graph);
    state.PauseTiming();
    counted = counter->count();
    doc->graph.closeAll();
    state.ResumeTiming();
  }
  if (counted != kSentences) state.SkipWithError("the counter missed sentences");
  state.SetItemsProcessed(state.iterations() * kSentences);
  state.counters["sentences"] = static_cast<double>(counted);
}
BENCHMARK(SentencesThroughHost)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-log") == 0) {
    std::ofstream(argv[2], std::ios::binary) << kestrel::bench::nmeaLog(kSentences);
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
