// The live window with a model of about a million triangles (the binary STL
// of bench/media/big_stl.h, given to `load` as a client would): time of one
// frame while the user turns it, and while the model's own translation
// changes every frame; load_s is the time from `load` to the object
// registered. Needs a display: run it under
// xvfb-run -a -s "-screen 0 1280x1024x24" (Mesa's llvmpipe there: software).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <filesystem>
#include <memory>

#include "bench/media/big_stl.h"
#include "bench/shell/live_window.h"
#include "viewer/intake/command_queue.h"

namespace {

namespace fs = std::filesystem;

struct ModelWindow : kestrel::bench::LiveWindow {
  double loadSeconds = 0;

  bool open() {
    const fs::path stl = fs::temp_directory_path() / "kestrel-window-bench-terrain.stl";
    if (!fs::exists(stl)) kestrel::bench::writeBigStl(stl.string());
    if (!show()) return false;
    QElapsedTimer clock;
    clock.start();
    kestrel::primaryQueue().queue(("load " + stl.string()).c_str());
    while (view->engine().registry().size() < 1 && clock.elapsed() < 120000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    loadSeconds = double(clock.elapsed()) / 1000;
    if (view->engine().registry().size() != 1) {
      error = "the model did not arrive in 120 s";
      return false;
    }
    QTest::keyClick(view->sceneView(), Qt::Key_Home);  // all of it in view
    QTest::qWait(100);
    return true;
  }
};

std::unique_ptr<ModelWindow> theWindow;

ModelWindow& window() {
  if (!theWindow) {
    theWindow = std::make_unique<ModelWindow>();
    if (!theWindow->open() && theWindow->error.empty()) theWindow->error = "no window";
  }
  return *theWindow;
}

void BM_WindowTurningStl1M(benchmark::State& state) {
  ModelWindow& w = window();
  if (!w.error.empty()) return state.SkipWithError(w.error.c_str());
  kestrel::bench::timeTurning(state, w.view->sceneView());
  state.counters["load_s"] = w.loadSeconds;
}

void BM_WindowMovingStl1M(benchmark::State& state) {
  ModelWindow& w = window();
  if (!w.error.empty()) return state.SkipWithError(w.error.c_str());
  kestrel::VisualObject* object = w.view->engine().registry().currentObject();
  if (object == nullptr) return state.SkipWithError("no current object");
  kestrel::bench::timeMoving(state, object, w.view->sceneView());
}

BENCHMARK(BM_WindowTurningStl1M)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5);
BENCHMARK(BM_WindowMovingStl1M)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5);

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  theWindow.reset();
  return 0;
}
