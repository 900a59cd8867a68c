// Reading the text files that the loaders open: whole lines of any length,
// and a check that refuses what is not a readable text file.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace kestrel {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using TextFile = std::unique_ptr<std::FILE, FileCloser>;

// Opens PATH for reading. Fails, with the reason in *WHY, for a file that
// cannot be opened, a directory or other non-regular file, and a binary
// file (a NUL byte in its first 4 KiB).
TextFile openTextFile(const std::string& path, std::string* why);

// The next line of FILE without its "\n" or "\r\n" ending, however long;
// nullopt at the end of the file.
std::optional<std::string> readWholeLine(std::FILE* file);

// The last path component (after the last "/" or "\") up to its first ".".
std::string baseName(const std::string& path);

}  // namespace kestrel
