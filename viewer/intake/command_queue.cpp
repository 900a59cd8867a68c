#include "viewer/intake/command_queue.h"

#include "viewer/intake/command_codes.h"
#include "viewer/intake/command_language.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {

void InternalCommandQueue::queue(const char* line) {
  std::lock_guard lock(mutex_);
  queueLocked(line);
}

size_t InternalCommandQueue::queueBatch(LineBatch& batch, bool force) {
  std::lock_guard lock(mutex_);
  size_t done = 0;
  for (size_t n = batch.pending(); done < n; ++done) {
    if (!force && main_.size() >= CommandRing::kSlots / 2 && !main_.inData) break;
    queueLocked(batch.line(done));
  }
  batch.consume(done);
  return done;
}

void InternalCommandQueue::put(int code, const char* text) {
  std::lock_guard lock(mutex_);
  putLocked(code, text);
}

std::optional<QueuedCommand> InternalCommandQueue::take() {
  std::lock_guard lock(mutex_);
  return chooseRing().take();
}

std::optional<QueuedCommand> InternalCommandQueue::takeNext() {
  std::lock_guard lock(mutex_);
  return chooseRing().takeNext();
}

void InternalCommandQueue::suspend() {
  std::lock_guard lock(mutex_);
  main_.held = true;
}

void InternalCommandQueue::resume() {
  std::lock_guard lock(mutex_);
  main_.held = false;
}

void InternalCommandQueue::beginPriorityBatch() {
  std::lock_guard lock(mutex_);
  beginBatchLocked();
}

void InternalCommandQueue::endPriorityBatch() {
  std::lock_guard lock(mutex_);
  endBatchLocked();
}

void InternalCommandQueue::setDebug(bool on) {
  std::lock_guard lock(mutex_);
  main_.debug = on;
}

int InternalCommandQueue::waiting() const {
  std::lock_guard lock(mutex_);
  return main_.size() + priority_.size();
}

uint64_t InternalCommandQueue::dropped() const {
  std::lock_guard lock(mutex_);
  return main_.dropped() + priority_.dropped();
}

uint64_t InternalCommandQueue::linesQueued() const {
  std::lock_guard lock(mutex_);
  return linesQueued_;
}

bool InternalCommandQueue::mainHeld() const {
  std::lock_guard lock(mutex_);
  return main_.held;
}

bool InternalCommandQueue::debug() const {
  std::lock_guard lock(mutex_);
  return main_.debug;
}

void InternalCommandQueue::reset() {
  std::lock_guard lock(mutex_);
  main_.clear();
  priority_.clear();
  main_.debug = priority_.debug = false;
  storeToMain_ = true;
}

void InternalCommandQueue::putLocked(int code, const char* text) {
  (storeToMain_ ? main_ : priority_).put(code, text);
}

void InternalCommandQueue::beginBatchLocked() {
  storeToMain_ = false;
  main_.held = true;
}

void InternalCommandQueue::endBatchLocked() {
  storeToMain_ = true;
  main_.held = false;
}

CommandRing& InternalCommandQueue::chooseRing() {
  return priority_.ready() ? priority_ : main_;
}

// The parser: a small state machine per ring (outside any block, in a data,
// template or function block), whose state lives in the ring's flags.
void InternalCommandQueue::queueLocked(const char* line) {
  CommandRing& ring = main_;
  ++linesQueued_;
  if (ring.debug) logText("InternalCommandQueue::queue", line);

  if (ring.inData) {
    if (startsWith(line, "enddata", 7)) {
      ring.put(cmd::kEndData, line);
      ring.inData = false;  // even when the end line did not fit
    } else {
      ring.put(cmd::kDataLine, line);
    }
    return;
  }
  if (ring.inTemplate) {
    bool end = startsWith(line, "endtemplate", 11);
    ring.put(end ? cmd::kEndTemplate : cmd::kTemplateLine, line);
    if (end) ring.inTemplate = false;
    return;
  }
  if (ring.inFunction) {
    bool end = startsWith(line, "endfunction", 11);
    ring.put(end ? cmd::kEndFunction : cmd::kFunctionLine, line);
    if (end) ring.inFunction = false;
    return;
  }
  if (line[0] == '*') {
    ring.put(cmd::kStarLine, line + 1);
    return;
  }

  VerbMatch verb = matchVerb(line);
  switch (verb.action) {
    case VerbAction::kNone:
      return;
    case VerbAction::kDebugOn:
      ring.debug = true;
      return;
    case VerbAction::kDebugOff:
      ring.debug = false;
      return;
    case VerbAction::kStoreNoText:
      ring.put(verb.code, nullptr);
      return;
    case VerbAction::kStartTemplate:
      ring.inTemplate = true;
      break;
    case VerbAction::kStartFunction:
      ring.inFunction = true;
      break;
    case VerbAction::kStore:
      break;
  }
  ring.put(verb.code, line + verb.keep);
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
