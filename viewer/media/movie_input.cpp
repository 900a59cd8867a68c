#include "viewer/media/movie_input.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
}

#include "viewer/browser/file_input.h"

namespace kestrel {

int MovieInput::read(uint8_t* buf, int size) {
  if (size <= 0) return 0;
  if (allowed_ <= 0) return AVERROR_EOF;
  const int64_t n = readAt(pos_, buf, size_t(std::min<int64_t>(size, allowed_)));
  if (n < 0) return AVERROR(EIO);
  if (n == 0) return AVERROR_EOF;
  pos_ += n;
  allowed_ -= n;
  return int(n);
}

int64_t MovieInput::seek(int64_t offset, int whence) {
  const int64_t length = size();
  if (whence == AVSEEK_SIZE) return length;
  whence &= ~AVSEEK_FORCE;
  int64_t base = 0;
  if (whence == SEEK_CUR)
    base = pos_;
  else if (whence == SEEK_END)
    base = length;
  else if (whence != SEEK_SET)
    return -1;
  if (length < 0 || offset > length - base) return -1;
  const int64_t to = base + offset;
  if (to < 0) return -1;
  pos_ = to;
  return to;
}

namespace {

class MemoryInput final : public MovieInput {
 public:
  explicit MemoryInput(std::string bytes) : bytes_(std::move(bytes)) {}
  int64_t size() const override { return int64_t(bytes_.size()); }

 protected:
  int64_t readAt(int64_t offset, uint8_t* buf, size_t n) override {
    if (offset < 0 || offset >= size()) return 0;
    n = std::min(n, bytes_.size() - size_t(offset));
    std::memcpy(buf, bytes_.data() + offset, n);
    return int64_t(n);
  }

 private:
  std::string bytes_;
};

// Reads with pread, so the descriptor's own offset never matters. The file
// may be cut short or rewritten while the movie plays: a read past its end
// gets 0 bytes, which ends the movie there, and nothing is mapped that
// could fault.
class FileInput final : public MovieInput {
 public:
  explicit FileInput(int fd) : fd_(fd) {}
  ~FileInput() override { ::close(fd_); }
  FileInput(const FileInput&) = delete;
  FileInput& operator=(const FileInput&) = delete;

  int64_t size() const override {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 ? int64_t(st.st_size) : -1;
  }

 protected:
  int64_t readAt(int64_t offset, uint8_t* buf, size_t n) override {
    for (;;) {
      ssize_t got = ::pread(fd_, buf, n, off_t(offset));
      if (got >= 0) return got;
      if (errno != EINTR) return -1;
    }
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<MovieInput> movieInputFromBytes(std::string bytes) {
  return std::make_unique<MemoryInput>(std::move(bytes));
}

std::unique_ptr<MovieInput> openMovieInput(const std::string& path, std::string& why) {
  FileRead result;
  const int fd = openRegularFile(path, result);
  if (fd < 0) {
    why = refusalText(result, 0);
    if (why.empty()) why = "cannot be read";
    return nullptr;
  }
  return std::make_unique<FileInput>(fd);
}

}  // namespace kestrel
