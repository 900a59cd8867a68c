#include "viewer/engine/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace kestrel {
namespace {

// The file PATH stands for: the target of a symbolic link, else PATH.
std::string targetOf(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

std::string folderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A name beside TARGET that no other save (of this or another process) uses.
std::string temporaryNameFor(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  return target + ".saving." + std::to_string(::getpid()) + "." + std::to_string(counter++);
}

std::string failure(const char* step, const std::string& file) {
  return std::string(step) + " '" + file + "': " + std::strerror(errno);
}

// Makes the rename itself survive a crash of the machine.
void syncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Writes through WRITE into the open descriptor FD (which it closes), then
// flushes the file to the disk.
bool writeAndSync(int fd, const std::string& name,
                  const std::function<bool(std::FILE*)>& write, std::string* why) {
  std::FILE* file = ::fdopen(fd, "w");
  if (file == nullptr) {
    *why = failure("cannot open", name);
    ::close(fd);
    return false;
  }
  bool written = write(file) && std::fflush(file) == 0 && !std::ferror(file);
  if (!written) *why = failure("cannot write", name);
  if (written && ::fsync(::fileno(file)) != 0) {
    *why = failure("cannot flush", name);
    written = false;
  }
  if (std::fclose(file) != 0 && written) {
    *why = failure("cannot close", name);
    written = false;
  }
  return written;
}

}  // namespace

bool replaceFile(const std::string& path, const std::function<bool(std::FILE*)>& write,
                 std::string* why) {
  std::string ignored;
  if (why == nullptr) why = &ignored;
  const std::string target = targetOf(path);
  const std::string temporary = temporaryNameFor(target);
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    *why = failure("cannot create", temporary);
    return false;
  }
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
  if (!writeAndSync(fd, temporary, write, why)) {
    ::unlink(temporary.c_str());
    return false;
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    *why = failure("cannot replace", target);
    ::unlink(temporary.c_str());
    return false;
  }
  syncFolder(folderOf(target));
  return true;
}

}  // namespace kestrel
