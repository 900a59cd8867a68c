// Scene files read through a mapping: the same text and refusals as a
// read, no crash when the file shrinks under the mapping, and nothing of
// a parsed scene left pointing into the mapping once it is gone.
#include "viewer/browser/file_mapping.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "viewer/browser/file_input.h"
#include "viewer/browser/gzip_test_support.h"
#include "viewer/browser/parser.h"
#include "viewer/browser/scene_check.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

class ScratchDir {
 public:
  ScratchDir() : path_(fs::temp_directory_path() / ("kestrel-map-" + std::to_string(::getpid()))) {
    fs::create_directories(path_);
  }
  ~ScratchDir() { fs::remove_all(path_); }
  std::string write(const char* name, const std::string& bytes) const {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
    return (path_ / name).string();
  }

 private:
  fs::path path_;
};

// A scene of COUNT DEF'd Transforms with a string each, large enough to be
// mapped from about 3000 on.
std::string namedScene(int count) {
  std::string text = "#VRML V2.0 utf8\n";
  for (int i = 0; i < count; ++i) {
    text += "DEF node_" + std::to_string(i) +
            " Transform { translation 1.5 2.25 3 children Shape { geometry Text { string \"t" +
            std::to_string(i) + "\" } } }\n";
  }
  return text;
}

TEST(SceneTextFile, LargeFilesAreMappedAndReadAsTheyAre) {
  ScratchDir dir;
  const std::string large = namedScene(5000);
  ASSERT_GE(large.size(), kMapFromBytes);
  SceneText text;
  ASSERT_EQ(readSceneFile(dir.write("large.wrl", large), text), FileRead::kOk);
  EXPECT_TRUE(text.mapped());
  EXPECT_EQ(text.view(), large);
  EXPECT_FALSE(text.cutShort());

  // Small files, gzip data and text from elsewhere are buffers.
  ASSERT_EQ(readSceneFile(dir.write("small.wrl", "#VRML V2.0 utf8\n"), text), FileRead::kOk);
  EXPECT_FALSE(text.mapped());
  EXPECT_EQ(text.view(), "#VRML V2.0 utf8\n");
  std::string noise;
  for (uint32_t i = 0, x = 1; i < 400000; ++i, x = x * 1103515245 + 12345) {
    noise += static_cast<char>('a' + (x >> 16) % 26);
  }
  const std::string packed = testing::gzipped(large + "# " + noise + "\n");
  ASSERT_GE(packed.size(), kMapFromBytes);
  ASSERT_EQ(readSceneFile(dir.write("large.wrl.gz", packed), text), FileRead::kOk);
  EXPECT_FALSE(text.mapped());
  EXPECT_EQ(text.view(), large + "# " + noise + "\n");
  EXPECT_EQ(readSceneText(dir.write("bomb.wrl.gz", packed), large.size(), text),
            FileRead::kInflatedTooLarge);
  EXPECT_TRUE(text.view().empty());
  text = std::string("made");
  EXPECT_FALSE(text.mapped());
  EXPECT_EQ(std::string_view(text), "made");

  // The refusals of a read hold for a mapping too.
  EXPECT_EQ(readSceneText(dir.write("over.wrl", large), large.size() - 1, text),
            FileRead::kTooLarge);
  EXPECT_TRUE(text.view().empty());
  EXPECT_EQ(readSceneFile("/dev/zero", text), FileRead::kNotRegular);
  const std::string pipe = dir.write("unused", "") + ".fifo";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(readSceneFile(pipe, text), FileRead::kNotRegular);
}

TEST(SceneTextFile, AFileCutShortUnderItsMappingReadsAsZerosWithoutACrash) {
  ScratchDir dir;
  const std::string bytes(3 * 65536 + 100, 'x');
  const std::string path = dir.write("shrinking.wrl", bytes + std::string(kMapFromBytes, 'y'));
  SceneText text;
  ASSERT_EQ(readSceneFile(path, text), FileRead::kOk);
  ASSERT_TRUE(text.mapped());
  ASSERT_EQ(::truncate(path.c_str(), off_t(bytes.size())), 0);
  // Every byte is still readable: those of the pages the file lost are
  // zeros now; what the file kept is unchanged.
  const std::string_view view = text.view();
  size_t zeros = 0, kept = 0;
  for (char c : view) {
    zeros += c == '\0';
    kept += c == 'x';
  }
  EXPECT_EQ(kept, bytes.size());
  EXPECT_GE(zeros, kMapFromBytes - 65536);
  EXPECT_TRUE(text.cutShort());

  // A file untouched under its mapping is not cut short.
  SceneText whole;
  ASSERT_EQ(readSceneFile(dir.write("whole.wrl", bytes + std::string(kMapFromBytes, 'y')), whole),
            FileRead::kOk);
  for (char c : whole.view()) ASSERT_NE(c, '\0');
  EXPECT_FALSE(whole.cutShort());
}

TEST(SceneTextFile, ACheckOfAFileCutShortWhileParsedSaysSo) {
  ScratchDir dir;
  const std::string path = dir.write("cut.wrl", namedScene(5000));
  std::ostringstream out;
  // The reader maps the file, then the file loses its second half before
  // the parse reads it.
  auto readThenCut = [](const std::string& file, SceneText& text, std::string& problem) {
    if (!readSceneTextOrSayWhy(file, text, problem)) return false;
    return ::truncate(file.c_str(), off_t(text.view().size() / 2)) == 0;
  };
  EXPECT_EQ(checkSceneFiles({path}, out, readThenCut), 1);
  EXPECT_EQ(out.str(), path + ": cannot read the file: it was cut short while being read\n");
}

TEST(SceneTextFile, AParsedSceneOutlivesTheMappingItWasReadFrom) {
  ScratchDir dir;
  const std::string path = dir.write("names.wrl", namedScene(5000));
  Scene scene;
  {
    SceneText text;
    ASSERT_EQ(readSceneFile(path, text), FileRead::kOk);
    ASSERT_TRUE(text.mapped());
    ParseError error;
    ASSERT_TRUE(parseVrml(text, ParseOptions{}, scene, error)) << error.text();
  }
  // The pages are unmapped: a name or string still viewing them would
  // fault here.
  ASSERT_EQ(scene.items.size(), 5000u);
  size_t named = 0;
  scene.names.forEach([&](std::string_view name, const NodePtr& node) {
    named += name.starts_with("node_") && node->name == name;
  });
  EXPECT_EQ(named, 5000u);
  ASSERT_NE(scene.names.find("node_4999"), nullptr);
}

TEST(SceneTextFile, ParsesRacingATruncatingWriterNeverCrash) {
  // Another program rewriting the file while it is read: each parse either
  // succeeds, fails or is refused as cut short, and the process lives.
  ScratchDir dir;
  const std::string scene = namedScene(4000);
  const std::string path = dir.write("race.wrl", scene);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    while (!stop.load()) {
      ::truncate(path.c_str(), off_t(scene.size() / 3));
      std::ofstream(path, std::ios::binary) << scene;
    }
  });
  int outcomes[2] = {0, 0};
  for (int i = 0; i < 60; ++i) {
    std::ostringstream out;
    outcomes[checkSceneFiles({path}, out)]++;
  }
  stop = true;
  writer.join();
  EXPECT_EQ(outcomes[0] + outcomes[1], 60);
}

}  // namespace
}  // namespace kestrel
