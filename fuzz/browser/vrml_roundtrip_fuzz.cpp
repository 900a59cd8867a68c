// parse -> write -> parse must give the same graph whenever the writer says
// its output is exact, and its output must always parse.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "viewer/browser/parser.h"
#include "viewer/browser/scene_compare.h"
#include "viewer/browser/writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  kestrel::Scene first;
  kestrel::ParseError error;
  kestrel::ParseOptions options;
  options.requireHeader = false;
  if (!kestrel::parseVrml(text, options, first, error)) return 0;
  kestrel::WriteResult written = kestrel::writeScene(first);
  kestrel::Scene second;
  // The nodes of the input are within its limits; the written text may be
  // longer than the input (defaults of PROTO fields), never much longer.
  options.maxNodes = 100000 + 4 * size;
  if (!kestrel::parseVrml(written.text, options, second, error)) {
    std::fprintf(stderr, "written text does not parse: %s\n%s\n", error.text().c_str(),
                 written.text.c_str());
    std::abort();
  }
  std::string why;
  if (written.exact && !kestrel::sameScene(first, second, &why)) {
    std::fprintf(stderr, "round trip differs: %s\n%s\n", why.c_str(), written.text.c_str());
    std::abort();
  }
  return 0;
}
