// Any text either parses or fails with a located error; neither may crash,
// hang or leak. Parsed content also goes through the browser: appended,
// looked up, written and cleared.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "viewer/browser/parser.h"
#include "viewer/browser/vrml_browser.h"
#include "viewer/browser/writer.h"
#include "viewer/intake/diagnostic_log.h"

// Missing Inlines write log lines; keep them out of the working directory.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kestrel::openLogIn("/tmp");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  kestrel::Scene scene;
  kestrel::ParseError error;
  kestrel::ParseOptions options;
  options.requireHeader = false;
  if (!kestrel::parseVrml(text, options, scene, error)) {
    if (error.message.empty()) std::abort();
    if (!scene.items.empty()) std::abort();
    return 0;
  }
  (void)kestrel::writeScene(scene);
  // The render root points nowhere, so Inlines stay empty.
  kestrel::CVrmlBrowser browser("/nonexistent-kestrel-fuzz");
  kestrel::VrmlContent content;
  if (browser.createFromString(text, content)) {
    kestrel::NodeHandle first = content.firstNode();
    browser.appendToRoot(content);
    browser.advanceTime(1.5);
    browser.advanceTime(3.0);
    scene.names.forEach([&browser](std::string_view name, const kestrel::NodePtr&) {
      kestrel::NodeHandle node;
      if (!browser.findNode(name, node)) std::abort();
    });
    browser.removeAllRoots();
  }
  return 0;
}
