#include "modules/common/jcomponent.h"

#include <cstdio>

#include "modules/common/jmodule.h"
#include "viewer/intake/thread_annotations.h"

namespace kestrel {
namespace {

void toStandardError(void*, const JString& line) {
  std::fprintf(stderr, "debug: %s\n", line.c_str());
}

struct DebugState {
  Mutex mutex;
  JComponent::DebugSink sink GUARDED_BY(mutex) = toStandardError;
  void* context GUARDED_BY(mutex) = nullptr;
};

DebugState& debugState() {
  static DebugState* state = new DebugState();  // never destroyed: used until exit
  return *state;
}

}  // namespace

void JComponent::debug(const JString& line) {
  DebugState& s = debugState();
  MutexLock lock(s.mutex);
  s.sink(s.context, line);
}

JComponent::DebugSink JComponent::setDebugSink(DebugSink sink, void* context) {
  DebugState& s = debugState();
  MutexLock lock(s.mutex);
  DebugSink previous = s.sink;
  s.sink = sink ? sink : toStandardError;
  s.context = sink ? context : nullptr;
  return previous;
}

void JComponent::addModuleButton(const JModuleObj& prototype) {
  buttons_.push_back(prototype.className().str());
}

}  // namespace kestrel
