#include "viewer/web/page_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "viewer/web/config_table.h"

namespace kestrel {

namespace {

struct OpenFile {
  explicit OpenFile(int descriptor) : fd(descriptor) {}
  ~OpenFile() {
    if (fd >= 0) ::close(fd);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int fd;
};

std::optional<std::string> realPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return std::nullopt;
  return std::string(resolved);
}

std::string lastSegment(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// A relative name in PRIVATE_FILES is taken from ROOT.
bool namedPrivate(const std::string& real, const std::string& root,
                  const std::vector<std::string>& privateFiles) {
  return std::any_of(privateFiles.begin(), privateFiles.end(), [&](const std::string& file) {
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(
        file.empty() || file[0] == '/' ? file : root + "/" + file, error);
    return !error && canonical.string() == real;
  });
}

// Reads the whole regular file REAL (a path without symbolic links). The
// last segment is opened without following a link, so a link put there
// after the check is not followed either.
std::optional<std::string> readRegularFile(const std::string& real, size_t maxBytes) {
  OpenFile file(::open(real.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  struct stat info {};
  if (file.fd < 0 || ::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<size_t>(info.st_size) > maxBytes) {
    return std::nullopt;
  }
  std::string bytes(static_cast<size_t>(info.st_size), '\0');
  size_t got = 0;
  while (got < bytes.size()) {
    ssize_t n = ::read(file.fd, bytes.data() + got, bytes.size() - got);
    if (n < 0) return std::nullopt;
    if (n == 0) break;  // the file shrank meanwhile
    got += static_cast<size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

}  // namespace

bool privateFileName(const std::string& name) {
  return name == "kestrel.log" || name == "kestrel.err" ||
         (name.size() > 6 && name.compare(name.size() - 6, 6, ".state") == 0);
}

std::optional<std::string> readPageFile(const std::string& root, const std::string& path,
                                        const std::vector<std::string>& privateFiles,
                                        size_t maxBytes) {
  if (privateFileName(lastSegment(path))) return std::nullopt;
  std::optional<std::string> base = realPath(root);
  std::optional<std::string> real = realPath(root + "/" + path);
  if (!base || !real) return std::nullopt;
  std::string inside = *base == "/" ? *base : *base + "/";
  if (real->compare(0, inside.size(), inside) != 0) return std::nullopt;
  if (privateFileName(lastSegment(*real)) || namedPrivate(*real, root, privateFiles)) {
    return std::nullopt;
  }
  return readRegularFile(*real, maxBytes);
}

void loadConfigFile(const WebContext& context, const std::string& path) {
  constexpr size_t kMaxConfigBytes = 1 << 20;
  if (context.config == nullptr) return;
  std::optional<std::string> text =
      readPageFile(context.root, path, context.privateFiles, kMaxConfigBytes);
  context.config->loadText(text ? *text : std::string());
}

}  // namespace kestrel
