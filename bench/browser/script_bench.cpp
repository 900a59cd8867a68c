// What running scripts costs: events through a Script's eventIn that
// assigns an eventOut (each a cascade of its own, as the viewer's sets
// are), a clock tick that reaches 1000 Scripts, and starting 1000 Scripts.
#include <benchmark/benchmark.h>

#include <string>

#include "viewer/browser/vrml_browser.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

bool load(CVrmlBrowser& browser, const std::string& text) {
  VrmlContent content;
  return browser.createFromString(text, content) && browser.appendToRoot(content);
}

// COUNT Scripts, each turning the clock's fraction into a transparency.
std::string scriptsText(int count) {
  std::string text = "DEF Clock TimeSensor { loop TRUE cycleInterval 10 }\n";
  for (int i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    text += "DEF M" + n + " Material {}\nDEF S" + n +
            " Script { eventIn SFFloat set_fraction eventOut SFFloat out"
            " url \"javascript: function set_fraction(f, t) { out = f * 0.5; }\" }\n"
            "ROUTE Clock.fraction_changed TO S" + n + ".set_fraction\n"
            "ROUTE S" + n + ".out TO M" + n + ".set_transparency\n";
  }
  return text;
}

void BM_ScriptEventInToEventOut(benchmark::State& state) {
  openLogIn("/tmp");
  CVrmlBrowser browser("/nonexistent-kestrel-bench");
  if (!load(browser, scriptsText(1))) state.SkipWithError("world did not load");
  NodeHandle script, material;
  browser.findNode("S0", script);
  browser.findNode("M0", material);
  SFFloatHandle in, out;
  browser.field(script, "set_fraction", in);
  browser.field(material, "transparency", out);
  float f = 0;
  for (auto _ : state) {
    f = f > 0.9f ? 0 : f + 0.001f;
    in.set(f);
  }
  float seen = -1;
  out.get(seen);
  if (seen != f * 0.5f) state.SkipWithError("the eventOut did not arrive");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ScriptEventInToEventOut);

// Clock ticks at 30 per second through the world TEXT of 1000 Scripts.
void tickThousandScripts(benchmark::State& state, const std::string& text) {
  openLogIn("/tmp");
  CVrmlBrowser browser("/nonexistent-kestrel-bench");
  if (!load(browser, text)) state.SkipWithError("world did not load");
  double now = 0;
  for (auto _ : state) {
    now += 1.0 / 30;
    browser.advanceTime(now);
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}

void BM_ThousandScriptsPerTick(benchmark::State& state) {
  tickThousandScripts(state, scriptsText(1000));
}
BENCHMARK(BM_ThousandScriptsPerTick)->Unit(benchmark::kMillisecond);

// COUNT Scripts as the window benchmark has them: each reads an SFVec3f
// field and assigns a new SFVec3f eventOut to move its own Transform.
std::string liftingScriptsText(int count) {
  std::string text = "DEF Clock TimeSensor { loop TRUE cycleInterval 10 }\n";
  for (int i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    text += "DEF T" + n + " Transform {}\nDEF S" + n +
            " Script { eventIn SFFloat set_fraction eventOut SFVec3f lifted"
            " field SFVec3f home " + n + " 1 0 url \"javascript: function set_fraction(f, t) {"
            " lifted = new SFVec3f(home.x, home.y, Math.sin(f * 6.2832 + " + n + ")); }\" }\n"
            "ROUTE Clock.fraction_changed TO S" + n + ".set_fraction\n"
            "ROUTE S" + n + ".lifted TO T" + n + ".set_translation\n";
  }
  return text;
}

void BM_ThousandVec3fScriptsPerTick(benchmark::State& state) {
  tickThousandScripts(state, liftingScriptsText(1000));
}
BENCHMARK(BM_ThousandVec3fScriptsPerTick)->Unit(benchmark::kMillisecond);

void BM_StartThousandScripts(benchmark::State& state) {
  openLogIn("/tmp");
  const std::string text = scriptsText(1000);
  for (auto _ : state) {
    CVrmlBrowser browser("/nonexistent-kestrel-bench");
    if (!load(browser, text)) state.SkipWithError("world did not load");
  }
}
BENCHMARK(BM_StartThousandScripts)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace kestrel

BENCHMARK_MAIN();
