#include "viewer/shell/text_files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdio.h>
#include <string>
#include <sys/stat.h>

namespace kestrel {
namespace {

bool sizeFits(const struct stat& info, uint64_t maxBytes, std::string* why) {
  if (static_cast<uint64_t>(info.st_size) <= maxBytes) return true;
  *why = "is " + std::to_string(info.st_size) + " bytes, over the load size limit of " +
         std::to_string(maxBytes) + " (--max-load-size)";
  return false;
}

}  // namespace

bool withinLoadSize(const std::string& path, uint64_t maxBytes, std::string* why) {
  struct stat info {};
  return ::stat(path.c_str(), &info) != 0 || sizeFits(info, maxBytes, why);
}

TextFile openTextFile(const std::string& path, std::string* why, uint64_t maxBytes) {
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
  // The size of what was opened, not of what the name meant a moment ago.
  if (::fstat(::fileno(file.get()), &info) != 0) {
    *why = std::strerror(errno);
    return nullptr;
  }
  if (!sizeFits(info, maxBytes, why)) return nullptr;
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
