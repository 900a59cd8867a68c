// A journal run replayed on a fresh viewer core that can be moved to any
// recorded time: forward by running the steps up to it, back by starting
// over on a new core and running fast to it (the engine runs millions of
// commands a second, so that is quick). The world clock follows the
// recorded times: before each step it is run to the step's time, so a
// TimeSensor stands where it stood when the step ran.
//
// No command port is served: the core's ports are never opened. Engine
// thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "viewer/engine/journal_reader.h"
#include "viewer/shell/viewer_options.h"

namespace kestrel {

// Whether the file at PATH starts as a journal does ("# kestrel journal").
bool looksLikeJournal(const std::string& path);

class JournalReplay;
class ViewerCore;
class ReplayBuilders;

class ReplaySession {
 public:
  // Reads the last run of the journal OPTIONS.replayPath names; null with
  // the reason in *ERROR when it cannot be read or holds no commands.
  static std::unique_ptr<ReplaySession> open(const ViewerOptions& options, std::string* error);
  ~ReplaySession();
  ReplaySession(const ReplaySession&) = delete;
  ReplaySession& operator=(const ReplaySession&) = delete;

  // The recorded time of the last step.
  int64_t endTime() const;
  // The recorded time of the next step, or none when every step has run.
  std::optional<int64_t> nextTime() const;
  // The time replayed to: every step recorded up to it has run.
  int64_t position() const { return position_; }

  // Runs the next step (the world clock first goes to its time); false when
  // none was left.
  bool step();
  // Runs every step recorded at or before MS and leaves the world clock at
  // MS. A time before the position starts over on a fresh core.
  void seekTo(int64_t ms);
  // Moves the world clock to MS (never back), in frame-sized steps.
  void runClockTo(int64_t ms);

  // Messages for loaded files that differ now from when they were recorded,
  // each given once (a fresh core does not repeat them).
  std::vector<std::string> takeChangedFiles();

  // The core being replayed into; a seek back replaces it.
  ViewerCore& core() { return *core_; }
  // How many cores the session has made: it grows when core() is replaced.
  uint64_t coresMade() const { return coresMade_; }

  // The end of the replay: the core's own builders back, what is queued run,
  // and the state file of --save-state written. False when it cannot be.
  bool finish();

 private:
  ReplaySession(const ViewerOptions& options, JournalRun run);
  void startOver();

  ViewerOptions options_;
  JournalRun run_;
  std::unique_ptr<ViewerCore> core_;
  std::unique_ptr<ReplayBuilders> builders_;
  std::unique_ptr<JournalReplay> replay_;
  int64_t position_ = 0;
  size_t changedReported_ = 0;
  uint64_t coresMade_ = 0;
};

}  // namespace kestrel
