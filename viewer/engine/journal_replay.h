// Replaying a journal run on a fresh engine: each step is put alone on the
// queue it was taken from and run as one step, so the engine takes exactly
// what it took when the run was recorded (a block that ended at an empty
// queue ends there again). Whatever a step queues itself (the lines of a
// function it calls, of a command file it loads, the blocks of a scene file)
// is dropped: the journal holds those as the steps that ran them.
//
// Engine thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "viewer/engine/journal_reader.h"

namespace kestrel {

class EngineLoop;
class InternalCommandQueue;

class JournalReplay {
 public:
  JournalReplay(EngineLoop& engine, InternalCommandQueue& primary,
                InternalCommandQueue& secondary, JournalRun run);

  // The recorded time of the next step, or none when the run is done.
  std::optional<int64_t> nextTime() const;
  // Runs the next step; false when none was left.
  bool step();
  // One line for each loaded file that differs now from when the run was
  // recorded ("scene.wrl has changed since it was recorded: ...").
  const std::vector<std::string>& changedFiles() const { return changed_; }

 private:
  void putOnQueue(const JournalRecord& record, InternalCommandQueue& queue);
  void checkFile(const JournalFileInfo& recorded);

  EngineLoop& engine_;
  InternalCommandQueue& primary_;
  InternalCommandQueue& secondary_;
  JournalRun run_;
  size_t next_ = 0;
  std::vector<std::string> changed_;
  std::string scratch_;
};

}  // namespace kestrel
