#include "viewer/engine/engine_loop.h"

#include "viewer/engine/journal.h"
#include "viewer/intake/command_codes.h"
#include "viewer/intake/command_queue.h"

namespace kestrel {

EngineLoop::EngineLoop(InternalCommandQueue& primary, InternalCommandQueue& secondary)
    : primary_(primary), secondary_(secondary) {}

void EngineLoop::onTimer() {
  InternalCommandQueue* queue = &primary_;
  std::optional<QueuedCommand> entry = primary_.take();
  if (!entry) {
    queue = &secondary_;
    entry = secondary_.take();
  }
  auto now = std::chrono::steady_clock::now();
  const auto deadline = now + kFastTickBudget;
  while (entry) {
    executeStep(*entry, *queue, now);
    entry.reset();
    if (!fastMode_) break;
    now = std::chrono::steady_clock::now();
    if (now >= deadline) break;
    entry = queue->take();
  }
  if (journal_ != nullptr) journal_->commit();
}

bool EngineLoop::runOneStep(InternalCommandQueue& queue) {
  std::optional<QueuedCommand> entry = queue.take();
  if (!entry) return false;
  executeStep(*entry, queue, std::chrono::steady_clock::now());
  if (journal_ != nullptr) journal_->commit();
  return true;
}

void EngineLoop::executeStep(QueuedCommand& entry, InternalCommandQueue& queue,
                             std::chrono::steady_clock::time_point now) {
  stepTime_ = now;
  if (journal_ != nullptr) journal_->recordCommand(entry, isPrimary(queue), false, now);
  commandFileDepth_ = entry.fileDepth;
  execute(entry, queue);
  commandFileDepth_ = 0;
  ++executed_;
}

std::optional<QueuedCommand> EngineLoop::takeBlockLine(InternalCommandQueue& queue) {
  std::optional<QueuedCommand> line = queue.takeNext();
  if (line && journal_ != nullptr) journal_->recordCommand(*line, isPrimary(queue), true, stepTime_);
  return line;
}

int EngineLoop::skipBlockBody(InternalCommandQueue& queue, int bodyCode) {
  int count = 0;
  for (;;) {
    std::optional<QueuedCommand> body = takeBlockLine(queue);
    if (!body) return count;
    if (body->code != bodyCode) {
      // The entry that ends the body is destroyed unexecuted; a data block
      // destroys strays inside it too and ends only at its end line.
      if (bodyCode != cmd::kDataLine || body->code == cmd::kEndData) return count;
      continue;
    }
    ++count;
  }
}

void EngineLoop::execute(QueuedCommand& entry, InternalCommandQueue& queue) {
  switch (entry.code) {
    case cmd::kFast:
      fastMode_ = true;
      break;
    case cmd::kSlow:
      fastMode_ = false;
      break;
    case cmd::kDebugBoth:
      primary_.setDebug(true);
      secondary_.setDebug(true);
      break;
    case cmd::kStartData:
    case cmd::kModelSet:
      skipBlockBody(queue, cmd::kDataLine);
      break;
    case cmd::kStartTemplate:
      skipBlockBody(queue, cmd::kTemplateLine);
      break;
    case cmd::kStartFunction:
      skipBlockBody(queue, cmd::kFunctionLine);
      break;
    default:
      break;
  }
}

}  // namespace kestrel
