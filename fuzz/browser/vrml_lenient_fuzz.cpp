// Any text read leniently, as scene files are: it parses with located
// warnings or fails with a located error, and whatever parses can be
// written back. Neither may crash, hang or leak.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "viewer/browser/parser.h"
#include "viewer/browser/writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  kestrel::Scene scene;
  kestrel::ParseError error;
  kestrel::ParseOptions options;
  options.requireHeader = false;
  options.sourceName = "fuzz.wrl";
  options.warn = [](const kestrel::ParseWarning& w) {
    if (w.message.empty() || w.line == 0 || w.file != "fuzz.wrl") std::abort();
  };
  if (!kestrel::parseVrml(text, options, scene, error)) {
    if (error.message.empty()) std::abort();
    if (!scene.items.empty()) std::abort();
    return 0;
  }
  (void)kestrel::writeScene(scene);
  return 0;
}
