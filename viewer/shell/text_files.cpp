#include "viewer/shell/text_files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdio.h>
#include <sys/stat.h>

namespace kestrel {

TextFile openTextFile(const std::string& path, std::string* why) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    *why = std::strerror(errno);
    return nullptr;
  }
  if (!S_ISREG(info.st_mode)) {
    *why = S_ISDIR(info.st_mode) ? "is a directory" : "is not a regular file";
    return nullptr;
  }
  TextFile file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    *why = std::strerror(errno);
    return nullptr;
  }
  char head[4096];
  size_t n = std::fread(head, 1, sizeof head, file.get());
  if (std::memchr(head, '\0', n) != nullptr) {
    *why = "is a binary file";
    return nullptr;
  }
  std::rewind(file.get());
  return file;
}

std::optional<std::string> readWholeLine(std::FILE* file) {
  char* buffer = nullptr;
  size_t capacity = 0;
  ssize_t n = ::getline(&buffer, &capacity, file);
  std::unique_ptr<char, decltype(&std::free)> owned(buffer, &std::free);
  if (n < 0) return std::nullopt;
  std::string line(buffer, static_cast<size_t>(n));
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string baseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
  return last.substr(0, last.find('.'));
}

}  // namespace kestrel
