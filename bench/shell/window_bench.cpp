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

#include "viewer/intake/command_queue.h"
#include "viewer/shell/window/main_frame.h"
#include "viewer/shell/window/prism_doc.h"
#include "viewer/shell/window/prism_view.h"
#include "viewer/shell/window/scene_gl_view.h"

namespace {

struct Window {
  CPrismView* view = nullptr;
  std::unique_ptr<CPrismDoc> doc;
  std::unique_ptr<CMainFrame> frame;
  std::string error;
  double loadSeconds = 0;  // until the last of the 1000 objects was made
  unsigned loadFrames = 0;  // frames drawn until then

  bool open() {
    kestrel::ViewerOptions options;
    options.commandPort = 0;
    options.secondaryPort = 0;
    options.webPort = 0;
    view = new CPrismView(options);
    doc = std::make_unique<CPrismDoc>(*view);
    frame = std::make_unique<CMainFrame>(view, doc.get());
    frame->resize(800, 640);
    if (!view->start(&error)) return false;
    frame->show();
    if (!QTest::qWaitForWindowExposed(frame.get())) return false;
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

// One synchronous repaint per iteration.
void paintOnce(SceneGlView* scene) {
  scene->repaint();
  QCoreApplication::processEvents();
}

void BM_WindowTurning1000Boxes(benchmark::State& state) {
  Window& w = window();
  if (!w.error.empty()) return state.SkipWithError(w.error.c_str());
  SceneGlView* scene = w.view->sceneView();
  kestrel::Navigator& nav = scene->navigator();
  nav.press(kestrel::Navigator::kLeft, 0, 0, 0);
  int x = 0;
  for (auto _ : state) {
    nav.move(x += 3, 0, 0);
    paintOnce(scene);
  }
  nav.release(kestrel::Navigator::kLeft);
  state.counters["load_s"] = w.loadSeconds;
  state.counters["load_frames"] = w.loadFrames;
  state.counters["fps"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_WindowFieldChange1000Boxes(benchmark::State& state) {
  Window& w = window();
  if (!w.error.empty()) return state.SkipWithError(w.error.c_str());
  kestrel::VisualObject* object = w.view->engine().registry().currentObject();
  if (object == nullptr) return state.SkipWithError("no current object");
  float z = 0;
  for (auto _ : state) {
    object->translation.set(2, z += 0.01f);
    paintOnce(w.view->sceneView());
  }
  state.counters["fps"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
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
