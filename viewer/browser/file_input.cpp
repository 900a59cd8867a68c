#include "viewer/browser/file_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <utility>

namespace kestrel {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// Reads FD to its end into BYTES, stopping past MAXBYTES.
FileRead readAll(int fd, size_t maxBytes, std::string& bytes) {
  char buffer[65536];
  while (true) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return FileRead::kReadFailed;
    if (n == 0) return FileRead::kOk;
    if (bytes.size() + size_t(n) > maxBytes) return FileRead::kTooLarge;
    bytes.append(buffer, size_t(n));
  }
}

}  // namespace

int openRegularFile(const std::string& path, FileRead& result) {
  result = FileRead::kCannotOpen;
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat st {};
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) return -1;
  if (!S_ISREG(st.st_mode)) {
    result = FileRead::kNotRegular;
    return -1;
  }
  result = FileRead::kOk;
  return fd.release();
}

FileRead readRegularFile(const std::string& path, size_t maxBytes, std::string& bytes) {
  bytes.clear();
  FileRead opened;
  FileDescriptor fd(openRegularFile(path, opened));
  if (fd.get() < 0) return opened;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return FileRead::kCannotOpen;
  if (st.st_size < 0 || uint64_t(st.st_size) > maxBytes) return FileRead::kTooLarge;
  bytes.reserve(size_t(st.st_size));
  FileRead result = readAll(fd.get(), maxBytes, bytes);
  if (result != FileRead::kOk) bytes.clear();
  return result;
}

FileRead readSceneFile(const std::string& path, std::string& text) {
  return readRegularFile(path, kMaxSceneFileBytes, text);
}

std::string refusalText(FileRead result, size_t maxBytes) {
  switch (result) {
    case FileRead::kNotRegular:
      return "not a regular file";
    case FileRead::kTooLarge:
      return "larger than the " + byteLimitText(maxBytes) + " limit";
    default:
      return "";
  }
}

std::string byteLimitText(size_t maxBytes) {
  constexpr size_t kMiB = size_t{1} << 20;
  if (maxBytes >= kMiB && maxBytes % kMiB == 0) return std::to_string(maxBytes / kMiB) + " MiB";
  if (maxBytes >= 1024 && maxBytes % 1024 == 0) return std::to_string(maxBytes / 1024) + " KiB";
  return std::to_string(maxBytes) + " bytes";
}

}  // namespace kestrel
