// Every file of the bundled working directory share/kestrel loads without
// an error line, and the start-up files build the demo scene.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "viewer/shell/shell_test_rig.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;
using testing::ShellRig;

const char* const kErrorMarks[] = {"FAILED",      "could not",    "NOT QUEUED",
                                   "NOT OPENING", "NO transform", "false returned",
                                   "Failed",      "DID NOT FIND", "did not get"};

std::string errorLines(const std::string& log) {
  std::string found;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(start, end - start);
    for (const char* mark : kErrorMarks) {
      if (line.find(mark) != std::string::npos) {
        found += line + "\n";
        break;
      }
    }
    start = end + 1;
  }
  return found;
}

// Runs the test in share/kestrel, as the viewer runs there.
class BundledContent : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    fs::current_path(testing::sourcePath("share/kestrel"));
  }
  void TearDown() override { fs::current_path(previous_); }

  static void startUp(ShellRig& rig) { rig.run({"load config.template", "load kestrel.cfg"}); }

 private:
  fs::path previous_;
};

TEST_F(BundledContent, StartUpFilesBuildTheDemoScene) {
  ShellRig rig;
  startUp(rig);
  for (const char* name : {"start", "backdrop", "ball", "label_1", "marker_0", "marker_1",
                           "marker_2", "", "house"}) {
    EXPECT_NE(rig.object(name), nullptr) << "object " << name;
  }
  EXPECT_EQ(errorLines(rig.log()), "") << rig.log();
  EXPECT_TRUE(rig.logHas("CPrismView::TestNode SUCCESS"));
  // The markers were spaced 1.5 apart along x.
  Vec3f at;
  ASSERT_TRUE(rig.object("marker_2")->translation.get(at));
  EXPECT_FLOAT_EQ(at.x, 3.0f);
  EXPECT_TRUE(rig.object("ball")->transparency.valid());
}

TEST_F(BundledContent, EveryBundledFileLoads) {
  std::vector<std::string> files;
  for (const char* dir : {"examples", "render/vrml", "render/terrain", "render/textures"}) {
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
      files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 8u);
  for (const std::string& file : files) {
    ShellRig rig;
    startUp(rig);
    int before = rig.engine.registry().size();
    rig.run({"load " + file});
    EXPECT_EQ(errorLines(rig.log()), "") << file << "\n" << rig.log();
    if (file.ends_with(".png")) {
      EXPECT_EQ(testing::readFile(file).substr(1, 3), "PNG") << file;
      EXPECT_EQ(rig.engine.currentImageFile(), file);
    } else {
      EXPECT_GT(rig.engine.registry().size(), before) << file;
    }
  }
}

TEST_F(BundledContent, RenderRootFilesWithoutViewerLinesParseOnTheirOwn) {
  ShellRig rig;
  for (const char* dir : {"render/vrml", "render/terrain"}) {
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
      // "addtexture" lines are the viewer's own, replaced when it loads them.
      if (testing::readFile(entry.path().string()).find("\naddtexture\n") != std::string::npos) {
        continue;
      }
      VrmlContent content;
      EXPECT_TRUE(rig.engine.browser().createFromFile(entry.path().string(), content))
          << entry.path() << ": " << rig.engine.browser().lastError().message;
    }
  }
}

TEST_F(BundledContent, TheTourCommandFileUsesEveryKindOfFile) {
  ShellRig rig;
  startUp(rig);
  rig.run({"load examples/tour.cmd"});
  EXPECT_EQ(errorLines(rig.log()), "") << rig.log();
  for (const char* name : {"molecule", "hill", "signpost", "map_1", "welcome", "world"}) {
    EXPECT_NE(rig.object(name), nullptr) << "object " << name;
  }
  EXPECT_NE(rig.sceneText().find("aworld.png"), std::string::npos);
  float t = 0;
  ASSERT_TRUE(rig.object("ball")->transparency.get(t));
  EXPECT_NEAR(t, 0.25f, 0.001f);
}

// The command examples of the guide (its fenced blocks without a language
// tag), pasted after the demo scene has started.
std::vector<std::vector<std::string>> guideExamples() {
  std::vector<std::vector<std::string>> blocks;
  std::vector<std::string> lines = testing::readLines("GUIDE.md");
  bool inBlock = false, wanted = false;
  for (const std::string& line : lines) {
    if (line.starts_with("```")) {
      if (!inBlock) {
        wanted = line == "```";
        if (wanted) blocks.emplace_back();
      }
      inBlock = !inBlock;
    } else if (inBlock && wanted) {
      blocks.back().push_back(line);
    }
  }
  return blocks;
}

TEST_F(BundledContent, GuideExamplesRunWithoutErrors) {
  std::vector<std::vector<std::string>> blocks = guideExamples();
  ASSERT_GE(blocks.size(), 5u);
  for (const std::vector<std::string>& block : blocks) {
    ShellRig rig;
    startUp(rig);
    rig.run(block);
    EXPECT_EQ(errorLines(rig.log()), "") << block.front() << "\n" << rig.log();
    EXPECT_EQ(rig.primary.dropped(), 0u);
  }
  ShellRig all;
  startUp(all);
  for (const std::vector<std::string>& block : blocks) all.run(block);
  for (const char* name : {"red", "far", "label_2", "box", "molecule", "hill", "grid", "label"}) {
    EXPECT_NE(all.object(name), nullptr) << "object " << name;
  }
}

}  // namespace
}  // namespace kestrel
