// A fixed set of threads that run posted jobs in the order posted.
//
// Threads: post() from any thread. stop() (or the destructor) lets running
// jobs end, drops those not started and joins the threads.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kestrel {

class WorkerPool {
 public:
  explicit WorkerPool(int threads);
  ~WorkerPool() { stop(); }
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  void post(std::function<void()> job);
  void stop();

 private:
  void run();

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> jobs_;  // GUARDED_BY(mutex_)
  bool stopping_ = false;                   // GUARDED_BY(mutex_)
  std::vector<std::thread> threads_;
};

}  // namespace kestrel
