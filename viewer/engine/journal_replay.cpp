#include "viewer/engine/journal_replay.h"

#include "viewer/engine/engine_loop.h"
#include "viewer/intake/command_codes.h"
#include "viewer/intake/command_queue.h"

namespace kestrel {
namespace {

void dropWaiting(InternalCommandQueue& queue) {
  while (queue.takeNext()) {
  }
}

}  // namespace

JournalReplay::JournalReplay(EngineLoop& engine, InternalCommandQueue& primary,
                             InternalCommandQueue& secondary, JournalRun run)
    : engine_(engine), primary_(primary), secondary_(secondary), run_(std::move(run)) {
  // A run that starts with '+' lines (cut by hand) starts at its first step.
  while (next_ < run_.size() && run_[next_].continued) ++next_;
}

std::optional<int64_t> JournalReplay::nextTime() const {
  if (next_ >= run_.size()) return std::nullopt;
  return run_[next_].milliseconds;
}

bool JournalReplay::step() {
  if (next_ >= run_.size()) return false;
  InternalCommandQueue& queue = run_[next_].queue == 'S' ? secondary_ : primary_;
  dropWaiting(primary_);
  dropWaiting(secondary_);
  bool dataBlock = false, ended = false;
  do {
    const JournalRecord& record = run_[next_];
    if (record.kind == JournalRecord::Kind::kFile) {
      checkFile(record.file);
      continue;
    }
    if (record.code == cmd::kStartData || record.code == cmd::kModelSet) dataBlock = true;
    if (record.code == cmd::kEndData) ended = true;
    putOnQueue(record, queue);
  } while (++next_ < run_.size() && run_[next_].continued);
  // A data block that the engine ended at an empty queue: its end line ends
  // it the same way, and lets the queue hand the block out.
  if (dataBlock && !ended) queue.put(cmd::kEndData, "enddata");
  engine_.runOneStep(queue);
  dropWaiting(primary_);
  dropWaiting(secondary_);
  return true;
}

void JournalReplay::putOnQueue(const JournalRecord& record, InternalCommandQueue& queue) {
  if (!record.text) {
    queue.put(record.code, nullptr);
    return;
  }
  // The queue splits a text at its first ':' or blank (not at position 1),
  // skipping one '_' after it; the recorded text has no such separator, so
  // joined with ":_" the pair splits back into the recorded text and
  // argument.
  scratch_ = *record.text;
  if (record.argument) {
    scratch_ += ":_";
    scratch_ += *record.argument;
  }
  queue.put(record.code, scratch_.c_str());
}

void JournalReplay::checkFile(const JournalFileInfo& recorded) {
  JournalFileInfo now = describeFile(recorded.path);
  if (now == recorded) return;
  std::string message = recorded.path + " has changed since it was recorded: ";
  if (!now.found) {
    message += "it is missing now";
  } else if (!recorded.found) {
    message += "it was missing then";
  } else {
    std::string then, since;
    appendUtcTime(then, recorded.mtimeSeconds, recorded.mtimeNanoseconds);
    appendUtcTime(since, now.mtimeSeconds, now.mtimeNanoseconds);
    message += "size " + std::to_string(recorded.size) + " then, " + std::to_string(now.size) +
               " now; modified " + then + " then, " + since + " now";
  }
  changed_.push_back(message);
}

}  // namespace kestrel
