// InternalCommandQueue: the queue of parsed commands between the producers
// and the engine, with a parser (CommandParser) in front of each ring.
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

#include "viewer/intake/command_parser.h"
#include "viewer/intake/command_ring.h"
#include "viewer/intake/line_batch.h"
#include "viewer/intake/thread_annotations.h"

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

  // True while the main ring is inside a data, template or function block.
  bool inBlock() const;
  // Gives up the open block of the main ring, for a producer that will not
  // finish it: a data block is taken back out of the ring (none of it has
  // been handed out, the taker waits for its end), a template or function
  // block is ended with its end line (its lines have gone to the taker
  // already). Returns what was done ("data block was discarded", ...), or
  // null when no block was open.
  const char* abandonBlock();

  // Holds the queue's mutex for as long as it lives, so that a producer's
  // whole block is written without other writers or the taker in between.
  // Must not outlive the queue; not to be nested on one thread. The lock
  // analysis cannot follow the mutex through the queue_ reference, so the
  // members below are exempt from it: the lock is held from construction on.
  class SCOPED_CAPABILITY Writer {
   public:
    explicit Writer(InternalCommandQueue& queue) ACQUIRE(queue.mutex_)
        : queue_(queue), lock_(queue.mutex_) {}
    ~Writer() RELEASE() { clearFileDepth(); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;
    // The lines queued through this writer come from a command file nested
    // DEPTH deep (see QueuedCommand::fileDepth).
    void setFileDepth(int depth) NO_THREAD_SAFETY_ANALYSIS {
      queue_.main_.fileDepth = static_cast<uint8_t>(depth < 0 ? 0 : depth > 255 ? 255 : depth);
    }
    void queue(const char* line) NO_THREAD_SAFETY_ANALYSIS { queue_.queueLocked(line); }
    void put(int code, const char* text) NO_THREAD_SAFETY_ANALYSIS {
      queue_.putLocked(code, text);
    }
    void suspend() NO_THREAD_SAFETY_ANALYSIS { queue_.main_.held = true; }
    void resume() NO_THREAD_SAFETY_ANALYSIS { queue_.main_.held = false; }
    void beginPriorityBatch() NO_THREAD_SAFETY_ANALYSIS { queue_.beginBatchLocked(); }
    void endPriorityBatch() NO_THREAD_SAFETY_ANALYSIS { queue_.endBatchLocked(); }
    // Free slots of the ring that puts go to now.
    long freeSlots() const NO_THREAD_SAFETY_ANALYSIS {
      const CommandRing& ring = queue_.storeToMain_ ? queue_.main_ : queue_.priority_;
      return CommandRing::kSlots - 1 - ring.size();
    }
    // True while the main ring is inside a data, template or function block.
    bool inBlock() const NO_THREAD_SAFETY_ANALYSIS { return queue_.mainParser_.blocks().open(); }

   private:
    void clearFileDepth() NO_THREAD_SAFETY_ANALYSIS { queue_.main_.fileDepth = 0; }

    InternalCommandQueue& queue_;
    MutexLock lock_;
  };

  // Observers for tests, benchmarks and status lines; each takes the mutex.
  int waiting() const;
  uint64_t dropped() const;
  // Lines handed to queue() since construction.
  uint64_t linesQueued() const;
  bool mainHeld() const;
  bool debug() const;

 private:
  void queueLocked(const char* line) REQUIRES(mutex_);
  void putLocked(int code, const char* text) REQUIRES(mutex_);
  void beginBatchLocked() REQUIRES(mutex_);
  void endBatchLocked() REQUIRES(mutex_);
  // The entry the taker gets next, or none; CHECK_BLOCK keeps it out of an
  // open data block.
  std::optional<QueuedCommand> takeLocked(bool checkBlock) REQUIRES(mutex_);

  mutable Mutex mutex_;
  CommandRing main_ GUARDED_BY(mutex_);
  CommandRing priority_ GUARDED_BY(mutex_);
  CommandParser mainParser_ GUARDED_BY(mutex_){main_};
  CommandParser priorityParser_ GUARDED_BY(mutex_){priority_};
  bool storeToMain_ GUARDED_BY(mutex_) = true;
  uint64_t linesQueued_ GUARDED_BY(mutex_) = 0;
};

// The two process-wide queues. Created on first use and never destroyed, so
// threads still running while the process exits cannot touch a dead queue.
InternalCommandQueue& primaryQueue();
InternalCommandQueue& secondaryQueue();

}  // namespace kestrel
