// Arbitrary bytes through the command port's line framing, fed in chunks
// whose sizes come from the input itself; the lines must not depend on how
// the bytes were cut.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "viewer/intake/line_framer.h"

namespace {

std::vector<std::string> frame(const char* data, size_t size, size_t chunk) {
  kestrel::LineFramer framer;
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < size) {
    size_t end = std::min(size, pos + chunk);
    while (pos < end) {
      pos += framer.feed(data + pos, end - pos);
      if (framer.lineReady()) {
        if (framer.line().size() > kestrel::LineFramer::kMaxLine) std::abort();
        lines.emplace_back(framer.line());
      }
    }
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t chunk = 1 + data[0] % 64;
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  if (frame(bytes, size - 1, chunk) != frame(bytes, size - 1, size)) std::abort();
  return 0;
}
