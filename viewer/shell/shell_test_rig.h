// A real engine with the shell's builders, its own two queues and its logs
// in a temporary directory, for the tests of the loaders and builders.
#pragma once

#include <string>
#include <vector>

#include "testing/test_support.h"
#include "viewer/browser/writer.h"
#include "viewer/engine/engine.h"
#include "viewer/intake/command_queue.h"
#include "viewer/shell/shell_builders.h"

namespace kestrel::testing {

// The bundled render root of the source tree.
inline std::string bundledRenderRoot() { return sourcePath("share/kestrel/render"); }

class ShellRig {
 public:
  explicit ShellRig(const std::string& renderRoot = bundledRenderRoot())
      : engine(primary, secondary, renderRoot), builders(engine, primary, renderRoot) {
    engine.setBuilders(&builders);
  }

  // Queues LINES into the primary queue and ticks, reading command files on
  // as the viewer does, until both queues are empty.
  void run(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) primary.queue(line.c_str());
    drain();
  }
  void drain() {
    for (int i = 0; i < 100000 && (primary.waiting() != 0 || secondary.waiting() != 0 ||
                                   builders.loaders().reading());
         ++i) {
      engine.onTimer();
      builders.loaders().continueReading();
    }
  }

  std::string log() const { return readFile(dir.file("kestrel.log")); }
  bool logHas(const std::string& text) const { return log().find(text) != std::string::npos; }
  size_t logCount(const std::string& text) const {
    std::string all = log();
    size_t n = 0;
    for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++n;
    return n;
  }
  VisualObject* object(const std::string& name) {
    int index = engine.registry().find(name);
    return index < 0 ? nullptr : engine.registry().objectAt(index);
  }
  bool hasNode(const std::string& name) {
    NodeHandle node;
    return engine.browser().findNode(name, node);
  }
  // The whole scene written back as VRML text.
  std::string sceneText() { return writeScene(engine.browser().scene()).text; }

  TempDir dir;  // first: the logs go here from the start
  InternalCommandQueue primary;
  InternalCommandQueue secondary;
  Engine engine;
  ShellBuilders builders;
};

}  // namespace kestrel::testing
