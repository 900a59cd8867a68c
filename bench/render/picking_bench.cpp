// Picking under the mouse: the nearest geometry under a pixel among 1000
// transformed objects (boxes, spheres, cones and cylinders), as the window
// does for every mouse move, and the same followed by the pointing-device
// sensors' work (a TouchSensor beside every object); and on one 700 x 700
// ElevationGrid (almost a million triangles). The meshes are made on the
// first pick and kept, as in the window.
#include <benchmark/benchmark.h>

#include <cmath>
#include <sstream>

#include "viewer/browser/parser.h"
#include "viewer/browser/pointing_sensors.h"
#include "viewer/browser/render/core/picking.h"
#include "viewer/browser/render/core/traversal.h"

namespace {

std::string objects() {
  const char* shapes[] = {"Box { }", "Sphere { }", "Cone { }", "Cylinder { }"};
  std::ostringstream s;
  s << "Viewpoint { position 0 0 60 }\n";
  for (int i = 0; i < 1000; ++i) {
    int x = i % 40 - 20, y = i / 40 - 12;
    s << "Transform { translation " << x * 1.5 << ' ' << y * 1.5 << " 0 rotation 0 1 0 "
      << (i % 5) * 0.3 << " children [ TouchSensor { } Shape { geometry " << shapes[i % 4]
      << " } ] }\n";
  }
  return s.str();
}

std::string terrain() {
  std::ostringstream s;
  s << "Viewpoint { position 350 250 900 orientation 1 0 0 -0.35 }\n"
       "Shape { geometry ElevationGrid { xDimension 700 zDimension 700 height [";
  for (int j = 0; j < 700; ++j)
    for (int i = 0; i < 700; ++i) s << 20 * std::sin(i * 0.05) * std::cos(j * 0.04) << ' ';
  s << "] } }\n";
  return s.str();
}

struct PickRig {
  kestrel::Scene scene;
  std::vector<kestrel::NodePtr> roots;
  kestrel::Camera camera;
  std::vector<kestrel::PickRay> rays;  // a mouse path across the picture

  bool load(benchmark::State& state, const std::string& text) {
    kestrel::ParseError error;
    kestrel::ParseOptions options;
    options.requireHeader = false;
    if (!kestrel::parseVrml(text, options, scene, error)) {
      state.SkipWithError(error.message.c_str());
      return false;
    }
    roots = scene.rootNodes();
    camera = kestrel::cameraFor(kestrel::findBindings(roots), 640, 480, {}, 1000);
    for (int i = 0; i < 256; ++i) {
      float x = float(i * 37 % 640), y = float(i * 53 % 480);
      rays.push_back(kestrel::rayThroughPixel(camera, x, y, 640, 480));
    }
    return true;
  }
};

void pickUnderTheMouse(benchmark::State& state, const std::string& text) {
  PickRig rig;
  if (!rig.load(state, text)) return;
  kestrel::Picker picker;
  size_t i = 0, hits = 0;
  picker.pick(rig.roots, {}, rig.camera.viewer, rig.rays[0]);  // makes the meshes
  for (auto _ : state) {
    kestrel::PickHit hit = picker.pick(rig.roots, {}, rig.camera.viewer, rig.rays[i++ % 256]);
    hits += hit.hit();
    benchmark::DoNotOptimize(hit);
  }
  state.counters["hit_share"] = double(hits) / double(state.iterations());
}

void BM_PickUnderTheMouse1000Objects(benchmark::State& state) {
  pickUnderTheMouse(state, objects());
}
BENCHMARK(BM_PickUnderTheMouse1000Objects)->Unit(benchmark::kMicrosecond);

void BM_PickUnderTheMouseTerrain700(benchmark::State& state) {
  pickUnderTheMouse(state, terrain());
}
BENCHMARK(BM_PickUnderTheMouseTerrain700)->Unit(benchmark::kMicrosecond);

void BM_PickAndTouchSensors1000Objects(benchmark::State& state) {
  PickRig rig;
  if (!rig.load(state, objects())) return;
  kestrel::Picker picker;
  kestrel::PointingSensors sensors;
  size_t i = 0;
  double now = 0;
  for (auto _ : state) {
    kestrel::PointerSample sample;
    sample.ray = rig.rays[i++ % 256];
    sample.hit = picker.pick(rig.roots, {}, rig.camera.viewer, sample.ray);
    sample.roots = &rig.roots;
    kestrel::Cascade cascade(now += 0.01);
    sensors.move(sample, cascade);
  }
}
BENCHMARK(BM_PickAndTouchSensors1000Objects)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
