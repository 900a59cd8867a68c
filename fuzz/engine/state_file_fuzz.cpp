// Any text loaded as a state file into a scene of three objects: reading
// must end, stay inside every line and apply values only to the objects the
// records name.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/memory_file.h"
#include "viewer/engine/engine.h"
#include "viewer/engine/state_file.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"

namespace {

// An engine holding the objects "a", "b" and "ball" (the names the seeds use).
struct Scene {
  kestrel::InternalCommandQueue primary;
  kestrel::InternalCommandQueue secondary;
  kestrel::Engine engine{primary, secondary};

  Scene() {
    primary.queue("starttemplate transform");
    primary.queue("Transform { children [ %s ] }");
    primary.queue("endtemplate");
    for (const std::string name : {"a", "b", "ball"}) {
      primary.queue(("startdata " + name).c_str());
      primary.queue(("DEF " + name + " Transform { children [ DEF Xform_" + name +
                     " Transform { children [ Shape { appearance Appearance { material DEF Mat_" +
                     name + " Material { } } geometry Box {} } ] } ] }")
                        .c_str());
      primary.queue("enddata");
    }
    for (int i = 0; i < 1000 && primary.waiting() > 0; ++i) engine.onTimer();
    if (engine.registry().size() != 3) __builtin_trap();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Scene* scene = [] {
    kestrel::openLogIn("/tmp");
    return new Scene;  // kept for the whole run
  }();
  static kestrel::fuzzing::MemoryFile file;
  if (!file.replace(data, size)) return 0;
  kestrel::loadState(scene->engine.registry(), file.path());
  if (scene->engine.registry().size() != 3) __builtin_trap();
  return 0;
}
