#include "viewer/shell/replay_web.h"

#include <cstdio>

#include "viewer/web/live/live_hub.h"

namespace kestrel {

void ReplayWeb::start(Engine& engine, const ViewerOptions& options, std::function<void()> wake) {
  if (options.webPort == 0) return;
  remote_.setWake(std::move(wake));
  WebServerOptions web;
  web.bindAddress = options.bindAddress;
  web.trustedHosts = options.webHosts;
  if (!options.saveStatePath.empty()) web.privateFiles.push_back(options.saveStatePath);
  web.replay = &remote_;
  std::string reason;
  if (!web_.start(options.webPort, engine, web, &reason)) {
    std::fprintf(stderr, "kestrel: no web control: %s\n", reason.c_str());
  }
}

void ReplayWeb::show(Engine& engine, uint64_t coresMade, const ReplayState& state) {
  if (LiveHub* live = web_.live()) {
    live->tickNow(engine, coresMade != coresMade_);
    coresMade_ = coresMade;
  }
  remote_.publish(state);
}

}  // namespace kestrel
