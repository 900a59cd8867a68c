// Whole-file reads of what scenes name: FIFOs and devices are refused
// without blocking, and the size limit holds for files and their growth.
#include "viewer/browser/file_input.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

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

}  // namespace
}  // namespace kestrel
