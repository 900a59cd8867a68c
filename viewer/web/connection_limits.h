// The web server's connection count, in all and per peer address, shared by
// the accepting thread (which admits) and the event loops (which release).
//
// Threads: every operation is safe from any thread.
#pragma once

#include <atomic>
#include <string>
#include <unordered_map>
#include "viewer/intake/thread_annotations.h"

namespace kestrel {

class ConnectionLimits {
 public:
  ConnectionLimits(int maxConnections, int maxPerAddress);

  // Room for one more connection in all (the next one may be accepted).
  bool room() const { return open_.load() < maxConnections_; }
  // Counts a connection from PEER; false (nothing counted) when PEER has
  // its most already.
  bool admit(const std::string& peer);
  // A connection from PEER ended.
  void release(const std::string& peer);
  int open() const { return open_.load(); }

 private:
  const int maxConnections_;
  const int maxPerAddress_;
  std::atomic<int> open_{0};
  Mutex mutex_;
  std::unordered_map<std::string, int> perAddress_ GUARDED_BY(mutex_);
};

}  // namespace kestrel
