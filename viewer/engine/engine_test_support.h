// An engine with queues of its own, fed with command lines and ticked until
// they are empty, with its logs in a temporary directory.
#pragma once

#include <initializer_list>
#include <string>

#include "testing/test_support.h"
#include "viewer/engine/engine.h"
#include "viewer/intake/command_queue.h"

namespace kestrel::testing {

// A transform template that wraps the data in a plain Transform, and a data
// block whose nodes follow the naming conventions for the object NAME.
inline const char* kTransformTemplate =
    "starttemplate transform\nTransform { children [ %s ] }\nendtemplate";

inline std::string objectBlock(const std::string& name, const std::string& extra = "") {
  return "startdata " + name + "\nDEF " + name + " Transform { " + extra +
         " children [ DEF Xform_" + name +
         " Transform { children [ Shape { appearance Appearance { material DEF Mat_" + name +
         " Material { diffuseColor 1 0 0 } } geometry Box {} } ] } ] }\nenddata";
}

class EngineHarness {
 public:
  EngineHarness() : engine(primary, secondary) {}

  // Queues every line of each text on the primary queue, then ticks until
  // both queues are empty.
  void run(std::initializer_list<std::string> texts) {
    for (const std::string& text : texts) {
      size_t start = 0;
      while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        primary.queue(text.substr(start, end - start).c_str());
        start = end + 1;
      }
    }
    drain();
  }
  void drain() {
    for (int i = 0; i < 1000000 && (primary.waiting() > 0 || secondary.waiting() > 0); ++i) {
      engine.onTimer();
    }
  }

  VisualObject* object(const std::string& name) {
    return engine.registry().objectAt(engine.registry().find(name));
  }
  Vec3f translation(const std::string& name) {
    Vec3f v{-99, -99, -99};
    if (VisualObject* o = object(name)) o->translation.get(v);
    return v;
  }
  Vec3f scale(const std::string& name) {
    Vec3f v{-99, -99, -99};
    if (VisualObject* o = object(name)) o->scale.get(v);
    return v;
  }
  float transparency(const std::string& name) {
    float t = -99;
    if (VisualObject* o = object(name)) o->transparency.get(t);
    return t;
  }
  std::string log() const { return readFile(dir.file("kestrel.log")); }
  bool logged(const std::string& line) const {
    return ("\n" + log()).find("\n" + line + "\n") != std::string::npos;
  }

  TempDir dir;
  InternalCommandQueue primary;
  InternalCommandQueue secondary;
  Engine engine;
};

}  // namespace kestrel::testing
