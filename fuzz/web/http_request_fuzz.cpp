// Request parts, page paths and form bodies from arbitrary bytes: no
// crash, and a page path never leaves its directory.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "viewer/web/form_values.h"
#include "viewer/web/http_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  if (auto target = kestrel::requestTarget(text)) {
    if (auto path = kestrel::pagePath(*target)) {
      if (path->find("/../") != std::string::npos || path->find('\\') != std::string::npos ||
          path->find('\0') != std::string::npos || path->compare(0, 2, "./") != 0 ||
          path->find("//") != std::string::npos ||
          (path->size() >= 3 && path->compare(path->size() - 3, 3, "/..") == 0)) {
        std::abort();
      }
    }
  }
  (void)kestrel::contentLength(text);
  (void)kestrel::wantsKeepAlive(text);
  size_t end = kestrel::headerEnd(text);
  kestrel::FormValues form;
  form.parse(end == std::string::npos ? text : text.substr(end));
  if (form.size() > kestrel::FormValues::kCapacity) std::abort();
  return 0;
}
