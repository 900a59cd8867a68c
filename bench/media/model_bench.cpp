// A binary STL of about a million triangles (a 708 x 708 height field):
// seconds to import and convert it into VRML97 text, to parse that text,
// from `load` to the object registered through a real engine, and frames
// per second of the model off screen (EGL; llvmpipe on a machine without a
// GPU; each frame read back, so the time includes the whole pipeline).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/media/big_stl.h"
#include "viewer/browser/parser.h"
#include "viewer/browser/render/gl/egl_context.h"
#include "viewer/browser/render/gl/gl_renderer.h"
#include "viewer/browser/scene.h"
#include "viewer/engine/engine.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/media/model_import.h"
#include "viewer/shell/scene_block.h"
#include "viewer/shell/shell_builders.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

std::string benchDir() {
  static const std::string dir = [] {
    fs::path p = fs::temp_directory_path() / "kestrel-models-bench";
    fs::create_directories(p);
    openLogIn(p.string());
    return p.string();
  }();
  return dir;
}

std::string bigStl() {
  std::string path = benchDir() + "/terrain.stl";
  if (!fs::exists(path)) bench::writeBigStl(path);
  return path;
}

void BM_ImportStl1M(benchmark::State& state) {
  std::string path = bigStl();
  ModelImportOptions options;
  options.objectName = "terrain";
  for (auto _ : state) {
    ModelVrml model;
    std::string why;
    if (!importModel(path, options, model, why)) state.SkipWithError(why.c_str());
    state.counters["triangles"] = static_cast<double>(model.triangles);
  }
}

// The VRML97 text the big STL becomes.
std::string bigStlText() {
  ModelImportOptions options;
  options.objectName = "terrain";
  ModelVrml model;
  std::string why;
  importModel(bigStl(), options, model, why);
  return blockText(model.pieces);
}

void BM_ParseStl1MText(benchmark::State& state) {
  std::string text = bigStlText();
  state.counters["text_MiB"] = static_cast<double>(text.size()) / (1 << 20);
  for (auto _ : state) {
    Scene scene;
    ParseError error;
    if (!parseVrml(text, ParseOptions{}, scene, error)) state.SkipWithError("parse failed");
  }
}

void BM_LoadStl1M(benchmark::State& state) {
  std::string path = bigStl();
  for (auto _ : state) {
    InternalCommandQueue primary, secondary;
    Engine engine(primary, secondary, benchDir());
    ShellBuilders builders(engine, primary, benchDir());
    engine.setBuilders(&builders);
    primary.queue(("load " + path).c_str());
    while (engine.registry().find("terrain") < 0 && primary.waiting() != 0) engine.onTimer();
    if (engine.registry().find("terrain") < 0) state.SkipWithError("object not registered");
  }
}

void BM_RenderStl1M(benchmark::State& state) {
  std::string text = bigStlText() + "Viewpoint { position 353 353 900 }\n";
  std::string error;
  auto context = EglContext::create(&error);
  if (!context) return state.SkipWithError(error.c_str());
  Scene scene;
  ParseError parseError;
  if (!parseVrml(text, ParseOptions{}, scene, parseError)) return state.SkipWithError("parse");
  GlRenderer renderer;
  if (!renderer.init(&error)) return state.SkipWithError(error.c_str());
  RgbaImage image;
  renderer.render(scene.rootNodes(), {}, 640, 480, image, &error);  // fills the caches
  for (auto _ : state) {
    renderer.render(scene.rootNodes(), {}, 640, 480, image, &error);
    benchmark::DoNotOptimize(image.pixels.data());
  }
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ImportStl1M)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ParseStl1MText)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_LoadStl1M)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_RenderStl1M)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace kestrel

BENCHMARK_MAIN();
