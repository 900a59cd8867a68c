#include "viewer/shell/viewer_core.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "viewer/engine/state_file.h"
#include "viewer/intake/command_file.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/media/media_codecs.h"

namespace kestrel {
namespace {

// Lines a client has already sent may still be on their way through a port
// thread when shutdown starts; the queues count as drained only after they
// have stayed empty this long with the ports still served.
constexpr std::chrono::milliseconds kShutdownQuietTime{150};

CommandPortConfig withoutStartupFiles(CommandPortConfig config) {
  config.startupFiles.clear();
  return config;
}

void reportDropped(int dropped, bool fileUnread, std::chrono::milliseconds budget) {
  std::string message = "shutdown: " + std::to_string(dropped) +
                        " queued commands dropped, not run within " +
                        std::to_string(budget.count()) + " ms";
  if (fileUnread) message += ", and the rest of the command files being read";
  logLine(message.c_str());
  errorLine(message.c_str());
}

}  // namespace

std::string chooseRenderRoot(const std::string& given) {
  namespace fs = std::filesystem;
  if (!given.empty() || std::getenv("KESTREL_RENDER_ROOT") != nullptr) return given;
  std::error_code error;
  fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (!error) {
    fs::path installed = program.parent_path().parent_path() / "share/kestrel/render";
    if (fs::is_directory(installed, error)) return installed.string();
  }
  // The bundled working directory share/kestrel has a render/ directory.
  if (fs::is_directory("render", error)) return fs::absolute("render", error).string();
  return given;
}

ViewerCore::ViewerCore(const ViewerOptions& options)
    : options_(options),
      renderRoot_(chooseRenderRoot(options.renderRoot)),
      primary_(primaryQueue()),
      secondary_(secondaryQueue()),
      engine_(primary_, secondary_, renderRoot_),
      builders_(engine_, primary_, renderRoot_),
      primaryPort_(
          withoutStartupFiles(primaryPortConfig(options.commandPort, options.bindAddress))),
      secondaryPort_(secondaryPortConfig(options.secondaryPort, options.bindAddress)) {
  engine_.setBuilders(&builders_);
  // AudioClip and MovieTexture learn their files' lengths as they load.
  engine_.browser().setMediaProbe(kestrel::probeMediaFileLength);
  builders_.loaders().setMaxLoadSize(options.maxLoadSize);
}

ViewerCore::~ViewerCore() {
  services_.stop();
  primaryPort_.stop();
  secondaryPort_.stop();
  engine_.setJournal(nullptr);
}

bool ViewerCore::openJournal(std::string* error) {
  if (options_.journalPath.empty() || journal_) return true;
  journal_ = Journal::open(options_.journalPath, error);
  engine_.setJournal(journal_.get());
  return journal_ != nullptr;
}

void ViewerCore::readStartupFiles() {
  CommandPortConfig config = primaryPortConfig(options_.commandPort, options_.bindAddress);
  for (const std::string& file : config.startupFiles) readCommandFile(file, primary_);
}

bool ViewerCore::openPorts(std::string* error, uint16_t* port) {
  *port = options_.commandPort;
  if (!primaryPort_.open(error)) return false;
  *port = options_.secondaryPort;
  return secondaryPort_.open(error);
}

void ViewerCore::start(std::function<void()> onFatal) {
  // The start-up files are read before the port is served, so that their
  // lines come first and are all queued when the named files are opened.
  readStartupFiles();
  services_.start(engine_, builders_, options_);
  primaryPort_.start(onFatal);
  secondaryPort_.start(onFatal);
}

void ViewerCore::step() {
  engine_.onTimer();
  builders_.loaders().continueReading();
}

void ViewerCore::tick() {
  step();
  services_.afterTick(engine_);
}

bool ViewerCore::busy() const {
  return primary_.waiting() != 0 || secondary_.waiting() != 0 || builders_.loaders().reading();
}

bool ViewerCore::drainUntil(std::chrono::steady_clock::time_point deadline,
                            std::chrono::milliseconds quietTime) {
  using clock = std::chrono::steady_clock;
  auto quietSince = clock::now();
  while (clock::now() < deadline) {
    if (busy()) {
      uint64_t executed = engine_.executed();
      step();
      quietSince = clock::now();
      // Waiting lines that cannot be taken yet (a data block still open):
      // give their producer a moment instead of spinning.
      if (engine_.executed() == executed) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } else if (clock::now() - quietSince >= quietTime) {
      return true;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  return !busy();
}

bool ViewerCore::finish(std::chrono::milliseconds budget) {
  if (finished_) return true;
  finished_ = true;
  auto deadline = std::chrono::steady_clock::now() + budget;
  services_.stop();
  drainUntil(deadline, kShutdownQuietTime);
  primaryPort_.stop();
  secondaryPort_.stop();
  if (!drainUntil(deadline, std::chrono::milliseconds(0))) {
    reportDropped(primary_.waiting() + secondary_.waiting(), builders_.loaders().reading(), budget);
  }
  if (journal_) journal_->flush();
  if (options_.saveStatePath.empty() || saveState(engine_.registry(), options_.saveStatePath)) {
    return true;
  }
  std::fprintf(stderr, "kestrel: cannot write the state file %s\n", options_.saveStatePath.c_str());
  return false;
}

}  // namespace kestrel
