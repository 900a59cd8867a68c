// The live viewer window of the window benchmarks: the main frame with the
// viewer in it, its ports off, shown and exposed; and the two timed loops
// (the user turning the scene, one object's field changing every frame),
// each iteration one synchronous repaint.
#pragma once

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTest>
#include <memory>
#include <string>

#include "viewer/shell/window/main_frame.h"
#include "viewer/shell/window/prism_doc.h"
#include "viewer/shell/window/prism_view.h"
#include "viewer/shell/window/scene_gl_view.h"

namespace kestrel::bench {

struct LiveWindow {
  CPrismView* view = nullptr;  // owned by the frame
  std::unique_ptr<CPrismDoc> doc;
  std::unique_ptr<CMainFrame> frame;
  std::string error;

  bool show() {
    ViewerOptions options;
    options.commandPort = 0;
    options.secondaryPort = 0;
    options.webPort = 0;
    view = new CPrismView(options);
    doc = std::make_unique<CPrismDoc>(*view);
    frame = std::make_unique<CMainFrame>(view, doc.get());
    frame->resize(800, 640);
    if (!view->start(&error)) return false;
    frame->show();
    return QTest::qWaitForWindowExposed(frame.get());
  }
};

inline void paintOnce(SceneGlView* scene) {
  scene->repaint();
  QCoreApplication::processEvents();
}

// Frames while the user drags the scene round; the rate as counter "fps".
inline void timeTurning(benchmark::State& state, SceneGlView* scene) {
  Navigator& nav = scene->navigator();
  nav.press(Navigator::kLeft, 0, 0, 0);
  int x = 0;
  for (auto _ : state) {
    nav.move(x += 3, 0, 0);
    paintOnce(scene);
  }
  nav.release(Navigator::kLeft);
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// Frames while the object's z translation changes before each one.
inline void timeMoving(benchmark::State& state, VisualObject* object, SceneGlView* scene) {
  float z = 0;
  for (auto _ : state) {
    object->translation.set(2, z += 0.01f);
    paintOnce(scene);
  }
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace kestrel::bench
