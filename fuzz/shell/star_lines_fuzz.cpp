// "*" generator lines and user formats (the label, inline and flat map
// templates) of arbitrary text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "viewer/shell/scene_generators.h"
#include "viewer/shell/text_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  // Keep grids small enough for many runs a second.
  kestrel::GeneratorArgs args(text);
  std::vector<std::string> cells = args.list("size", 'x', {"10", "10"});
  long long w = std::strtoll(cells[0].c_str(), nullptr, 10);
  long long h = std::strtoll(cells[1].c_str(), nullptr, 10);
  if (w > 100 || h > 100) return 0;
  kestrel::generateBlock(text);
  std::string out = kestrel::formatText(
      text, {std::string("name"), 12LL, -3LL, 2.5, 'x', std::string("c:/a.png"), 7LL});
  (void)out;
  return 0;
}
