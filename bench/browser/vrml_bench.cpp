// Parse speed of the two kinds of large scene (numbers dominate, nodes
// dominate), the heap a parsed scene of many objects holds, named-node
// lookup at two scene sizes, and the cost of adding one typical object the
// way the viewer does.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/browser/lexer.h"
#include "viewer/browser/parser.h"
#include "viewer/browser/visual_object.h"
#include "viewer/browser/vrml_browser.h"

namespace kestrel {

// A 700 x 700 height field as one IndexedFaceSet (about 26 MB).
std::string terrainText(int size = 700) {
  std::string text = "#VRML V2.0 utf8\nShape { geometry IndexedFaceSet {\n coord Coordinate { point [\n";
  char buf[96];
  for (int z = 0; z < size; ++z) {
    for (int x = 0; x < size; ++x) {
      float h = static_cast<float>((x * 7919 + z * 104729) % 1000) / 37.0f;
      std::snprintf(buf, sizeof buf, "%.4f %.4f %.4f,\n", x * 1.5, h, z * 1.5);
      text += buf;
    }
  }
  text += "] }\n coordIndex [\n";
  for (int z = 0; z + 1 < size; ++z) {
    for (int x = 0; x + 1 < size; ++x) {
      int a = z * size + x;
      std::snprintf(buf, sizeof buf, "%d %d %d %d -1,\n", a, a + 1, a + size + 1, a + size);
      text += buf;
    }
  }
  text += "] } }\n";
  return text;
}

std::string objectText(int i) {
  char buf[400];
  std::snprintf(buf, sizeof buf,
                "DEF obj_%d Transform {\n translation %d %d 0\n children [\n"
                "  Shape {\n   appearance Appearance {\n"
                "    material DEF Mat_obj_%d Material { diffuseColor 0.8 0.2 0.1 }\n"
                "   }\n   geometry Box { size 1 1 1 }\n  }\n ]\n}\n",
                i, i % 100, i / 100, i);
  return buf;
}

// 20000 DEF'd Transform/Shape/Material/Box objects (about 3.6 MB).
std::string objectsText(int count = 20000) {
  std::string text = "#VRML V2.0 utf8\n";
  for (int i = 0; i < count; ++i) text += objectText(i);
  return text;
}

namespace {

void parseBench(benchmark::State& state, const std::string& text) {
  ParseOptions options;
  for (auto _ : state) {
    Scene scene;
    ParseError error;
    if (!parseVrml(text, options, scene, error)) state.SkipWithError(error.text().c_str());
    benchmark::DoNotOptimize(scene.items.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}

void BM_ParseTerrain(benchmark::State& state) {
  static const std::string text = terrainText();
  parseBench(state, text);
}
BENCHMARK(BM_ParseTerrain)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ParseObjects(benchmark::State& state) {
  static const std::string text = objectsText();
  parseBench(state, text);
}
BENCHMARK(BM_ParseObjects)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The lexer's bulk number reader alone, on the terrain's two lists: its
// points (groups of three floats) and its face indices.
void BM_PlainNumbers(benchmark::State& state) {
  // Padded: the bulk reader leaves a text's last few bytes to the others.
  static const std::string text = terrainText() + std::string(64, ' ');
  const size_t points = text.find('[') + 1;
  const size_t indices = text.find('[', points) + 1;
  std::vector<float> floats(3 * 700 * 700);
  std::vector<int32_t> ints(5 * 699 * 699);
  for (auto _ : state) {
    Lexer pointLexer(std::string_view(text).substr(points));
    Lexer indexLexer(std::string_view(text).substr(indices));
    if (pointLexer.readPlainFloats(floats.data(), floats.size(), 3) != floats.size() ||
        indexLexer.readPlainInt32s(ints.data(), ints.size()) != ints.size()) {
      state.SkipWithError("a list was not read whole");
    }
    benchmark::DoNotOptimize(floats.data());
    benchmark::DoNotOptimize(ints.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (text.size() - points)));
}
BENCHMARK(BM_PlainNumbers)->Unit(benchmark::kMillisecond);

// Heap in use, from the allocator's own count (small chunks and mmapped ones).
double heapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<double>(info.uordblks + info.hblkhd);
}

// The heap a parsed objects scene holds, per object (5 nodes, 2 DEF names).
// With this many nodes the process spends most of its load time having
// fresh pages zeroed, so these bytes are load time too.
void BM_SceneMemory(benchmark::State& state) {
  constexpr int kObjects = 20000;
  static const std::string text = objectsText(kObjects);
  ParseOptions options;
  double held = 0;
  for (auto _ : state) {
    const double before = heapInUse();
    Scene scene;
    ParseError error;
    if (!parseVrml(text, options, scene, error)) state.SkipWithError(error.text().c_str());
    held = heapInUse() - before;
  }
  state.counters["bytes_per_object"] = held / kObjects;
  state.counters["scene_MB"] = held / 1e6;
}
BENCHMARK(BM_SceneMemory)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_NamedLookup(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  CVrmlBrowser browser;
  std::string text;
  for (int i = 0; i < count; ++i) text += "DEF n" + std::to_string(i) + " Group {}\n";
  VrmlContent content;
  if (!browser.createFromString(text, content) || !browser.appendToRoot(content)) {
    state.SkipWithError("setup failed");
    return;
  }
  std::vector<std::string> names;
  for (int i = 0; i < 1024; ++i) names.push_back("n" + std::to_string((i * 7919) % count));
  size_t k = 0;
  for (auto _ : state) {
    NodeHandle node;
    benchmark::DoNotOptimize(browser.findNode(names[k++ & 1023], node));
  }
}
BENCHMARK(BM_NamedLookup)->Arg(1000)->Arg(100000);

constexpr const char* kTypical = R"(DEF Xform_obj Transform {
  translation 1 2 3
  children [
    Shape {
      appearance Appearance {
        material DEF Mat_obj Material { diffuseColor 0.8 0.1 0.1 transparency 0 }
      }
      geometry Sphere { radius 0.5 }
    }
    DEF Script_obj Script { eventIn SFInt32 in1 field SFVec3f markLocation 0 0 0 }
  ]
})";

void BM_AddTypicalObject(benchmark::State& state) {
  CVrmlBrowser browser;
  int added = 0;
  for (auto _ : state) {
    VrmlContent content;
    if (!browser.createFromString(kTypical, content)) state.SkipWithError("parse failed");
    VisualObject object(content.firstNode());
    browser.appendToRoot(content);
    NodeHandle xform, mat, script;
    browser.findNode("Xform_obj", xform);
    browser.findNode("Mat_obj", mat);
    browser.findNode("Script_obj", script);
    browser.field(script, "in1", object.inputs[0]);
    browser.field(xform, "scale", object.scale);
    browser.field(xform, "translation", object.innerTranslation);
    browser.field(object.content, "rotation", object.rotation);
    browser.field(object.content, "children", object.children);
    browser.field(object.content, "translation", object.translation);
    browser.field(mat, "transparency", object.transparency);
    browser.field(mat, "diffuseColor", object.diffuseColor);
    browser.field(mat, "emissiveColor", object.emissiveColor);
    object.takeSnapshot();
    benchmark::DoNotOptimize(object.snapshot().data());
    if (++added == 1000) {  // keep the scene at a realistic size
      state.PauseTiming();
      browser.removeAllRoots();
      added = 0;
      state.ResumeTiming();
    }
  }
  state.counters["bytes"] = static_cast<double>(std::string_view(kTypical).size());
}
BENCHMARK(BM_AddTypicalObject)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kestrel

// "--write-inputs DIR" writes the two generated scenes as terrain.wrl and
// objects.wrl (for timing other programs on the same files) and exits.
int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--write-inputs") {
    const std::string dir = argv[2];
    std::FILE* t = std::fopen((dir + "/terrain.wrl").c_str(), "wb");
    std::FILE* o = std::fopen((dir + "/objects.wrl").c_str(), "wb");
    if (t == nullptr || o == nullptr) return 1;
    const std::string terrain = kestrel::terrainText();
    const std::string objects = kestrel::objectsText();
    std::fwrite(terrain.data(), 1, terrain.size(), t);
    std::fwrite(objects.data(), 1, objects.size(), o);
    std::fclose(t);
    std::fclose(o);
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
