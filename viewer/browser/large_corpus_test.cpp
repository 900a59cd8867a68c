// Large real worlds (testing/corpus/large), the ones the first-frame benchmark
// opens: each loads through the browser with warnings only (no error line in
// kestrel.log or in the check report), and their content is all there.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "viewer/browser/node.h"
#include "viewer/browser/scene_check.h"
#include "viewer/browser/vrml_browser.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

fs::path large(const char* name) {
  const char* src = std::getenv("KESTREL_SOURCE_DIR");
  return fs::path(src ? src : ".") / "testing" / "corpus" / "large" / name;
}

// Every node reachable from the roots, counted by type name.
std::map<std::string, int> countTypes(const std::vector<NodePtr>& roots) {
  std::map<std::string, int> counts;
  std::vector<NodePtr> stack = roots;
  while (!stack.empty()) {
    NodePtr n = stack.back();
    stack.pop_back();
    if (!n) continue;
    ++counts[n->type->name];
    for (size_t i = 0; i < n->valueCount(); ++i) {
      const FieldValue& v = n->value(i);
      if (const NodePtr* one = v.as<NodePtr>()) stack.push_back(*one);
      if (const auto* many = v.as<std::vector<NodePtr>>()) {
        stack.insert(stack.end(), many->begin(), many->end());
      }
    }
  }
  return counts;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(LargeCorpus, EveryWorldLoadsWithWarningsOnly) {
  fs::path logDir = fs::temp_directory_path() / ("kestrel-large-" + std::to_string(::getpid()));
  fs::create_directories(logDir);
  openLogIn(logDir.string());
  const std::string mesh = large("castle-engine__demo-models__collisions.wrl").string();
  const std::string maze =
      large("castle-engine__demo-models__regular_labirynth_chinchilla.wrl.gz").string();
  const std::string cubes = large("castle-engine__demo-models__cubes_mesh_large.wrl").string();
  const std::string castle = large("castle_with_trees/castle_with_trees.wrl").string();
  std::map<std::string, std::map<std::string, int>> types;
  for (const std::string& file : {mesh, maze, cubes, castle}) {
    CVrmlBrowser browser;
    VrmlContent content;
    ASSERT_TRUE(browser.createFromFile(file, content)) << file << browser.lastError().text();
    ASSERT_TRUE(browser.appendToRoot(content)) << file;
    types[file] = countTypes(browser.scene().rootNodes());
  }
  openLogIn("");
  std::ifstream in(logDir / "kestrel.log");
  std::string log((std::istreambuf_iterator<char>(in)), {});
  fs::remove_all(logDir);
  // Only skipped extension fields and clamped values are logged, one line each.
  for (const std::string& line : linesOf(log)) {
    EXPECT_TRUE(line.starts_with("VRML file problem skipped: \"")) << line;
    EXPECT_TRUE(line.find("has no field") != std::string::npos ||
                line.find("is out of range; clamped") != std::string::npos)
        << line;
  }
  EXPECT_GE(types[mesh]["IndexedFaceSet"], 8);
  EXPECT_GE(types[maze]["IndexedFaceSet"], 22);
  EXPECT_GE(types[cubes]["Transform"], 4096);
  EXPECT_GE(types[castle]["ImageTexture"], 6);

  std::ostringstream out;
  EXPECT_EQ(checkSceneFiles({mesh, maze, cubes, castle}, out), 0) << out.str();
  for (const std::string& line : linesOf(out.str())) {
    EXPECT_TRUE(line.ends_with(": ok") || line.find(": warning: ") != std::string::npos)
        << line;
  }
}

}  // namespace
}  // namespace kestrel
