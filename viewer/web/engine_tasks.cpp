#include "viewer/web/engine_tasks.h"

namespace kestrel {

void EngineTasks::post(Task task) {
  MutexLock lock(mutex_);
  tasks_.push_back(std::move(task));
}

size_t EngineTasks::runPending(Engine& engine) {
  std::vector<Task> tasks;
  {
    MutexLock lock(mutex_);
    tasks.swap(tasks_);
  }
  // Run outside the lock: a task may post another, which waits for the next tick.
  for (Task& task : tasks) task(engine);
  return tasks.size();
}

size_t EngineTasks::pending() const {
  MutexLock lock(mutex_);
  return tasks_.size();
}

}  // namespace kestrel
