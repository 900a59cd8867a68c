#include "viewer/shell/headless_run.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "viewer/browser/render/gl/snapshot.h"
#include "viewer/engine/engine.h"
#include "viewer/engine/journal_replay.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/shell/viewer_core.h"

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

int runSnapshot(const ViewerOptions& options) {
  std::signal(SIGPIPE, SIG_IGN);
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
  Engine& engine = core.engine();
  engine.browser().advanceTime(std::chrono::duration<double>(clock::now() - start).count());
  std::string error;
  if (renderSnapshot(engine.browser(), options.snapshotWidth, options.snapshotHeight,
                     options.snapshotPath, &error) != 0) {
    std::fprintf(stderr, "kestrel: cannot write the snapshot %s: %s\n",
                 options.snapshotPath.c_str(), error.c_str());
    return 1;
  }
  return 0;
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

bool endsWithFolded(const std::string& path, const char* suffix) {
  size_t n = std::strlen(suffix);
  if (path.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(path[path.size() - n + i])) != suffix[i]) {
      return false;
    }
  }
  return true;
}

// The builders during a replay: a load opens only the files whose effect
// does not come through the queue (state files, images); scene, sphere,
// mesh and command files only queue commands, which the journal holds as
// the steps that ran them.
class ReplayBuilders : public SceneBuilders {
 public:
  explicit ReplayBuilders(SceneBuilders& shell) : shell_(shell) {}
  void openFile(const std::string& path) override {
    if (endsWithFolded(path, ".state") || endsWithFolded(path, ".jpg") ||
        endsWithFolded(path, ".png")) {
      shell_.openFile(path);
    }
  }
  std::string localPath(const std::string& path) const override { return shell_.localPath(path); }
  void mapRequest(const std::string& name) override { shell_.mapRequest(name); }
  void loadMap(const std::string& name) override { shell_.loadMap(name); }
  void starLine(const std::string& text) override { shell_.starLine(text); }
  void inlineScene(const std::string& text) override { shell_.inlineScene(text); }
  void label(const std::string& text) override { shell_.label(text); }

 private:
  SceneBuilders& shell_;
};

void reportChangedFiles(const JournalReplay& replay, size_t* reported) {
  for (; *reported < replay.changedFiles().size(); ++*reported) {
    const std::string& message = replay.changedFiles()[*reported];
    logLine(message.c_str());
    std::fprintf(stderr, "kestrel: %s\n", message.c_str());
  }
}

}  // namespace

int runReplay(const ViewerOptions& options) {
  installSignalHandlers();
  std::vector<JournalRun> runs;
  std::string error;
  if (!readJournalFile(options.replayPath, &runs, &error) || runs.back().empty()) {
    if (error.empty()) error = options.replayPath + " holds no commands";
    std::fprintf(stderr, "kestrel: %s\n", error.c_str());
    return 2;
  }
  ViewerCore core(options);
  ReplayBuilders builders(core.builders());
  core.engine().setBuilders(&builders);
  JournalReplay replay(core.engine(), core.primary(), core.secondary(), runs.back());
  auto start = std::chrono::steady_clock::now();
  size_t reported = 0;
  while (std::optional<int64_t> ms = replay.nextTime()) {
    if (options.replayToMs >= 0 && *ms > options.replayToMs) break;
    if (!waitForStep(*ms, options, start)) break;
    replay.step();
    reportChangedFiles(replay, &reported);
  }
  core.engine().setBuilders(&core.builders());
  return core.finish() ? 0 : 1;
}

}  // namespace kestrel
