// Gzip-compressed scene text. VRML worlds are often published compressed
// (".wrl.gz", ".wrz", or plain ".wrl" names with gzip inside), so every scene
// read looks at the first two bytes and inflates what carries gzip's magic.
//
// Inflation is bounded: a small file can expand to gigabytes (a "gzip bomb"),
// so output stops at the caller's limit and the file is refused instead.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrel {

enum class Inflate {
  kOk,
  kTooLarge,  // the inflated text would pass the limit
  kDamaged,   // not a valid gzip stream, or it ends early
};

// Whether BYTES begins with gzip's magic number (1f 8b).
bool isGzip(std::string_view bytes);

// Whether the regular file PATH begins with gzip's magic number (false for
// anything that cannot be read, FIFOs included, which are not waited for).
bool isGzipFile(const std::string& path);

// Inflates the gzip stream COMPRESSED (one or more members; bytes after the
// last member that do not start another one are ignored, as gzip does) into
// TEXT, as long as the result has at most MAXBYTES. TEXT is empty unless
// kOk. Never holds more than MAXBYTES plus one buffer of output.
Inflate inflateGzip(std::string_view compressed, size_t maxBytes, std::string& text);

}  // namespace kestrel
