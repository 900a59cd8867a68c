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

constexpr int kGrid = 708;  // 2 x 707 x 707 = 999698 triangles

std::string benchDir() {
  static const std::string dir = [] {
    fs::path p = fs::temp_directory_path() / "kestrel-models-bench";
    fs::create_directories(p);
    openLogIn(p.string());
    return p.string();
  }();
  return dir;
}

void putTriangle(std::ofstream& out, const float (&v)[9]) {
  const float normal[3] = {0, 0, 0};
  const uint16_t attributes = 0;
  out.write(reinterpret_cast<const char*>(normal), sizeof normal);
  out.write(reinterpret_cast<const char*>(v), sizeof v);
  out.write(reinterpret_cast<const char*>(&attributes), sizeof attributes);
}

std::string bigStl() {
  std::string path = benchDir() + "/terrain.stl";
  if (fs::exists(path)) return path;
  std::ofstream out(path, std::ios::binary);
  out << std::string(80, ' ');
  uint32_t count = 2u * (kGrid - 1) * (kGrid - 1);
  out.write(reinterpret_cast<const char*>(&count), sizeof count);
  auto h = [](int x, int y) { return static_cast<float>(std::sin(x * 0.05) * std::cos(y * 0.05) * 5); };
  for (int y = 0; y + 1 < kGrid; ++y) {
    for (int x = 0; x + 1 < kGrid; ++x) {
      float fx = static_cast<float>(x), fy = static_cast<float>(y);
      float a[3] = {fx, fy, h(x, y)}, b[3] = {fx + 1, fy, h(x + 1, y)};
      float c[3] = {fx + 1, fy + 1, h(x + 1, y + 1)}, d[3] = {fx, fy + 1, h(x, y + 1)};
      putTriangle(out, {a[0], a[1], a[2], b[0], b[1], b[2], c[0], c[1], c[2]});
      putTriangle(out, {a[0], a[1], a[2], c[0], c[1], c[2], d[0], d[1], d[2]});
    }
  }
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
