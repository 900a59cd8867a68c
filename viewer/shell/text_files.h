// Reading the text files that the loaders open: whole lines of any length,
// and a check that refuses what is not a readable text file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace kestrel {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using TextFile = std::unique_ptr<std::FILE, FileCloser>;

// The largest file the loaders read unless --max-load-size raises it: a
// scene file is read whole within one engine tick, so a bigger one would
// hold the engine (and its memory) for too long.
inline constexpr uint64_t kDefaultMaxLoadSize = uint64_t{256} << 20;  // 256 MiB

// Whether the file at PATH, if it exists, has at most MAX_BYTES; if not,
// false with the reason in *WHY. A file that cannot be examined passes, for
// its reader to report.
bool withinLoadSize(const std::string& path, uint64_t maxBytes, std::string* why);

// Opens PATH for reading. Fails, with the reason in *WHY, for a file that
// cannot be opened, a directory or other non-regular file, a file larger
// than MAX_BYTES (nothing of it is read) and a binary file (a NUL byte in
// its first 4 KiB).
TextFile openTextFile(const std::string& path, std::string* why,
                      uint64_t maxBytes = kDefaultMaxLoadSize);

// The next line of FILE without its "\n" or "\r\n" ending, however long;
// nullopt at the end of the file.
std::optional<std::string> readWholeLine(std::FILE* file);

// The last path component (after the last "/" or "\") up to its first ".".
std::string baseName(const std::string& path);

}  // namespace kestrel
