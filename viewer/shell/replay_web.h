// ReplayWeb: the web port while a journal is replayed. It serves the live
// view and the read side of the JSON API on the replay's scene, and the
// replay's controls at /api/replay; commands and forms are refused, since
// the scene is the journal's. Requests from the page are handed to the
// replay's thread by WAKE and taken there (see replay_remote.h).
//
// Threads: everything here on the thread that runs the replay.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "viewer/shell/viewer_options.h"
#include "viewer/web/live/replay_remote.h"
#include "viewer/web/web_server.h"

namespace kestrel {

class Engine;

class ReplayWeb {
 public:
  // Serves OPTIONS.webPort (none when 0) as the viewer's web control is
  // served; a port that cannot be bound is said on standard error and the
  // replay runs on without it. WAKE is called from web threads.
  void start(Engine& engine, const ViewerOptions& options, std::function<void()> wake);
  void stop() { web_.stop(); }
  uint16_t port() const { return web_.port(); }

  // The requests the page made since the last call.
  std::vector<ReplayRequest> take() { return remote_.take(); }
  // After the replay moved or changed: the live view looks at ENGINE (the
  // replay's CORES_MADE-th core) now, then STATE is what /api/replay says,
  // so a client that sees the position also finds the scene of it.
  void show(Engine& engine, uint64_t coresMade, const ReplayState& state);

 private:
  ReplayRemote remote_;
  WebServer web_;
  uint64_t coresMade_ = 0;
};

}  // namespace kestrel
