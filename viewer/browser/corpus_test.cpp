// The corpus of real VRML97 files (testing/corpus/vrml): each must parse (all of them are
// valid), and each must read back the same after being written out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "viewer/browser/file_input.h"
#include "viewer/browser/parser.h"
#include "viewer/browser/scene_check.h"
#include "viewer/browser/scene_compare.h"
#include "viewer/browser/url_resolver.h"
#include "viewer/browser/writer.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

fs::path corpusDir() {
  const char* src = std::getenv("KESTREL_SOURCE_DIR");
  return fs::path(src ? src : ".") / "testing" / "corpus" / "vrml";
}

std::vector<std::string> corpusFiles() {
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(corpusDir())) {
    if (e.path().extension() == ".wrl") files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool parseFile(const std::string& path, Scene& scene, ParseError& error) {
  std::string text;
  if (readSceneFile(path, text) != FileRead::kOk) return false;
  UrlResolver resolver("/nonexistent-render-root");
  ParseOptions o;
  o.baseDir = UrlResolver::directoryOf(path);
  o.load = [&resolver](const std::string& u, const std::string& b, std::string& t,
                       std::string& d) { return resolver.load(u, b, t, d); };
  return parseVrml(text, o, scene, error);
}

TEST(Corpus, EveryFileParses) {
  auto files = corpusFiles();
  ASSERT_EQ(files.size(), 20u) << corpusDir();
  std::ostringstream out;
  EXPECT_EQ(checkSceneFiles(files, out), 0) << out.str();
  // One "ok" line per file.
  std::string report = out.str();
  EXPECT_EQ(static_cast<size_t>(std::count(report.begin(), report.end(), '\n')), files.size());
  EXPECT_EQ(report.find(": line"), std::string::npos) << report;
}

TEST(Corpus, EveryFileRoundTrips) {
  for (const std::string& path : corpusFiles()) {
    Scene first;
    ParseError error;
    ASSERT_TRUE(parseFile(path, first, error)) << path << " " << error.text();
    WriteResult written = writeScene(first);
    EXPECT_TRUE(written.exact) << path;
    Scene second;
    ParseOptions o;
    o.baseDir = first.baseDir;
    ASSERT_TRUE(parseVrml(written.text, o, second, error))
        << path << " " << error.text() << "\n" << written.text;
    std::string why;
    EXPECT_TRUE(sameScene(first, second, &why)) << path << ": " << why;
    EXPECT_EQ(writeScene(second).text, written.text) << path;
  }
}

TEST(Corpus, ExternProtoOfThePairResolves) {
  Scene scene;
  ParseError error;
  ASSERT_TRUE(parseFile((corpusDir() / "castle-engine__demo-models__extern_proto_routes.wrl")
                            .string(),
                        scene, error));
  bool found = false;
  for (const SceneItem& item : scene.items) {
    if (item.kind() == SceneItem::Kind::Proto && item.proto()->external) {
      ASSERT_TRUE(item.proto()->resolved);
      EXPECT_EQ(item.proto()->resolved->name, "Shuttle");
      found = true;
    }
  }
  EXPECT_TRUE(found);
  NodePtr instance = scene.firstNode();
  ASSERT_TRUE(instance);
  EXPECT_FALSE(instance->extras().protoBody.empty());
}

}  // namespace
}  // namespace kestrel
