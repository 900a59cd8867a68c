// Whole-file reads of what scenes name: FIFOs and devices are refused
// without blocking, and the size limit holds for files and their growth.
// Large scene files are mapped: the same text and refusals as a read, no
// crash when the file shrinks under the mapping, and nothing of a parsed
// scene left pointing into the mapping once it is gone.
#include "viewer/browser/file_input.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
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

// The resident size of the mapping that starts at BEGIN, from
// /proc/self/smaps; -1 when there is none.
long residentKiB(const void* begin) {
  std::ifstream smaps("/proc/self/smaps");
  const auto start = reinterpret_cast<uintptr_t>(begin);
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    if (line.find('-') != std::string::npos && !line.starts_with("Rss:") &&
        std::isxdigit(static_cast<unsigned char>(line[0]))) {
      inside = std::stoull(line.substr(0, line.find('-')), nullptr, 16) == start;
    } else if (inside && line.starts_with("Rss:")) {
      return std::stol(line.substr(4));
    }
  }
  return -1;
}

// A parse tells what it has read, between statements and inside long
// number lists, and those pages leave the process: a large file is not held
// whole in memory beside the scene made from it. What was dropped reads the
// same when touched again. A text parsed in parts tells from each part's
// thread.
TEST(SceneTextFile, PagesAlreadyParsedLeaveTheProcess) {
  ScratchDir dir;
  std::string points = "#VRML V2.0 utf8\nShape { geometry PointSet { coord Coordinate { point [\n";
  for (int i = 0; points.size() < 3 * kParsedStep; ++i) {
    points += std::to_string(i) + ".5 " + std::to_string(i % 97) + " -2.25,\n";
  }
  points += "] } } }\n";
  for (unsigned threads : {1u, 4u}) {
    for (const std::string& content : {namedScene(60000), points}) {
      ASSERT_GT(content.size(), 3 * kParsedStep);
      SceneText text;
      ASSERT_EQ(readSceneFile(writeFile(dir, "big.wrl", content), text), FileRead::kOk);
      ASSERT_TRUE(text.mapped());
      std::mutex mutex;
      std::vector<std::pair<size_t, size_t>> told;
      ParseOptions options;
      options.threads = threads;
      options.parsedRange = [&](size_t begin, size_t end) {
        const std::lock_guard lock(mutex);
        told.emplace_back(begin, end);
        text.dropPages(begin, end);
      };
      Scene scene;
      ParseError error;
      ASSERT_TRUE(parseVrml(text, options, scene, error)) << error.text();
      ASSERT_GE(told.size(), 2u);
      std::sort(told.begin(), told.end());
      size_t covered = 0, reach = 0;
      for (const auto& [begin, end] : told) {
        EXPECT_LT(begin, end);
        EXPECT_LE(end, content.size());
        if (end > reach) covered += end - std::max(begin, reach);
        reach = std::max(reach, end);
      }
      // All but the tail after the last whole step, which no one reports.
      EXPECT_GE(covered + kParsedStep + 64, content.size()) << threads;
      const long resident = residentKiB(text.view().data());
      ASSERT_GE(resident, 0);
      // Each range keeps the pages it only partly covers.
      EXPECT_LE(resident * 1024, long(content.size() - covered + (told.size() + 1) * 8192))
          << threads;
      EXPECT_EQ(text.view(), content);  // read again from the file
    }
  }
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
