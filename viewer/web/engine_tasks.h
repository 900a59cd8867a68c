// EngineTasks: work that a web thread hands to the engine thread, such as
// restoring every object, which must not touch the registry from elsewhere.
//
// post() may be called from any thread; runPending() runs on the engine
// thread (once per tick) and executes every task posted before it started.
#pragma once

#include <functional>
#include <vector>
#include "viewer/intake/thread_annotations.h"

namespace kestrel {

class Engine;

class EngineTasks {
 public:
  using Task = std::function<void(Engine&)>;

  void post(Task task);
  // Runs the pending tasks in posting order; returns how many ran.
  size_t runPending(Engine& engine);
  size_t pending() const;

 private:
  mutable Mutex mutex_;
  std::vector<Task> tasks_ GUARDED_BY(mutex_);
};

}  // namespace kestrel
