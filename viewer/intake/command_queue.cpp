#include "viewer/intake/command_queue.h"

#include "viewer/intake/diagnostic_log.h"

namespace kestrel {

void InternalCommandQueue::queue(const char* line) {
  MutexLock lock(mutex_);
  queueLocked(line);
}

size_t InternalCommandQueue::queueBatch(LineBatch& batch, bool force) {
  MutexLock lock(mutex_);
  size_t done = 0;
  for (size_t n = batch.pending(); done < n; ++done) {
    if (!force && main_.size() >= CommandRing::kSlots / 2 && !mainParser_.blocks().inData) break;
    queueLocked(batch.line(done));
  }
  batch.consume(done);
  return done;
}

void InternalCommandQueue::put(int code, const char* text) {
  MutexLock lock(mutex_);
  putLocked(code, text);
}

std::optional<QueuedCommand> InternalCommandQueue::take() {
  MutexLock lock(mutex_);
  return takeLocked(true);
}

std::optional<QueuedCommand> InternalCommandQueue::takeNext() {
  MutexLock lock(mutex_);
  return takeLocked(false);
}

std::optional<QueuedCommand> InternalCommandQueue::takeLocked(bool checkBlock) {
  bool priority = priority_.ready();
  CommandRing& ring = priority ? priority_ : main_;
  if (!checkBlock) return ring.takeNext();
  if ((priority ? priorityParser_ : mainParser_).blocks().inData) return std::nullopt;
  return ring.take();
}

void InternalCommandQueue::suspend() {
  MutexLock lock(mutex_);
  main_.held = true;
}

void InternalCommandQueue::resume() {
  MutexLock lock(mutex_);
  main_.held = false;
}

void InternalCommandQueue::beginPriorityBatch() {
  MutexLock lock(mutex_);
  beginBatchLocked();
}

void InternalCommandQueue::endPriorityBatch() {
  MutexLock lock(mutex_);
  endBatchLocked();
}

void InternalCommandQueue::setDebug(bool on) {
  MutexLock lock(mutex_);
  main_.debug = on;
}

int InternalCommandQueue::waiting() const {
  MutexLock lock(mutex_);
  return main_.size() + priority_.size();
}

uint64_t InternalCommandQueue::dropped() const {
  MutexLock lock(mutex_);
  return main_.dropped() + priority_.dropped();
}

uint64_t InternalCommandQueue::linesQueued() const {
  MutexLock lock(mutex_);
  return linesQueued_;
}

bool InternalCommandQueue::mainHeld() const {
  MutexLock lock(mutex_);
  return main_.held;
}

bool InternalCommandQueue::debug() const {
  MutexLock lock(mutex_);
  return main_.debug;
}

void InternalCommandQueue::reset() {
  MutexLock lock(mutex_);
  main_.clear();
  priority_.clear();
  mainParser_.reset();
  priorityParser_.reset();
  main_.debug = priority_.debug = false;
  storeToMain_ = true;
}

bool InternalCommandQueue::inBlock() const {
  MutexLock lock(mutex_);
  return mainParser_.blocks().open();
}

const char* InternalCommandQueue::abandonBlock() {
  MutexLock lock(mutex_);
  return mainParser_.abandonBlock();
}

void InternalCommandQueue::putLocked(int code, const char* text) {
  (storeToMain_ ? mainParser_ : priorityParser_).store(code, text);
}

void InternalCommandQueue::beginBatchLocked() {
  storeToMain_ = false;
  main_.held = true;
}

void InternalCommandQueue::endBatchLocked() {
  storeToMain_ = true;
  main_.held = false;
}

void InternalCommandQueue::queueLocked(const char* line) {
  ++linesQueued_;
  if (main_.debug) logText("InternalCommandQueue::queue", line);
  mainParser_.parse(line);
}

InternalCommandQueue& primaryQueue() {
  static InternalCommandQueue* queue = new InternalCommandQueue;
  return *queue;
}

InternalCommandQueue& secondaryQueue() {
  static InternalCommandQueue* queue = new InternalCommandQueue;
  return *queue;
}

}  // namespace kestrel
