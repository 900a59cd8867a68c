// ViewerCore: the viewer's parts, wired in one place. It chooses the render
// root and owns the engine, the shell's scene builders, the two command port
// threads and the services (web control, snapshots, search); it serves the
// process's two command queues, which the port threads fill. The window, the
// headless run and --snapshot each make one and drive it from their own loop.
//
// Threads: everything here runs on the engine thread (the window thread or
// the headless main thread); the port threads and the web server run their
// own threads and meet the engine only through the queues.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "viewer/engine/engine.h"
#include "viewer/engine/journal.h"
#include "viewer/intake/command_port_thread.h"
#include "viewer/shell/shell_builders.h"
#include "viewer/shell/viewer_options.h"
#include "viewer/shell/viewer_services.h"

namespace kestrel {

class InternalCommandQueue;

// The render root when GIVEN is empty: KESTREL_RENDER_ROOT (read by the URL
// resolver), else the installed share/kestrel/render beside the program,
// else a render/ directory in the working directory.
std::string chooseRenderRoot(const std::string& given);

// How long shutdown may spend running the commands still queued before the
// state file is written; what is left then is dropped and counted in the logs.
inline constexpr std::chrono::milliseconds kShutdownDrainBudget{3000};

class ViewerCore {
 public:
  explicit ViewerCore(const ViewerOptions& options);
  ~ViewerCore();
  ViewerCore(const ViewerCore&) = delete;
  ViewerCore& operator=(const ViewerCore&) = delete;

  // Queues the lines of the start-up files (config.template, kestrel.cfg)
  // into the primary queue; start() does it before serving the ports.
  void readStartupFiles();
  // Opens the journal of --journal, if any, and attaches it to the engine;
  // false with the reason in *error when the file cannot be opened.
  bool openJournal(std::string* error);
  // Binds both command ports; on failure returns false with the reason in
  // *error and the port that could not be bound in *port.
  bool openPorts(std::string* error, uint16_t* port);
  // Starts the port threads (ON_FATAL runs on one when accept fails for
  // good) and the services.
  void start(std::function<void()> onFatal = {});

  // One engine tick and the next piece of the command files being read.
  void step();
  // A step followed by the services' share of the tick.
  void tick();
  // Whether either queue holds commands or a command file is being read.
  bool busy() const;

  // The end of a run: stops the services, runs what is queued (ports still
  // served, so lines already sent are taken) for at most BUDGET, stops the
  // ports and writes the state file of --save-state. Returns false when the
  // state file could not be written (said on standard error).
  bool finish(std::chrono::milliseconds budget = kShutdownDrainBudget);

  Engine& engine() { return engine_; }
  const Engine& engine() const { return engine_; }
  ShellBuilders& builders() { return builders_; }
  ViewerServices& services() { return services_; }
  InternalCommandQueue& primary() { return primary_; }
  InternalCommandQueue& secondary() { return secondary_; }
  const ViewerOptions& options() const { return options_; }
  const std::string& renderRoot() const { return renderRoot_; }

 private:
  // Ticks without waiting until both queues have stayed empty for
  // QUIET_TIME or DEADLINE passes; returns whether they ended empty.
  bool drainUntil(std::chrono::steady_clock::time_point deadline,
                  std::chrono::milliseconds quietTime);

  ViewerOptions options_;
  std::string renderRoot_;
  InternalCommandQueue& primary_;
  InternalCommandQueue& secondary_;
  Engine engine_;
  ShellBuilders builders_;
  CommandPortThread primaryPort_;
  CommandPortThread secondaryPort_;
  ViewerServices services_;
  std::unique_ptr<Journal> journal_;
  bool finished_ = false;
};

}  // namespace kestrel
