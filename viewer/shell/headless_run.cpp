#include "viewer/shell/headless_run.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "viewer/engine/engine.h"
#include "viewer/engine/state_file.h"
#include "viewer/intake/command_file.h"
#include "viewer/intake/command_port_thread.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/shell/shell_builders.h"
#include "viewer/shell/viewer_services.h"
#include "viewer/browser/render/gl/snapshot.h"

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
void runTicks(Engine& engine, PendingFiles& pending, ViewerServices& services) {
  using clock = std::chrono::steady_clock;
  auto start = clock::now();
  auto next = start;
  for (unsigned tick = 0; stopSignal == 0 && fatalStatus.load() == 0; ++tick) {
    engine.onTimer();
    pending.afterTick(tick);
    services.afterTick(engine);
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

// The render root when none is given: KESTREL_RENDER_ROOT (read by the URL
// resolver), else the installed share/kestrel/render beside the program,
// else a render/ directory in the working directory (the bundled working
// directory share/kestrel has one), else the resolver's default.
std::string chooseRenderRoot(const std::string& given) {
  namespace fs = std::filesystem;
  if (!given.empty() || std::getenv("KESTREL_RENDER_ROOT") != nullptr) return given;
  std::error_code error;
  fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (!error) {
    fs::path installed = program.parent_path().parent_path() / "share/kestrel/render";
    if (fs::is_directory(installed, error)) return installed.string();
  }
  if (fs::is_directory("render", error)) return fs::absolute("render", error).string();
  return given;
}

int runHeadless(const ViewerOptions& options) {
  installSignalHandlers();
  // The start-up files are read here, before the port is served, so that
  // their lines are all queued when the named files are opened.
  CommandPortConfig primaryConfig = primaryPortConfig(options.commandPort, options.bindAddress);
  std::vector<std::string> startupFiles = std::move(primaryConfig.startupFiles);
  primaryConfig.startupFiles.clear();
  CommandPortThread primary(std::move(primaryConfig));
  CommandPortThread secondary(secondaryPortConfig(options.secondaryPort, options.bindAddress));
  if (!openPort(primary, options.commandPort) || !openPort(secondary, options.secondaryPort)) {
    return 2;
  }
  auto onFatal = [] { fatalStatus.store(1); };
  for (const std::string& file : startupFiles) readCommandFile(file, primaryQueue());
  primary.start(onFatal);
  secondary.start(onFatal);

  std::string renderRoot = chooseRenderRoot(options.renderRoot);
  Engine engine(primaryQueue(), secondaryQueue(), renderRoot);
  ShellBuilders builders(engine, primaryQueue(), renderRoot);
  engine.setBuilders(&builders);
  ViewerServices services;
  services.start(engine, builders, options);
  PendingFiles pending(options.files, builders);
  runTicks(engine, pending, services);

  services.stop();
  primary.stop();
  secondary.stop();
  if (!options.saveStatePath.empty() && !saveState(engine.registry(), options.saveStatePath)) {
    std::fprintf(stderr, "kestrel: cannot write the state file %s\n", options.saveStatePath.c_str());
    return 1;
  }
  return fatalStatus.load();
}

int runSnapshot(const ViewerOptions& options) {
  std::signal(SIGPIPE, SIG_IGN);
  for (const std::string& file : primaryPortConfig(options.commandPort).startupFiles) {
    readCommandFile(file, primaryQueue());
  }
  std::string renderRoot = chooseRenderRoot(options.renderRoot);
  Engine engine(primaryQueue(), secondaryQueue(), renderRoot);
  ShellBuilders builders(engine, primaryQueue(), renderRoot);
  engine.setBuilders(&builders);
  PendingFiles pending(options.files, builders);
  // Ticks without waiting: the scene is complete once the named files are
  // open and both queues have stayed empty for a frame's worth of ticks
  // (functions and scene blocks queue further lines while they run).
  using clock = std::chrono::steady_clock;
  auto start = clock::now();
  unsigned quiet = 0;
  for (unsigned tick = 0; tick < 2000000 && quiet < 16; ++tick) {
    engine.onTimer();
    pending.afterTick(tick);
    bool idle = primaryQueue().waiting() == 0 && secondaryQueue().waiting() == 0 && tick > 0 &&
                pending.done();
    quiet = idle ? quiet + 1 : 0;
  }
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
