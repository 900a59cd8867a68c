#include "viewer/shell/headless_run.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "viewer/engine/engine.h"
#include "viewer/engine/state_file.h"
#include "viewer/intake/command_port_thread.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

volatile std::sig_atomic_t stopSignal = 0;
std::atomic<int> fatalStatus{0};

void onStopSignal(int) { stopSignal = 1; }

void installSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

bool openPort(CommandPortThread& thread, uint16_t port) {
  std::string reason;
  if (thread.open(&reason)) return true;
  std::string message = "cannot listen on command port " + std::to_string(port) + ": " + reason;
  errorLine(message.c_str());
  std::fprintf(stderr, "kestrel: %s\n", message.c_str());
  return false;
}

// One tick per millisecond on a fixed grid; a late tick does not make the
// loop rush to catch up.
void runTicks(Engine& engine) {
  using clock = std::chrono::steady_clock;
  auto start = clock::now();
  auto next = start;
  for (unsigned tick = 0; stopSignal == 0 && fatalStatus.load() == 0; ++tick) {
    engine.onTimer();
    // The browser clock runs TimeSensors and interpolators; a frame's worth
    // of ticks is fine enough for a scene nobody looks at.
    if (tick % 16 == 0) {
      engine.browser().advanceTime(std::chrono::duration<double>(clock::now() - start).count());
    }
    next += std::chrono::milliseconds(1);
    auto now = clock::now();
    if (next < now) next = now;
    std::this_thread::sleep_until(next);
  }
}

}  // namespace

int runHeadless(const ViewerOptions& options) {
  installSignalHandlers();
  CommandPortThread primary(primaryPortConfig(options.commandPort));
  CommandPortThread secondary(secondaryPortConfig(options.secondaryPort));
  if (!openPort(primary, options.commandPort) || !openPort(secondary, options.secondaryPort)) {
    return 2;
  }
  auto onFatal = [] { fatalStatus.store(1); };
  primary.start(onFatal);
  secondary.start(onFatal);

  Engine engine(primaryQueue(), secondaryQueue(), options.renderRoot);
  runTicks(engine);

  primary.stop();
  secondary.stop();
  if (!options.saveStatePath.empty() && !saveState(engine.registry(), options.saveStatePath)) {
    std::fprintf(stderr, "kestrel: cannot write the state file %s\n", options.saveStatePath.c_str());
    return 1;
  }
  return fatalStatus.load();
}

}  // namespace kestrel
