// Building text meshes: glyphs filled afresh (a new font library each
// round) and from the glyph cache, for a label of the kind the viewer
// writes, flat and extruded.
#include <benchmark/benchmark.h>

#include "viewer/browser/render/core/text_mesh.h"

namespace {

kestrel::TextInput label(float depth) {
  kestrel::TextInput in;
  in.strings = {"Kestrel label 0123456789", "The quick brown fox jumps over the lazy dog"};
  in.depth = depth;
  return in;
}

void coldGlyphs(benchmark::State& state) {
  for (auto _ : state) {
    kestrel::FontLibrary fonts;
    kestrel::Mesh mesh;
    kestrel::buildTextMesh(fonts, label(0), mesh, nullptr);
    benchmark::DoNotOptimize(mesh.positions.data());
  }
}
BENCHMARK(coldGlyphs)->Unit(benchmark::kMillisecond);

void cachedGlyphs(benchmark::State& state) {
  kestrel::FontLibrary fonts;
  kestrel::TextInput in = label(state.range(0) ? 0.1f : 0);
  kestrel::Mesh mesh;
  kestrel::buildTextMesh(fonts, in, mesh, nullptr);
  for (auto _ : state) {
    kestrel::buildTextMesh(fonts, in, mesh, nullptr);
    benchmark::DoNotOptimize(mesh.positions.data());
  }
  state.counters["vertices"] = double(mesh.vertexCount());
}
BENCHMARK(cachedGlyphs)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
