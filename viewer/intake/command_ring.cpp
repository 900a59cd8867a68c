#include "viewer/intake/command_ring.h"

#include <cstring>

#include "viewer/intake/command_codes.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {

QueuedCommand::QueuedCommand(int commandCode, const char* text, size_t length,
                             int argumentOffset)
    : code(commandCode), argumentOffset_(argumentOffset) {
  if (text == nullptr) return;
  hasText_ = true;
  char* target = inline_;
  if (length + 1 > kInline) {
    heap_ = std::make_unique_for_overwrite<char[]>(length + 1);
    target = heap_.get();
  }
  // The whole stored text, NULs from splitting included.
  std::memcpy(target, text, length);
  target[length] = '\0';
}

QueuedCommand& QueuedCommand::operator=(QueuedCommand&& other) noexcept {
  code = other.code;
  fileDepth = other.fileDepth;
  hasText_ = other.hasText_;
  argumentOffset_ = other.argumentOffset_;
  heap_ = std::move(other.heap_);
  if (!heap_) std::memcpy(inline_, other.inline_, kInline);
  return *this;
}

CommandRing::CommandRing()
    : codes_(std::make_unique<int32_t[]>(kSlots)),
      argumentOffsets_(std::make_unique<int32_t[]>(kSlots)),
      hasText_(std::make_unique<bool[]>(kSlots)),
      fileDepths_(std::make_unique<uint8_t[]>(kSlots)) {}

CommandRing::~CommandRing() = default;

void CommandRing::clear() {
  writeIndex_ = readIndex_ = 0;
  held = false;
}

bool CommandRing::put(int code, const char* text, size_t length, int argumentOffset) {
  if (code == cmd::kClear) logLine("INTERNAL QUEUE ADDING CLEAR");
  if (full()) {
    ++dropped_;
    return false;
  }
  codes_[writeIndex_] = code;
  fileDepths_[writeIndex_] = fileDepth;
  hasText_[writeIndex_] = text != nullptr;
  // Slots are first written in order, so a new one is the next string.
  if (size_t(writeIndex_) == texts_.size()) texts_.emplace_back();
  if (text != nullptr) texts_[size_t(writeIndex_)].assign(text, length);
  argumentOffsets_[writeIndex_] = text != nullptr ? argumentOffset : -1;
  writeIndex_ = next(writeIndex_);
  return true;
}

bool CommandRing::unstoreFrom(int position) {
  int since = (writeIndex_ - position + kSlots) % kSlots;
  if (position < 0 || position >= kSlots || since > size()) return false;
  writeIndex_ = position;
  return true;
}

std::optional<QueuedCommand> CommandRing::take() {
  if (!ready()) return std::nullopt;
  if (debug) logText("command:", commandName(codes_[readIndex_]));
  return takeSlot();
}

std::optional<QueuedCommand> CommandRing::takeNext() {
  if (!ready()) return std::nullopt;
  return takeSlot();
}

std::optional<QueuedCommand> CommandRing::takeSlot() {
  std::string& text = texts_[size_t(readIndex_)];
  // The copy keeps the whole stored text, NULs from splitting included.
  std::optional<QueuedCommand> entry(std::in_place, codes_[readIndex_],
                                     hasText_[readIndex_] ? text.data() : nullptr, text.size(),
                                     argumentOffsets_[readIndex_]);
  entry->fileDepth = fileDepths_[readIndex_];
  if (text.capacity() > kKeptCapacity) std::string().swap(text);
  readIndex_ = next(readIndex_);
  return entry;
}

}  // namespace kestrel
