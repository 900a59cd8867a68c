// Frames per second off screen (EGL; llvmpipe on a machine without a GPU)
// for 1000 boxes, each with its own material, and a 700 x 700 terrain.
// Each frame is read back, so the time includes the whole pipeline.
#include <benchmark/benchmark.h>

#include <cmath>
#include <sstream>

#include "viewer/browser/parser.h"
#include "viewer/browser/render/gl/egl_context.h"
#include "viewer/browser/render/gl/gl_renderer.h"

namespace {

std::string boxes() {
  std::ostringstream s;
  s << "Viewpoint { position 0 0 60 }\n";
  for (int i = 0; i < 1000; ++i) {
    int x = i % 40 - 20, y = i / 40 - 12;
    s << "Transform { translation " << x * 1.5 << ' ' << y * 1.5 << " 0 children Shape {"
      << " appearance Appearance { material Material { diffuseColor " << (i % 7) / 7.0 << ' '
      << (i % 11) / 11.0 << ' ' << (i % 13) / 13.0 << " } } geometry Box { } } }\n";
  }
  return s.str();
}

std::string terrain() {
  std::ostringstream s;
  s << "Viewpoint { position 350 250 900 orientation 1 0 0 -0.35 }\n"
       "Shape { appearance Appearance { material Material { diffuseColor 0.4 0.7 0.3 } }"
       " geometry ElevationGrid { xDimension 700 zDimension 700 creaseAngle 1 height [";
  for (int j = 0; j < 700; ++j)
    for (int i = 0; i < 700; ++i) s << 20 * std::sin(i * 0.05) * std::cos(j * 0.04) << ' ';
  s << "] } }\n";
  return s.str();
}

void renderFrames(benchmark::State& state, const std::string& text) {
  std::string error;
  auto context = kestrel::EglContext::create(&error);
  if (!context) {
    state.SkipWithError(error.c_str());
    return;
  }
  kestrel::Scene scene;
  kestrel::ParseError perr;
  kestrel::ParseOptions options;
  options.requireHeader = false;
  if (!kestrel::parseVrml(text, options, scene, perr)) {
    state.SkipWithError(perr.message.c_str());
    return;
  }
  {
    kestrel::GlRenderer renderer;
    if (!renderer.init(&error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    kestrel::RgbaImage image;
    renderer.render(scene.rootNodes(), {}, 640, 480, image, &error);  // fills the caches
    for (auto _ : state) {
      renderer.render(scene.rootNodes(), {}, 640, 480, image, &error);
      benchmark::DoNotOptimize(image.pixels.data());
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  }
}

void BM_ThousandBoxes(benchmark::State& state) { renderFrames(state, boxes()); }
void BM_Terrain700(benchmark::State& state) { renderFrames(state, terrain()); }

BENCHMARK(BM_ThousandBoxes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Terrain700)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
