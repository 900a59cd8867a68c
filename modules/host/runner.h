// Runner: the host's main loop over the driven modules of a graph.
//
// run() waits with poll() for the descriptors and times the driven modules
// ask for and wakes them; it returns when no module is live any more (end
// of input) or when stop is requested. requestStop() may be called from
// any thread or from a signal handler; everything else runs on the host's
// thread.
#pragma once

#include "modules/host/module_graph.h"

namespace kestrel {

class Runner {
 public:
  Runner();
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;
  ~Runner();

  enum class End { Finished, Stopped };
  End run(ModuleGraph& graph);
  // Async-signal-safe.
  void requestStop();
  // Makes SIGINT and SIGTERM request a stop of this runner (one runner per
  // process may own them) and ignores SIGPIPE.
  void handleSignals();

 private:
  int wakePipe_[2] = {-1, -1};
};

}  // namespace kestrel
