// Any text as a host document, with the built-in modules and the three
// module classes at hand: loading must end, refuse what is wrong with a
// message, and a document it accepts must save without trouble.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "modules/common/jregistry.h"
#include "modules/cuepacer/jcuepacer.h"
#include "modules/fleettap/jfleettap.h"
#include "modules/host/builtin_modules.h"
#include "modules/host/document.h"
#include "modules/satfix/jsatfix.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kestrel;
  static bool once = [] {
    registerBuiltinModules();
    JModuleRegistry::global().add(std::make_unique<JSatFix>());
    JModuleRegistry::global().add(std::make_unique<JCuePacer>());
    JModuleRegistry::global().add(std::make_unique<JFleetTap>());
    return true;
  }();
  (void)once;
  const std::string text(reinterpret_cast<const char*>(data), size);
  // Libraries are named, never reached by path: a document must not make
  // the fuzzer load whatever shared object a path happens to name.
  if (text.find('/') != std::string::npos || text.find("\\u") != std::string::npos) return 0;
  LoadOptions options;
  options.pluginDir = "/nonexistent-plugin-dir";
  options.baseDir = "/nonexistent-document-dir";
  std::string error;
  std::unique_ptr<Document> document = loadDocument(text, options, &error);
  if (!document) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  const std::string saved = saveDocument(*document);
  if (saved.empty()) __builtin_trap();
  return 0;
}
