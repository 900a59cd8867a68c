// Real worlds that need the lenient, decompressing reader
// (testing/corpus/vrml_lenient): they load through the browser with one log
// line per skipped problem, and their relative texture URLs name the
// corpus files beside them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "viewer/browser/node.h"
#include "viewer/browser/scene_check.h"
#include "viewer/browser/vrml_browser.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

fs::path corpus(const char* name) {
  const char* src = std::getenv("KESTREL_SOURCE_DIR");
  return fs::path(src ? src : ".") / "testing" / "corpus" / "vrml_lenient" / name;
}

TEST(LenientCorpus, CompressedAndExtendedWorldsLoadWithOneWarning) {
  fs::path logDir = fs::temp_directory_path() / ("kestrel-lcorpus-" + std::to_string(::getpid()));
  fs::create_directories(logDir);
  openLogIn(logDir.string());
  const std::string cones = corpus("castle-engine__demo-models__cones.wrl.gz").string();
  const std::string kings = corpus("castle-engine__demo-models__kings_head_gif.wrl").string();
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromFile(cones, content)) << browser.lastError().text();
  ASSERT_TRUE(browser.appendToRoot(content));
  NodeHandle before;
  EXPECT_TRUE(browser.findNode("RenderBefore", before));

  ASSERT_TRUE(browser.createFromFile(kings, content)) << browser.lastError().text();
  ASSERT_TRUE(browser.appendToRoot(content));
  // The texture's URL now names the corpus GIF beside the world's folder.
  bool found = false;
  std::vector<NodePtr> stack = browser.scene().rootNodes();
  while (!stack.empty()) {
    NodePtr n = stack.back();
    stack.pop_back();
    if (!n) continue;
    if (n->type->name == "ImageTexture") {
      const auto& urls = *n->field("url")->as<std::vector<std::string>>();
      ASSERT_EQ(urls.size(), 1u);
      EXPECT_TRUE(fs::is_regular_file(urls[0])) << urls[0];
      EXPECT_TRUE(urls[0].ends_with("crown.gif"));
      found = true;
    }
    for (size_t i = 0; i < n->valueCount(); ++i) {
      const FieldValue& v = n->value(i);
      if (const NodePtr* one = v.as<NodePtr>()) stack.push_back(*one);
      if (const auto* many = v.as<std::vector<NodePtr>>()) {
        stack.insert(stack.end(), many->begin(), many->end());
      }
    }
  }
  EXPECT_TRUE(found);
  openLogIn("");
  std::ifstream in(logDir / "kestrel.log");
  std::string log((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(log, "VRML file problem skipped: \"" + kings +
                     ": line 24, column 11: 'ImageTexture' has no field 'alphaChannel'; its "
                     "value is skipped\"\n");
  fs::remove_all(logDir);

  std::ostringstream out;
  EXPECT_EQ(checkSceneFiles({cones, kings}, out), 0) << out.str();
}

}  // namespace
}  // namespace kestrel
