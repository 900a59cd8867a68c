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

bool InternalCommandQueue::inBlock() const {
  std::lock_guard lock(mutex_);
  return inBlockLocked();
}

bool InternalCommandQueue::inBlockLocked() const {
  return main_.inData || main_.inTemplate || main_.inFunction;
}

const char* InternalCommandQueue::abandonBlock() {
  std::lock_guard lock(mutex_);
  if (main_.inData) {
    // Only when nothing from the block start on was taken (a taker that
    // lost its way through a block without an end) is it taken back;
    // otherwise it is ended like the other blocks.
    main_.inData = false;
    if (main_.unstoreFrom(dataBlockStart_)) return "data block was discarded";
    main_.put(cmd::kEndData, "enddata");
    return "data block was ended";
  }
  if (main_.inTemplate) {
    queueLocked("endtemplate");
    return "template block was ended";
  }
  if (main_.inFunction) {
    queueLocked("endfunction");
    return "function block was ended";
  }
  return nullptr;
}

void InternalCommandQueue::store(CommandRing& ring, int code, const char* text) {
  bool wasInData = ring.inData;
  int position = ring.writePosition();
  ring.put(code, text);
  if (&ring == &main_ && !wasInData && ring.inData) dataBlockStart_ = position;
}

void InternalCommandQueue::putLocked(int code, const char* text) {
  store(storeToMain_ ? main_ : priority_, code, text);
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
      store(ring, cmd::kEndData, line);
      ring.inData = false;  // even when the end line did not fit
    } else {
      store(ring, cmd::kDataLine, line);
    }
    return;
  }
  if (ring.inTemplate) {
    bool end = startsWith(line, "endtemplate", 11);
    store(ring, end ? cmd::kEndTemplate : cmd::kTemplateLine, line);
    if (end) ring.inTemplate = false;
    return;
  }
  if (ring.inFunction) {
    bool end = startsWith(line, "endfunction", 11);
    store(ring, end ? cmd::kEndFunction : cmd::kFunctionLine, line);
    if (end) ring.inFunction = false;
    return;
  }
  if (line[0] == '*') {
    store(ring, cmd::kStarLine, line + 1);
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
      store(ring, verb.code, nullptr);
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
  store(ring, verb.code, line + verb.keep);
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
