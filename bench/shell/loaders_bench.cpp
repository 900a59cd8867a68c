// Seconds from `load` to the object registered, through a real engine, for
// a 700 x 700 mesh file (plain and textured) and a 10000-line sphere file;
// and for a 64 MiB command file, the whole run and the longest engine tick
// (the file is read a piece per tick, so other commands are not held up).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "viewer/engine/engine.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/shell/shell_builders.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

std::string benchDir() {
  static const std::string dir = [] {
    fs::path p = fs::temp_directory_path() / "kestrel-loaders-bench";
    fs::create_directories(p);
    openLogIn(p.string());
    return p.string();
  }();
  return dir;
}

std::string meshFile() {
  std::string path = benchDir() + "/big.mesh";
  if (fs::exists(path)) return path;
  std::FILE* f = std::fopen(path.c_str(), "w");
  std::fprintf(f, "big 700 700\n");
  for (int q = 0; q < 700; ++q) {
    for (int c = 0; c < 700; ++c) {
      std::fprintf(f, "%d %.3f %d\n", c, std::sin(c * 0.05) * std::cos(q * 0.05), q);
    }
  }
  std::fclose(f);
  return path;
}

std::string sphereFile() {
  std::string path = benchDir() + "/many.sphere";
  if (fs::exists(path)) return path;
  std::FILE* f = std::fopen(path.c_str(), "w");
  for (int i = 0; i < 10000; ++i) {
    std::fprintf(f, "%d %d %d 0.4 %d 0.5 %d\n", i % 100, (i / 100) % 100, i / 1000, i % 7 > 3,
                 i % 5 > 1);
  }
  std::fclose(f);
  return path;
}

void loadAndWait(benchmark::State& state, const std::string& path, const std::string& name,
                 bool textured) {
  for (auto _ : state) {
    InternalCommandQueue primary, secondary;
    Engine engine(primary, secondary, benchDir());
    ShellBuilders builders(engine, primary, benchDir());
    engine.setBuilders(&builders);
    if (textured) engine.setCurrentImageFile("c:/corvid/render/textures/aworld.png");
    primary.queue(("load " + path).c_str());
    while (engine.registry().find(name) < 0 && primary.waiting() != 0) engine.onTimer();
    if (engine.registry().find(name) < 0) state.SkipWithError("object not registered");
  }
}

void BM_LoadMesh700(benchmark::State& state) { loadAndWait(state, meshFile(), "big", false); }
void BM_LoadMesh700Textured(benchmark::State& state) {
  loadAndWait(state, meshFile(), "big", true);
}
void BM_LoadSphere10000(benchmark::State& state) {
  loadAndWait(state, sphereFile(), "many", false);
}

std::string bigCommandFile() {
  std::string path = benchDir() + "/big.cmd";
  if (fs::exists(path)) return path;
  std::FILE* f = std::fopen(path.c_str(), "w");
  std::fputs("fast\n", f);
  for (long bytes = 0; bytes < (64L << 20); bytes += 12) std::fputs("setobject a\n", f);
  std::fclose(f);
  return path;
}

void BM_LoadCommandFile64MiB(benchmark::State& state) {
  using clock = std::chrono::steady_clock;
  std::string path = bigCommandFile();
  double longestMs = 0;
  for (auto _ : state) {
    InternalCommandQueue primary, secondary;
    Engine engine(primary, secondary, benchDir());
    ShellBuilders builders(engine, primary, benchDir());
    engine.setBuilders(&builders);
    primary.queue(("load " + path).c_str());
    while (primary.waiting() != 0 || builders.loaders().reading()) {
      auto start = clock::now();
      engine.onTimer();
      builders.loaders().continueReading();
      longestMs = std::max(
          longestMs, std::chrono::duration<double, std::milli>(clock::now() - start).count());
    }
  }
  state.counters["longest_tick_ms"] = longestMs;
}

BENCHMARK(BM_LoadMesh700)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_LoadMesh700Textured)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_LoadSphere10000)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_LoadCommandFile64MiB)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace kestrel

BENCHMARK_MAIN();
