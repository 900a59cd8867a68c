// The engine loop: the only taker of the two command queues.
//
// One tick takes from the primary queue and, only when that yields nothing,
// from the secondary queue. In slow mode a tick executes one entry; in fast
// mode it drains the queue it started on (never switching queues), including
// entries that arrive while it runs, for at most kFastTickBudget: a queue
// that never empties (a producer faster than the engine, command files that
// load each other) then continues in the next tick, so that signals, the
// window and the other queue are served in between. A block (data,
// template, function) counts as one entry: its body is collected with
// takeNext in the same step.
//
// With a journal attached, every entry the engine takes is recorded: the
// entry a step starts with, and the block lines the step takes along.
//
// Runs on one thread only (the GUI thread, or the main thread of
// --headless); ticks never overlap.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "viewer/intake/command_ring.h"

namespace kestrel {

class InternalCommandQueue;
class Journal;

class EngineLoop {
 public:
  // How long one fast-mode tick may keep executing entries. Long enough for
  // thousands of commands, short enough that the window stays responsive.
  static constexpr std::chrono::milliseconds kFastTickBudget{5};

  EngineLoop(InternalCommandQueue& primary, InternalCommandQueue& secondary);
  virtual ~EngineLoop() = default;
  EngineLoop(const EngineLoop&) = delete;
  EngineLoop& operator=(const EngineLoop&) = delete;

  // One engine tick.
  void onTimer();

  // One step on QUEUE alone, whatever the mode: takes one entry (and the
  // block lines it collects) and executes it. False when QUEUE had nothing
  // to take.
  bool runOneStep(InternalCommandQueue& queue);

  // Records what the engine takes from now on in JOURNAL (null: nothing);
  // the journal must outlive its use here.
  void setJournal(Journal* journal) { journal_ = journal; }
  Journal* journal() const { return journal_; }

  bool fastMode() const { return fastMode_; }
  // Entries executed since construction (a block counts as one).
  uint64_t executed() const { return executed_; }
  // How deeply the entry being executed was nested in command files (0 for
  // a line that came from a port, the window or a loader; 1 for a line of
  // a command file opened from there, and so on).
  int commandFileDepth() const { return commandFileDepth_; }

 protected:
  // Executes one entry taken from QUEUE; QUEUE is where block bodies are
  // collected from. The base engine knows only the commands that steer the
  // loop itself (fast, slow, debug) and collects and drops block bodies.
  virtual void execute(QueuedCommand& entry, InternalCommandQueue& queue);

  void setFastMode(bool on) { fastMode_ = on; }
  InternalCommandQueue& primary() { return primary_; }
  InternalCommandQueue& secondary() { return secondary_; }

  // The next entry of QUEUE for the block being collected (takeNext),
  // recorded in the journal as taken by this step.
  std::optional<QueuedCommand> takeBlockLine(InternalCommandQueue& queue);
  // When the step being executed started (the time its journal lines carry).
  std::chrono::steady_clock::time_point stepTime() const { return stepTime_; }
  // Whether QUEUE is the primary queue.
  bool isPrimary(const InternalCommandQueue& queue) const { return &queue == &primary_; }

  // Executes ENTRY, taken from QUEUE at NOW, as one step.
  void executeStep(QueuedCommand& entry, InternalCommandQueue& queue,
                   std::chrono::steady_clock::time_point now);

  // Takes block body entries of BODY_CODE from QUEUE until another code or an
  // empty queue; returns how many. A data block also ends at its end line.
  int skipBlockBody(InternalCommandQueue& queue, int bodyCode);

 private:
  InternalCommandQueue& primary_;
  InternalCommandQueue& secondary_;
  bool fastMode_ = false;
  uint64_t executed_ = 0;
  int commandFileDepth_ = 0;
  Journal* journal_ = nullptr;
  std::chrono::steady_clock::time_point stepTime_;
};

}  // namespace kestrel
