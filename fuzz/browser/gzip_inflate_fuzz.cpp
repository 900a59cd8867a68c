// Any bytes inflated as gzip data within a small limit: the result is
// either complete and within the limit, or empty with a reason.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "viewer/browser/gzip_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kLimit = 1 << 16;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string text;
  kestrel::Inflate result = kestrel::inflateGzip(bytes, kLimit, text);
  if (text.size() > kLimit) std::abort();
  if (result != kestrel::Inflate::kOk && !text.empty()) std::abort();
  return 0;
}
