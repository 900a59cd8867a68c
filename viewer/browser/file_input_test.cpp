// Whole-file reads of what scenes name: FIFOs and devices are refused
// without blocking, and the size limit holds for files and their growth.
// Large scene files are mapped: the same text and refusals as a read, no
// crash when the file shrinks under the mapping, and nothing of a parsed
// scene left pointing into the mapping once it is gone.
#include "viewer/browser/file_input.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "viewer/browser/gzip_test_support.h"
#include "viewer/browser/parser.h"
#include "viewer/browser/scene_check.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

class ScratchDir {
 public:
  ScratchDir() : path_(fs::temp_directory_path() / ("kestrel-in-" + std::to_string(::getpid()))) {
    fs::create_directories(path_);
  }
  ~ScratchDir() { fs::remove_all(path_); }
  std::string file(const char* name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

std::string writeFile(const ScratchDir& dir, const char* name, const std::string& bytes) {
  std::ofstream(dir.file(name), std::ios::binary) << bytes;
  return dir.file(name);
}

TEST(FileInput, ReadsRegularFilesUpToTheLimitAndRefusesTheRest) {
  ScratchDir dir;
  std::string bytes;
  std::ofstream(dir.file("ten.txt"), std::ios::binary) << "0123456789";
  EXPECT_EQ(readRegularFile(dir.file("ten.txt"), 10, bytes), FileRead::kOk);
  EXPECT_EQ(bytes, "0123456789");
  EXPECT_EQ(readRegularFile(dir.file("ten.txt"), 9, bytes), FileRead::kTooLarge);
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(refusalText(FileRead::kTooLarge, 9), "larger than the 9 bytes limit");

  // A FIFO without a writer: a blocking open() would wait here for good.
  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
  EXPECT_EQ(readRegularFile(dir.file("pipe"), 1 << 20, bytes), FileRead::kNotRegular);
  // Devices and directories are refused before any read.
  EXPECT_EQ(readRegularFile("/dev/zero", kMaxSceneFileBytes, bytes), FileRead::kNotRegular);
  EXPECT_EQ(readRegularFile(dir.file(""), kMaxSceneFileBytes, bytes), FileRead::kNotRegular);
  EXPECT_EQ(refusalText(FileRead::kNotRegular, 1), "not a regular file");
  FileRead opened = FileRead::kOk;
  EXPECT_EQ(openRegularFile(dir.file("pipe"), opened), -1);
  EXPECT_EQ(opened, FileRead::kNotRegular);
  int fd = openRegularFile(dir.file("ten.txt"), opened);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(opened, FileRead::kOk);
  ::close(fd);
  EXPECT_EQ(readRegularFile(dir.file("missing"), 10, bytes), FileRead::kCannotOpen);
  EXPECT_EQ(refusalText(FileRead::kCannotOpen, 10), "");

  // One byte over the scene limit (a sparse file: no disk space used).
  std::ofstream(dir.file("huge.wrl")).close();
  ASSERT_EQ(::truncate(dir.file("huge.wrl").c_str(), off_t(kMaxSceneFileBytes) + 1), 0);
  EXPECT_EQ(readSceneFile(dir.file("huge.wrl"), bytes), FileRead::kTooLarge);
  EXPECT_EQ(refusalText(FileRead::kTooLarge, kMaxSceneFileBytes), "larger than the 256 MiB limit");
  EXPECT_EQ(byteLimitText(kMaxImageFileBytes), "64 MiB");
  EXPECT_EQ(byteLimitText(4096), "4 KiB");
}

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
  ASSERT_EQ(readSceneFile(writeFile(dir, "large.wrl", large), text), FileRead::kOk);
  EXPECT_TRUE(text.mapped());
  EXPECT_EQ(text.view(), large);
  EXPECT_FALSE(text.cutShort());

  // Small files, gzip data and text from elsewhere are buffers.
  ASSERT_EQ(readSceneFile(writeFile(dir, "small.wrl", "#VRML V2.0 utf8\n"), text), FileRead::kOk);
  EXPECT_FALSE(text.mapped());
  EXPECT_EQ(text.view(), "#VRML V2.0 utf8\n");
  std::string noise;
  for (uint32_t i = 0, x = 1; i < 400000; ++i, x = x * 1103515245 + 12345) {
    noise += static_cast<char>('a' + (x >> 16) % 26);
  }
  const std::string packed = testing::gzipped(large + "# " + noise + "\n");
  ASSERT_GE(packed.size(), kMapFromBytes);
  ASSERT_EQ(readSceneFile(writeFile(dir, "large.wrl.gz", packed), text), FileRead::kOk);
  EXPECT_FALSE(text.mapped());
  EXPECT_EQ(text.view(), large + "# " + noise + "\n");
  EXPECT_EQ(readSceneText(writeFile(dir, "bomb.wrl.gz", packed), large.size(), text),
            FileRead::kInflatedTooLarge);
  EXPECT_TRUE(text.view().empty());
  text = std::string("made");
  EXPECT_FALSE(text.mapped());
  EXPECT_EQ(std::string_view(text), "made");

  // The refusals of a read hold for a mapping too.
  EXPECT_EQ(readSceneText(writeFile(dir, "over.wrl", large), large.size() - 1, text),
            FileRead::kTooLarge);
  EXPECT_TRUE(text.view().empty());
  EXPECT_EQ(readSceneFile("/dev/zero", text), FileRead::kNotRegular);
  const std::string pipe = writeFile(dir, "unused", "") + ".fifo";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(readSceneFile(pipe, text), FileRead::kNotRegular);
}

TEST(SceneTextFile, AFileCutShortUnderItsMappingReadsAsZerosWithoutACrash) {
  ScratchDir dir;
  const std::string bytes(3 * 65536 + 100, 'x');
  const std::string path = writeFile(dir, "shrinking.wrl", bytes + std::string(kMapFromBytes, 'y'));
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
  const std::string untouched = bytes + std::string(kMapFromBytes, 'y');
  ASSERT_EQ(readSceneFile(writeFile(dir, "whole.wrl", untouched), whole), FileRead::kOk);
  for (char c : whole.view()) ASSERT_NE(c, '\0');
  EXPECT_FALSE(whole.cutShort());
}

TEST(SceneTextFile, ACheckOfAFileCutShortWhileParsedSaysSo) {
  ScratchDir dir;
  const std::string path = writeFile(dir, "cut.wrl", namedScene(5000));
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
  const std::string path = writeFile(dir, "names.wrl", namedScene(5000));
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
  const std::string path = writeFile(dir, "race.wrl", scene);
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
