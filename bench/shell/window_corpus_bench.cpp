// The live window with each large real world of testing/corpus/large/
// (castle-engine's demo models): frames per second while the user turns
// it, each frame one synchronous repaint. Needs a display: run it under
// xvfb-run -a -s "-screen 0 1280x1024x24" (Mesa's llvmpipe there: software).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/shell/live_window.h"

namespace {

namespace fs = std::filesystem;

struct WorldWindow : kestrel::bench::LiveWindow {
  bool open(const std::string& path) {
    if (!show()) return false;
    kestrel::CVrmlBrowser& browser = view->engine().browser();
    kestrel::VrmlContent world;
    if (!browser.createFromFile(path, world) || !browser.appendToRoot(world)) {
      error = path + " did not load: " + browser.lastError().text();
      return false;
    }
    QTest::keyClick(view->sceneView(), Qt::Key_Home);  // all of it in view
    QTest::qWait(100);
    return true;
  }
};

void turnWorld(benchmark::State& state, const std::string& path) {
  WorldWindow w;
  if (!w.open(path)) {
    return state.SkipWithError(w.error.empty() ? "no window" : w.error.c_str());
  }
  kestrel::bench::timeTurning(state, w.view->sceneView());
}

// The worlds: every .wrl / .wrl.gz under the large corpus, one level deep.
std::vector<fs::path> largeWorlds() {
  std::vector<fs::path> worlds;
  for (auto it = fs::recursive_directory_iterator(KESTREL_LARGE_CORPUS);
       it != fs::recursive_directory_iterator(); ++it) {
    const std::string name = it->path().filename().string();
    const bool wrl = name.ends_with(".wrl") || name.ends_with(".wrl.gz");
    if (it->is_regular_file() && wrl && it.depth() <= 1) worlds.push_back(it->path());
  }
  std::sort(worlds.begin(), worlds.end());
  return worlds;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  for (const fs::path& world : largeWorlds()) {
    benchmark::RegisterBenchmark(("BM_WindowTurning/" + world.filename().string()).c_str(),
                                 [path = world.string()](benchmark::State& state) {
                                   turnWorld(state, path);
                                 })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(3);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
