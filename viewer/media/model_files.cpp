#include "viewer/media/model_files.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <assimp/IOStream.hpp>

#include "viewer/browser/file_input.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

// A whole file held in memory, read by the importer like a file.
class BytesStream : public Assimp::IOStream {
 public:
  explicit BytesStream(std::string bytes) : bytes_(std::move(bytes)) {}

  size_t Read(void* buffer, size_t size, size_t count) override {
    if (size == 0 || count == 0) return 0;
    size_t whole = (bytes_.size() - at_) / size;
    size_t n = whole < count ? whole : count;
    std::memcpy(buffer, bytes_.data() + at_, n * size);
    at_ += n * size;
    return n;
  }
  size_t Write(const void*, size_t, size_t) override { return 0; }
  aiReturn Seek(size_t offset, aiOrigin origin) override {
    size_t base = origin == aiOrigin_SET ? 0 : origin == aiOrigin_CUR ? at_ : bytes_.size();
    if (offset > bytes_.size() - base) return aiReturn_FAILURE;
    at_ = base + offset;
    return aiReturn_SUCCESS;
  }
  size_t Tell() const override { return at_; }
  size_t FileSize() const override { return bytes_.size(); }
  void Flush() override {}

 private:
  std::string bytes_;
  size_t at_ = 0;
};

// PATH with every existing part's links resolved; "" when that fails.
fs::path resolved(const fs::path& path) {
  std::error_code error;
  fs::path real = fs::weakly_canonical(path, error);
  return error ? fs::path() : real;
}

}  // namespace

std::string pathInsideFolder(const std::string& folder, const std::string& candidate) {
  if (folder.empty() || candidate.empty()) return "";
  std::error_code error;
  fs::path root = resolved(fs::absolute(folder, error));
  fs::path target = resolved(fs::absolute(fs::path(folder) / candidate, error));
  if (root.empty() || target.empty()) return "";
  auto ends = std::mismatch(root.begin(), root.end(), target.begin(), target.end());
  return ends.first == root.end() && target != root ? target.string() : "";
}

FolderIoSystem::FolderIoSystem(std::string folder, size_t maxBytes)
    : folder_(std::move(folder)), maxBytes_(maxBytes) {}

bool FolderIoSystem::Exists(const char* file) const {
  std::string path = pathInsideFolder(folder_, file ? file : "");
  std::error_code error;
  return !path.empty() && fs::is_regular_file(path, error);
}

Assimp::IOStream* FolderIoSystem::Open(const char* file, const char* mode) {
  if (mode == nullptr || std::strpbrk(mode, "wa+") != nullptr) return nullptr;
  std::string path = pathInsideFolder(folder_, file ? file : "");
  std::string bytes;
  if (path.empty() || readRegularFile(path, maxBytes_, bytes) != FileRead::kOk) return nullptr;
  return new BytesStream(std::move(bytes));
}

void FolderIoSystem::Close(Assimp::IOStream* stream) { delete stream; }

}  // namespace kestrel
