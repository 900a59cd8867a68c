#include "viewer/shell/headless_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "viewer/browser/render/gl/snapshot.h"
#include "viewer/browser/world_clock.h"
#include "viewer/engine/engine.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/shell/one_shot_heap.h"
#include "viewer/shell/replay_session.h"
#include "viewer/shell/viewer_core.h"

namespace kestrel {
namespace {

// Heap room a snapshot's frame takes beside its scene: the framebuffer,
// texture images with their mipmaps, the driver's own allocations.
constexpr size_t kFrameHeapBytes = size_t{48} << 20;

volatile std::sig_atomic_t stopSignal = 0;
std::atomic<int> fatalStatus{0};

void onStopSignal(int) { stopSignal = 1; }

}  // namespace

void installSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

bool stopSignalled() { return stopSignal != 0; }

namespace {

// Files named on the command line are opened once the start-up files have
// been executed (the primary queue has run empty), so that they meet the
// templates those files define; at the latest after five seconds.
class PendingFiles {
 public:
  PendingFiles(std::vector<std::string> files, SceneBuilders& builders)
      : files_(std::move(files)), builders_(builders) {}
  void afterTick(unsigned tick) {
    if (files_.empty() || (primaryQueue().waiting() != 0 && tick < 5000)) return;
    for (const std::string& file : files_) builders_.openFile(file);
    files_.clear();
  }
  bool done() const { return files_.empty(); }

 private:
  std::vector<std::string> files_;
  SceneBuilders& builders_;
};

// One tick per millisecond on a fixed grid; a late tick does not make the
// loop rush to catch up.
void runTicks(ViewerCore& core, PendingFiles& pending) {
  using clock = std::chrono::steady_clock;
  auto start = clock::now();
  auto next = start;
  for (unsigned tick = 0; stopSignal == 0 && fatalStatus.load() == 0; ++tick) {
    core.tick();
    pending.afterTick(tick);
    // The browser clock runs TimeSensors and interpolators; a frame's worth
    // of ticks is fine enough for a scene nobody looks at.
    if (tick % 16 == 0) {
      core.engine().browser().advanceTime(
          std::chrono::duration<double>(clock::now() - start).count());
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
  ViewerCore core(options);
  std::string reason;
  uint16_t port = 0;
  if (!core.openJournal(&reason)) {
    errorLine(reason.c_str());
    std::fprintf(stderr, "kestrel: %s\n", reason.c_str());
    return 2;
  }
  if (!core.openPorts(&reason, &port)) {
    std::string message = "cannot listen on command port " + std::to_string(port) + ": " + reason;
    errorLine(message.c_str());
    std::fprintf(stderr, "kestrel: %s\n", message.c_str());
    return 2;
  }
  core.start([] { fatalStatus.store(1); });
  PendingFiles pending(options.files, core.builders());
  runTicks(core, pending);
  if (!core.finish()) return 1;
  return fatalStatus.load();
}

namespace {

// Renders with the renderer START has made meanwhile.
int writeSnapshot(CVrmlBrowser& browser, const ViewerOptions& options,
                  FrameRendererStart& start) {
  std::string error;
  // While the driver may still be loading: the frame's meshes and images.
  FrameAhead ahead =
      prepareFrameAhead(browser, options.snapshotWidth, options.snapshotHeight, {});
  std::unique_ptr<FrameRenderer> frames = start.take(&error);
  if (frames) frames->adopt(std::move(ahead));
  if (!frames || frames->writeSnapshot(browser, options.snapshotWidth, options.snapshotHeight,
                                       options.snapshotPath, &error) != 0) {
    std::fprintf(stderr, "kestrel: cannot write the snapshot %s: %s\n",
                 options.snapshotPath.c_str(), error.c_str());
    return 1;
  }
  return 0;
}

int snapshotOfReplay(const ViewerOptions& options);

}  // namespace

int runSnapshot(const ViewerOptions& options) {
  std::signal(SIGPIPE, SIG_IGN);
  if (!options.replayPath.empty()) return snapshotOfReplay(options);
  // A process that renders one frame and exits, as --check parses and
  // exits: the scene's, the driver's and the textures' allocations, on
  // every thread, come from one heap backed by huge pages.
  shareMainHeapWithThreads();
  reserveHugePageHeap(heapForSceneFiles(options.files) + kFrameHeapBytes);
  // The OpenGL driver loads and the programs compile while the files are read.
  FrameRendererStart renderer({});
  ViewerCore core(options);
  core.readStartupFiles();
  PendingFiles pending(options.files, core.builders());
  // Ticks without waiting: the scene is complete once the named files are
  // open and both queues have stayed empty for a frame's worth of ticks
  // (functions and scene blocks queue further lines while they run).
  using clock = std::chrono::steady_clock;
  auto start = clock::now();
  unsigned quiet = 0;
  for (unsigned tick = 0; tick < 2000000 && quiet < 16; ++tick) {
    core.step();
    pending.afterTick(tick);
    bool idle = !core.busy() && tick > 0 && pending.done();
    quiet = idle ? quiet + 1 : 0;
  }
  CVrmlBrowser& browser = core.engine().browser();
  // --at: the world as it stands at that time, whatever the building took;
  // otherwise the live clock.
  if (options.snapshotAtMs >= 0) {
    runClockTo(browser, static_cast<double>(options.snapshotAtMs) / 1000.0);
  } else {
    browser.advanceTime(std::chrono::duration<double>(clock::now() - start).count());
  }
  return writeSnapshot(browser, options, renderer);
}

}  // namespace kestrel

namespace kestrel {
namespace {

// Waits until the step recorded at MS is due; false when a stop signal came.
bool waitForStep(int64_t ms, const ViewerOptions& options,
                 std::chrono::steady_clock::time_point start) {
  if (ms <= options.replayFromMs) return stopSignal == 0;
  auto due = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                         std::chrono::duration<double, std::milli>(
                             static_cast<double>(ms - options.replayFromMs) / options.replaySpeed));
  while (stopSignal == 0 && std::chrono::steady_clock::now() < due) {
    std::this_thread::sleep_until(
        std::min(due, std::chrono::steady_clock::now() + std::chrono::milliseconds(20)));
  }
  return stopSignal == 0;
}

void reportChangedFiles(ReplaySession& session) {
  for (const std::string& message : session.takeChangedFiles()) {
    logLine(message.c_str());
    std::fprintf(stderr, "kestrel: %s\n", message.c_str());
  }
}

std::unique_ptr<ReplaySession> openReplay(const ViewerOptions& options) {
  std::string error;
  std::unique_ptr<ReplaySession> session = ReplaySession::open(options, &error);
  if (!session) std::fprintf(stderr, "kestrel: %s\n", error.c_str());
  return session;
}

// --replay with --snapshot: the journal run fast up to --at (else --to,
// else its end), and the scene rendered as it stood then.
int snapshotOfReplay(const ViewerOptions& options) {
  std::unique_ptr<ReplaySession> session = openReplay(options);
  if (!session) return 2;
  FrameRendererStart renderer({});  // ready by the time the journal has run
  int64_t at = options.snapshotAtMs >= 0 ? options.snapshotAtMs
               : options.replayToMs >= 0 ? options.replayToMs
                                         : session->endTime();
  session->seekTo(at);
  reportChangedFiles(*session);
  int status = writeSnapshot(session->core().engine().browser(), options, renderer);
  return session->finish() ? status : 1;
}

}  // namespace

int runReplay(const ViewerOptions& options) {
  installSignalHandlers();
  std::unique_ptr<ReplaySession> session = openReplay(options);
  if (!session) return 2;
  auto start = std::chrono::steady_clock::now();
  while (std::optional<int64_t> ms = session->nextTime()) {
    if (options.replayToMs >= 0 && *ms > options.replayToMs) break;
    if (!waitForStep(*ms, options, start)) break;
    session->step();
    reportChangedFiles(*session);
  }
  return session->finish() ? 0 : 1;
}

}  // namespace kestrel
