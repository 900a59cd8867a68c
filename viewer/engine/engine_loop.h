// The engine loop: the only taker of the two command queues.
//
// One tick takes from the primary queue and, only when that yields nothing,
// from the secondary queue. In slow mode a tick executes one entry; in fast
// mode it drains the queue it started on (never switching queues), including
// entries that arrive while it runs. A block (data, template, function)
// counts as one entry: its body is collected with takeNext in the same step.
//
// Runs on one thread only (the GUI thread, or the main thread of
// --headless); ticks never overlap.
#pragma once

#include <cstdint>
#include <memory>

#include "viewer/intake/command_ring.h"

namespace kestrel {

class InternalCommandQueue;

class EngineLoop {
 public:
  EngineLoop(InternalCommandQueue& primary, InternalCommandQueue& secondary);
  virtual ~EngineLoop() = default;
  EngineLoop(const EngineLoop&) = delete;
  EngineLoop& operator=(const EngineLoop&) = delete;

  // One engine tick.
  void onTimer();

  bool fastMode() const { return fastMode_; }
  // Entries executed since construction (a block counts as one).
  uint64_t executed() const { return executed_; }

 protected:
  // Executes one entry taken from QUEUE; QUEUE is where block bodies are
  // collected from. The base engine knows only the commands that steer the
  // loop itself (fast, slow, debug) and collects and drops block bodies.
  virtual void execute(QueuedCommand& entry, InternalCommandQueue& queue);

  void setFastMode(bool on) { fastMode_ = on; }
  InternalCommandQueue& primary() { return primary_; }
  InternalCommandQueue& secondary() { return secondary_; }

  // Takes block body entries of BODY_CODE from QUEUE until another code or an
  // empty queue; returns how many. A data block also ends at its end line.
  int skipBlockBody(InternalCommandQueue& queue, int bodyCode);

 private:
  InternalCommandQueue& primary_;
  InternalCommandQueue& secondary_;
  bool fastMode_ = false;
  uint64_t executed_ = 0;
};

}  // namespace kestrel
