#include "modules/host/document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "modules/common/jregistry.h"
#include "modules/host/builtin_modules.h"
#include "modules/host/test_paths.h"

namespace kestrel {
namespace {

using testing::TempDir;

class DocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registerBuiltinModules();
    options.pluginDir = testing::pluginDir();
  }
  std::unique_ptr<Document> load(const std::string& text) {
    error.clear();
    return loadDocument(text, options, &error);
  }
  // The message for a refused document.
  std::string refusal(const std::string& text) {
    auto doc = load(text);
    EXPECT_EQ(doc, nullptr) << text;
    return error;
  }
  static std::string property(JAddObj& m, const char* name) {
    JArray list = m.getProperties();
    const JProperty* p = list.find(name);
    if (!p) return "<none>";
    if (auto* s = p->asString()) return s->getText().str();
    if (auto* i = p->asInteger()) return std::to_string(i->getValue());
    return "?";
  }

  LoadOptions options;
  std::string error;
};

const char* kCue = R"({
  "modules": [
    {"name": "clock", "class": "JClock", "properties": {"period": 20, "ticks": 3}},
    {"name": "pacer", "class": "JCuePacer", "properties": {"command": "ry"}},
    {"name": "out", "class": "JPrinter"}
  ],
  "links": [
    {"from": "clock", "output": "tick", "to": "pacer", "input": 0},
    {"from": "pacer", "output": 0, "to": "out", "input": "value 0"}
  ]
})";

TEST_F(DocumentTest, BuildsModulesPropertiesAndLinksFindingPluginsByClass) {
  auto doc = load(kCue);
  ASSERT_NE(doc, nullptr) << error;
  EXPECT_EQ(doc->graph.nodes().size(), 3u);
  EXPECT_EQ(doc->graph.links().size(), 2u);
  JAddObj* pacer = doc->graph.find("pacer");
  ASSERT_NE(pacer, nullptr);
  EXPECT_EQ(pacer->className(), "JCuePacer");
  EXPECT_EQ(property(*pacer, "command"), "ry");
  EXPECT_EQ(property(*doc->graph.find("clock"), "ticks"), "3");
  EXPECT_EQ(pacer->inputSet(0).size(), 1u);
  EXPECT_TRUE(doc->warnings.empty());
}

TEST_F(DocumentTest, TheShippedDemoDocumentsLoad) {
  for (const char* name : {"cue.json", "gps.json"}) {
    auto doc = loadDocumentFile(testing::sourcePath(std::string("share/loom/") + name), options, &error);
    EXPECT_NE(doc, nullptr) << name << ": " << error;
  }
}

TEST_F(DocumentTest, PersistenceRoundTripGivesTheSameDocument) {
  auto doc = load(kCue);
  ASSERT_NE(doc, nullptr) << error;
  const std::string saved = saveDocument(*doc);
  EXPECT_NE(saved.find("\"command\": \"ry\""), std::string::npos) << saved;
  doc.reset();
  auto again = load(saved);
  ASSERT_NE(again, nullptr) << error << "\n" << saved;
  EXPECT_EQ(property(*again->graph.find("pacer"), "command"), "ry");
  EXPECT_EQ(property(*again->graph.find("clock"), "period"), "20");
  EXPECT_EQ(saveDocument(*again), saved);
}

TEST_F(DocumentTest, SavedFileReplacesTheOldOneWhole) {
  TempDir dir{false};
  auto doc = load(kCue);
  ASSERT_NE(doc, nullptr) << error;
  const std::string path = dir.write("saved.json", "old");
  ASSERT_TRUE(saveDocumentFile(*doc, path, &error)) << error;
  EXPECT_EQ(dir.read("saved.json"), saveDocument(*doc));
  EXPECT_FALSE(std::filesystem::exists(path + ".saving"));
  EXPECT_FALSE(saveDocumentFile(*doc, dir.file("no/such/dir/x.json"), &error));
  EXPECT_NE(error.find("cannot write"), std::string::npos);
}

TEST_F(DocumentTest, ContentIsRestoredAfterProperties) {
  auto doc = load(R"({"modules": [{"name": "p", "class": "JCuePacer",
      "properties": {"command": "a"}, "content": {"command": "b", "x": 12}}]})");
  ASSERT_NE(doc, nullptr) << error;
  EXPECT_EQ(property(*doc->graph.find("p"), "command"), "b");
  EXPECT_EQ(doc->graph.find("p")->extent().x, 12);
}

TEST_F(DocumentTest, MalformedDocumentsAreRefusedWithTheProblemNamed) {
  EXPECT_NE(refusal("{").find("not a JSON document"), std::string::npos);
  EXPECT_EQ(refusal("[]"), "the document is not a JSON object");
  EXPECT_EQ(refusal("{}"), "the document has no \"modules\" list");
  EXPECT_EQ(refusal(R"({"modules": [], "moduls": []})"), "unknown key 'moduls' in the document");
  EXPECT_EQ(refusal(R"({"modules": [{"class": "JClock"}]})"), "a module has no \"name\"");
  EXPECT_EQ(refusal(R"({"modules": [{"name": "a"}]})"), "module 'a' has no \"class\"");
  EXPECT_EQ(refusal(R"({"modules": [{"name": "a", "class": "JClock", "colour": 1}]})"),
            "module 'a': unknown key 'colour'");
  EXPECT_EQ(refusal(R"({"modules": [{"name": "a", "class": "JClock"},
                                    {"name": "a", "class": "JClock"}]})"),
            "two modules are named 'a'");
}

TEST_F(DocumentTest, UnknownClassesAndMissingLibrariesAreRefused) {
  EXPECT_EQ(refusal(R"({"modules": [{"name": "a", "class": "JNothing"}]})"),
            "module 'a': unknown class 'JNothing'");
  const std::string missing =
      refusal(R"({"libraries": ["JGone"], "modules": [{"name": "a", "class": "JGone"}]})");
  EXPECT_NE(missing.find("module 'a': unknown class 'JGone'; plug-in '"), std::string::npos);
  EXPECT_NE(missing.find("libJGone.so: cannot open shared object file"), std::string::npos)
      << "the loader's own message: " << missing;
}

TEST_F(DocumentTest, BrokenPluginsAreReportedAndSkippedWhenNotUsed) {
  const std::string dir = testing::testPluginDir();
  auto doc = load(R"({"libraries": [")" + dir + R"(/libNoEntry.so", ")" + dir +
                  R"(/libNoModule.so", ")" + dir + R"(/libUnresolved.so"],
                     "modules": [{"name": "c", "class": "JConstant"}]})");
  ASSERT_NE(doc, nullptr) << error;
  ASSERT_EQ(doc->warnings.size(), 3u);
  std::string all;
  for (const auto& w : doc->warnings) all += w + "\n";
  EXPECT_NE(all.find("undefined symbol: kestrelModuleEntry"), std::string::npos) << all;
  EXPECT_NE(all.find("libNoModule.so: exports no module"), std::string::npos) << all;
  EXPECT_NE(all.find("undefined symbol: symbolThatDoesNotExist"), std::string::npos) << all;
}

TEST_F(DocumentTest, BadLinksAreRefused) {
  const std::string modules = R"("modules": [
      {"name": "c1", "class": "JClock"}, {"name": "c2", "class": "JClock"},
      {"name": "p", "class": "JCuePacer"}, {"name": "s", "class": "JSatFix"}])";
  auto withLinks = [&](const std::string& links) {
    return "{" + modules + R"(, "links": [)" + links + "]}";
  };
  EXPECT_EQ(refusal(withLinks(R"({"from": "c1", "output": 1, "to": "p", "input": 0})")),
            "'c1' has no output 1 (it has 1)");
  EXPECT_EQ(refusal(withLinks(R"({"from": "c1", "output": 0, "to": "p", "input": "clock"})")),
            "'p' has no input tagged 'clock'");
  EXPECT_EQ(refusal(withLinks(R"({"from": "c1", "output": 0, "to": "p", "input": 0},
                                 {"from": "c2", "output": 0, "to": "p", "input": 0})")),
            "input 'tick' (0) of 'p' takes only one link");
  EXPECT_EQ(refusal(withLinks(R"({"from": "p", "output": 0, "to": "s", "input": 1})")),
            "wrong value types: output 'result' (0) of 'p' gives string, input 'enable DEBUG' "
            "(1) of 's' takes integer");
  EXPECT_EQ(refusal(withLinks(R"({"from": "c1", "output": 0, "to": "p"})")),
            "a link has no \"input\"");
  EXPECT_EQ(refusal(withLinks(R"({"from": "zz", "output": 0, "to": "p", "input": 0})")),
            "a link comes from 'zz', which is no module");
}

TEST_F(DocumentTest, PropertiesOfTheWrongKindRangeOrNameAreRefused) {
  auto one = [&](const std::string& cls, const std::string& props) {
    return refusal(R"({"modules": [{"name": "m", "class": ")" + cls + R"(", "properties": )" +
                   props + "}]}");
  };
  EXPECT_EQ(one("JClock", R"({"period": "fast"})"), "module 'm': property 'period' wants an integer");
  EXPECT_EQ(one("JClock", R"({"period": 0})"),
            "module 'm': property 'period' must lie between 1 and 86400000");
  EXPECT_EQ(one("JClock", R"({"speed": 1})"),
            "module 'm' has no property 'speed' (it has: period, ticks, mode)");
  EXPECT_EQ(one("JCuePacer", R"({"command": 3})"), "module 'm': property 'command' wants a string");
  EXPECT_EQ(one("JFormat", R"({"pattern": "%n"})"),
            "module 'm': property 'pattern' refused the value \"%n\"");
  EXPECT_EQ(one("JSatFix", R"({"x": 1})"),
            "module 'm' has no property 'x' (it has: any talker, signed degrees, verify checksum)");
  EXPECT_EQ(one("JSatFix", R"({"verify checksum": 3})"),
            "module 'm': property 'verify checksum' must lie between 0 and 2");
  EXPECT_EQ(refusal(R"({"modules": [{"name": "m", "class": "JClock", "content": {"a": [1]}}]})"),
            "module 'm': content 'a' must be a string or a number");
}

TEST(PluginSet, LoadsOnceAndRemovesItsClassesWhenDestroyed) {
  {
    PluginSet plugins;
    PluginLoad first = plugins.load(testing::pluginDir() + "/libJSatFix.so");
    ASSERT_TRUE(first.ok) << first.message;
    EXPECT_EQ(first.classes, std::vector<std::string>{"JSatFix"});
    PluginLoad second = plugins.load(testing::pluginDir() + "/../plugins/libJSatFix.so");
    EXPECT_TRUE(second.ok);
    EXPECT_EQ(plugins.loadedPaths().size(), 1u);
    EXPECT_TRUE(JModuleRegistry::global().contains("JSatFix"));
    auto failures = plugins.loadDirectory(testing::testPluginDir());
    EXPECT_EQ(failures.size(), 3u);
    for (const auto& [path, result] : failures) EXPECT_FALSE(result.ok) << path;
  }
  EXPECT_FALSE(JModuleRegistry::global().contains("JSatFix"));
  EXPECT_EQ(PluginSet::pathFor("/p", "JX"), "/p/libJX.so");
  EXPECT_EQ(PluginSet::pathFor("/p", "./libJX.so"), "./libJX.so");
}

}  // namespace
}  // namespace kestrel
