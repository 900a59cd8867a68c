#include "viewer/browser/file_input.h"

#include "viewer/browser/file_mapping.h"
#include "viewer/browser/gzip_input.h"

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

namespace {

// Reads the open regular file FD of STATSIZE bytes whole into BYTES.
FileRead readOpenFile(int fd, off_t statSize, size_t maxBytes, std::string& bytes) {
  bytes.reserve(size_t(statSize));
  FileRead result = readAll(fd, maxBytes, bytes);
  if (result != FileRead::kOk) bytes.clear();
  return result;
}

// Opens PATH as openRegularFile does and checks its size against MAXBYTES;
// -1 with RESULT set to why not.
int openWithin(const std::string& path, size_t maxBytes, off_t& size, FileRead& result) {
  FileDescriptor fd(openRegularFile(path, result));
  if (fd.get() < 0) return -1;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    result = FileRead::kCannotOpen;
    return -1;
  }
  if (st.st_size < 0 || uint64_t(st.st_size) > maxBytes) {
    result = FileRead::kTooLarge;
    return -1;
  }
  size = st.st_size;
  return fd.release();
}

// When RESULT is kOk and BYTES are gzip data, inflates them into INFLATED
// and says so in WASGZIP; returns how the whole read went.
FileRead inflatedIfGzip(FileRead result, std::string_view bytes, size_t maxBytes,
                        std::string& inflated, bool& wasGzip) {
  wasGzip = result == FileRead::kOk && isGzip(bytes);
  if (!wasGzip) return result;
  switch (inflateGzip(bytes, maxBytes, inflated)) {
    case Inflate::kOk:
      return FileRead::kOk;
    case Inflate::kTooLarge:
      return FileRead::kInflatedTooLarge;
    case Inflate::kDamaged:
      break;
  }
  return FileRead::kDamagedGzip;
}

}  // namespace

FileRead readRegularFile(const std::string& path, size_t maxBytes, std::string& bytes) {
  bytes.clear();
  FileRead opened;
  off_t size = 0;
  FileDescriptor fd(openWithin(path, maxBytes, size, opened));
  if (fd.get() < 0) return opened;
  return readOpenFile(fd.get(), size, maxBytes, bytes);
}

FileRead readSceneText(const std::string& path, size_t maxBytes, std::string& text) {
  std::string bytes;
  bool gzip = false;
  FileRead read = readRegularFile(path, maxBytes, bytes);
  read = inflatedIfGzip(read, bytes, maxBytes, text, gzip);
  if (!gzip) text = std::move(bytes);
  return read;
}

FileRead readSceneFile(const std::string& path, std::string& text) {
  return readSceneText(path, kMaxSceneFileBytes, text);
}

SceneText::SceneText() = default;
SceneText::SceneText(std::string text) : owned_(std::move(text)) {}
SceneText::SceneText(SceneText&&) noexcept = default;
SceneText& SceneText::operator=(SceneText&&) noexcept = default;
SceneText::~SceneText() = default;

SceneText& SceneText::operator=(std::string text) {
  mapping_.reset();
  owned_ = std::move(text);
  return *this;
}

std::string_view SceneText::view() const { return mapping_ ? mapping_->bytes() : owned_; }

bool SceneText::cutShort() const { return mapping_ && mapping_->cutShort(); }

void SceneText::dropPages(size_t begin, size_t end) {
  if (mapping_) mapping_->dropPages(begin, end);
}

FileRead readSceneText(const std::string& path, size_t maxBytes, SceneText& text) {
  text = std::string();
  FileRead read;
  off_t size = 0;
  FileDescriptor fd(openWithin(path, maxBytes, size, read));
  if (fd.get() < 0) return read;
  // The file's size was taken before mapping: should it grow afterwards,
  // the text ends where it ended then, within the limit.
  if (size_t(size) >= kMapFromBytes) text.mapping_ = FileMapping::map(fd.get(), size_t(size));
  if (!text.mapping_) read = readOpenFile(fd.get(), size, maxBytes, text.owned_);
  std::string inflated;
  bool gzip = false;
  read = inflatedIfGzip(read, text.view(), maxBytes, inflated, gzip);
  if (gzip || read != FileRead::kOk) text = std::move(inflated);
  return read;
}

FileRead readSceneFile(const std::string& path, SceneText& text) {
  return readSceneText(path, kMaxSceneFileBytes, text);
}

std::string refusalText(FileRead result, size_t maxBytes) {
  switch (result) {
    case FileRead::kNotRegular:
      return "not a regular file";
    case FileRead::kTooLarge:
      return "larger than the " + byteLimitText(maxBytes) + " limit";
    case FileRead::kInflatedTooLarge:
      return "larger than the " + byteLimitText(maxBytes) + " limit when uncompressed";
    case FileRead::kDamagedGzip:
      return "damaged or truncated gzip data";
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
