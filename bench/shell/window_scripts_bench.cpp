// The live window with a world of 1000 Scripts, each receiving one
// TimeSensor's fraction every frame and moving its own box: the frames per
// second the window draws on its own clock (its frame timer advances the
// world's time, the Scripts run, the picture is redrawn), counted over
// each iteration's 2 s. Needs a display: run it under
// xvfb-run -a -s "-screen 0 1280x1024x24".
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTest>
#include <memory>
#include <sstream>

#include "bench/shell/live_window.h"

namespace {

constexpr int kScripts = 1000;

// Script I turns the fraction into a height for box I.
std::string scriptedWorld() {
  std::ostringstream s;
  s << "#VRML V2.0 utf8\nDEF Clock TimeSensor { loop TRUE cycleInterval 2 }\n";
  for (int i = 0; i < kScripts; ++i) {
    s << "DEF Box" << i << " Transform { translation " << (i % 40 - 20) * 1.5 << ' '
      << (i / 40 - 12) * 1.5 << " 0 children Shape { geometry Box { size 0.5 0.5 0.5 } } }\n"
      << "DEF Lift" << i << " Script { eventIn SFFloat set_fraction eventOut SFVec3f lifted "
      << "field SFVec3f home " << (i % 40 - 20) * 1.5 << ' ' << (i / 40 - 12) * 1.5 << " 0 "
      << "url \"javascript: function set_fraction(f, t) { "
      << "lifted = new SFVec3f(home.x, home.y, Math.sin(f * 6.2832 + " << i << ")); }\" }\n"
      << "ROUTE Clock.fraction_changed TO Lift" << i << ".set_fraction\n"
      << "ROUTE Lift" << i << ".lifted TO Box" << i << ".set_translation\n";
  }
  // Counts the clock's ticks, to compare with the frames drawn.
  s << "DEF Ticks Script { eventIn SFFloat set_fraction field SFInt32 count 0 "
    << "url \"javascript: function set_fraction(f, t) { count = count + 1; }\" }\n"
    << "ROUTE Clock.fraction_changed TO Ticks.set_fraction\n";
  return s.str();
}

struct Window : kestrel::bench::LiveWindow {
  bool open() {
    if (!show()) return false;
    kestrel::CVrmlBrowser& browser = view->engine().browser();
    kestrel::VrmlContent world;
    if (!browser.createFromString(scriptedWorld(), world) || !browser.appendToRoot(world)) {
      error = "the scripted world did not load: " + browser.lastError().text();
      return false;
    }
    QTest::keyClick(view->sceneView(), Qt::Key_Home);  // all of them in view
    QTest::qWait(100);
    return true;
  }
};

std::unique_ptr<Window> theWindow;

void BM_Window1000ScriptsEveryFrame(benchmark::State& state) {
  if (!theWindow) {
    theWindow = std::make_unique<Window>();
    theWindow->open();
  }
  Window& w = *theWindow;
  if (!w.error.empty()) return state.SkipWithError(w.error.c_str());
  kestrel::CVrmlBrowser& browser = w.view->engine().browser();
  kestrel::NodeHandle ticker;
  kestrel::SFInt32Handle count;
  if (!browser.findNode("Ticks", ticker) || !browser.field(ticker, "count", count)) {
    return state.SkipWithError("the tick counter is missing");
  }
  unsigned frames = 0;
  int32_t ticks = 0;
  for (auto _ : state) {
    const unsigned before = w.view->sceneView()->framesDrawn();
    int32_t ticksBefore = 0, ticksAfter = 0;
    count.get(ticksBefore);
    QTest::qWait(2000);
    count.get(ticksAfter);
    frames += w.view->sceneView()->framesDrawn() - before;
    ticks += ticksAfter - ticksBefore;
  }
  state.counters["fps"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
  // The world's clock ticks per frame drawn: each runs all 1000 Scripts.
  state.counters["ticks_per_frame"] = frames > 0 ? double(ticks) / frames : 0;
}
BENCHMARK(BM_Window1000ScriptsEveryFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  theWindow.reset();
  benchmark::Shutdown();
  return 0;
}
