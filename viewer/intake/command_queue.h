// InternalCommandQueue: the parser of the command language and the queue of
// parsed commands between the producers and the engine.
//
// A queue has a main ring, which every parsed line goes to, and a priority
// ring, which direct puts go to during a priority batch. The engine, the
// only taker, prefers a ready priority ring. A data block is never handed
// out until its end line has been stored.
//
// Locking: one mutex per queue. Every public operation takes it for its own
// duration. A producer that writes a whole block (a command file, a loader's
// batch) holds it for the whole block through a Writer, so that lines of
// other producers cannot land inside the block.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "viewer/intake/command_ring.h"
#include "viewer/intake/line_batch.h"

namespace kestrel {

class InternalCommandQueue {
 public:
  InternalCommandQueue() = default;
  InternalCommandQueue(const InternalCommandQueue&) = delete;
  InternalCommandQueue& operator=(const InternalCommandQueue&) = delete;

  // Parses one NUL-terminated line (without its line end) into the main
  // ring, whatever the store-to-main flag says and even while it is held.
  void queue(const char* line);
  // Parses the pending lines of BATCH under one hold of the mutex, in order.
  // Unless FORCE is set, it stops before a line that finds the main ring
  // more than half full outside a data block: the taker can make room, and
  // waiting for it leaves a data block that starts next enough room to be
  // stored whole (the ring cannot be taken from while a block is open).
  // Returns how many lines were parsed; they are consumed from BATCH.
  size_t queueBatch(LineBatch& batch, bool force = false);
  // Direct put of a known code: the main ring, or the priority ring during a
  // priority batch.
  void put(int code, const char* text);
  // The oldest entry of the priority ring when it is ready, else of the main
  // ring; none when nothing may be taken.
  std::optional<QueuedCommand> take();
  // The same without the open data block check; collects block bodies.
  std::optional<QueuedCommand> takeNext();

  void suspend();
  void resume();
  void beginPriorityBatch();
  void endPriorityBatch();
  // Sets the debug flag of the main ring (command code 48).
  void setDebug(bool on);
  // Empties both rings and returns every flag to that of a new queue (the
  // counters keep counting); the rings keep their memory. For harnesses
  // that put many independent inputs through one queue.
  void reset();

  // Holds the queue's mutex for as long as it lives, so that a producer's
  // whole block is written without other writers or the taker in between.
  // Must not outlive the queue; not to be nested on one thread.
  class Writer {
   public:
    explicit Writer(InternalCommandQueue& queue) : queue_(queue), lock_(queue.mutex_) {}
    void queue(const char* line) { queue_.queueLocked(line); }
    void put(int code, const char* text) { queue_.putLocked(code, text); }
    void suspend() { queue_.main_.held = true; }
    void resume() { queue_.main_.held = false; }
    void beginPriorityBatch() { queue_.beginBatchLocked(); }
    void endPriorityBatch() { queue_.endBatchLocked(); }
    // Free slots of the ring that puts go to now.
    long freeSlots() const {
      const CommandRing& ring = queue_.storeToMain_ ? queue_.main_ : queue_.priority_;
      return CommandRing::kSlots - 1 - ring.size();
    }
    // True while the main ring is inside a data, template or function block.
    bool inBlock() const {
      const CommandRing& ring = queue_.main_;
      return ring.inData || ring.inTemplate || ring.inFunction;
    }

   private:
    InternalCommandQueue& queue_;
    std::lock_guard<std::mutex> lock_;
  };

  // Observers for tests, benchmarks and status lines; each takes the mutex.
  int waiting() const;
  uint64_t dropped() const;
  // Lines handed to queue() since construction.
  uint64_t linesQueued() const;
  bool mainHeld() const;
  bool debug() const;

 private:
  void queueLocked(const char* line);
  void putLocked(int code, const char* text);
  void beginBatchLocked();
  void endBatchLocked();
  CommandRing& chooseRing();

  mutable std::mutex mutex_;
  CommandRing main_;      // GUARDED_BY(mutex_)
  CommandRing priority_;  // GUARDED_BY(mutex_)
  bool storeToMain_ = true;  // GUARDED_BY(mutex_)
  uint64_t linesQueued_ = 0;  // GUARDED_BY(mutex_)
};

// The two process-wide queues. Created on first use and never destroyed, so
// threads still running while the process exits cannot touch a dead queue.
InternalCommandQueue& primaryQueue();
InternalCommandQueue& secondaryQueue();

}  // namespace kestrel
