// The live window with 1000 visual objects (boxes with their own
// materials, added through the command queue as clients add them): time
// of one frame while the user turns the scene, and while one object's
// field changes every frame; load_s is how long the 3000 command lines
// took with the picture redrawn as they arrived (load_frames times). Needs a display: run it under
// xvfb-run -a -s "-screen 0 1280x1024x24".
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTest>
#include <memory>
#include <sstream>

#include "bench/shell/live_window.h"
#include "viewer/intake/command_queue.h"

namespace {

struct Window : kestrel::bench::LiveWindow {
  double loadSeconds = 0;  // until the last of the 1000 objects was made
  unsigned loadFrames = 0;  // frames drawn until then

  bool open() {
    if (!show()) return false;
    for (int i = 0; i < 1000; ++i) {
      int x = i % 40 - 20, y = i / 40 - 12;
      std::ostringstream s;
      s << "DEF Xform_b" << i << " Transform { translation " << x * 1.5 << ' ' << y * 1.5
        << " 0 children Shape { appearance Appearance { material Material { diffuseColor "
        << (i % 7) / 7.0 << ' ' << (i % 11) / 11.0 << ' ' << (i % 13) / 13.0
        << " } } geometry Box { } } }";
      kestrel::primaryQueue().queue(("startdata b" + std::to_string(i)).c_str());
      kestrel::primaryQueue().queue(s.str().c_str());
      kestrel::primaryQueue().queue("enddata");
    }
    QElapsedTimer clock;
    clock.start();
    while (view->engine().registry().size() < 1000 && clock.elapsed() < 60000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    loadSeconds = double(clock.elapsed()) / 1000;
    loadFrames = view->sceneView()->framesDrawn();
    QTest::keyClick(view->sceneView(), Qt::Key_Home);  // all of them in view
    QTest::qWait(100);
    if (view->engine().registry().size() != 1000) {
      error = "only " + std::to_string(view->engine().registry().size()) +
              " of the objects arrived, " + std::to_string(view->sceneView()->framesDrawn()) +
              " frames drawn";
      return false;
    }
    return true;
  }
};

// Made on first use, closed before the application goes.
std::unique_ptr<Window> theWindow;

Window& window() {
  if (!theWindow) {
    theWindow = std::make_unique<Window>();
    if (!theWindow->open() && theWindow->error.empty()) {
      theWindow->error = "the objects did not arrive";
    }
  }
  return *theWindow;
}

void BM_WindowTurning1000Boxes(benchmark::State& state) {
  Window& w = window();
  if (!w.error.empty()) return state.SkipWithError(w.error.c_str());
  kestrel::bench::timeTurning(state, w.view->sceneView());
  state.counters["load_s"] = w.loadSeconds;
  state.counters["load_frames"] = w.loadFrames;
}

void BM_WindowFieldChange1000Boxes(benchmark::State& state) {
  Window& w = window();
  if (!w.error.empty()) return state.SkipWithError(w.error.c_str());
  kestrel::VisualObject* object = w.view->engine().registry().currentObject();
  if (object == nullptr) return state.SkipWithError("no current object");
  kestrel::bench::timeMoving(state, object, w.view->sceneView());
}

BENCHMARK(BM_WindowTurning1000Boxes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WindowFieldChange1000Boxes)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  theWindow.reset();
  return 0;
}
