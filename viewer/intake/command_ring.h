// One fixed ring of parsed commands, and the entry handed to the engine.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrel {

// One command handed to the taker, which owns it: a code, a text or none,
// and an argument or none. The argument lies inside the text (after the
// separator that splitting replaced by a NUL).
class QueuedCommand {
 public:
  QueuedCommand() = default;
  QueuedCommand(int code, const char* text, size_t length, int argumentOffset);
  QueuedCommand(QueuedCommand&& other) noexcept { *this = std::move(other); }
  QueuedCommand& operator=(QueuedCommand&& other) noexcept;

  int code = -1;
  // How deeply the line was nested in command files (see CommandRing::fileDepth).
  int fileDepth = 0;
  // The text, or null when the command has none.
  const char* text() const { return hasText_ ? data() : nullptr; }
  // The argument, or null when there is none.
  const char* argument() const {
    return argumentOffset_ < 0 ? nullptr : data() + argumentOffset_;
  }
  // The text as a string ("" when there is none); the engine keeps names
  // this way.
  std::string takeText() const { return hasText_ ? std::string(data()) : std::string(); }

 private:
  // Texts up to this size live inside the record: taking an entry then
  // allocates nothing.
  static constexpr size_t kInline = 80;
  const char* data() const { return heap_ ? heap_.get() : inline_; }

  char inline_[kInline] = {};
  std::unique_ptr<char[]> heap_;
  bool hasText_ = false;
  int argumentOffset_ = -1;
};

// A ring of kSlots slots holding at most kSlots - 1 entries: one slot always
// stays empty so that full and empty can be told apart.
//
// Invariants: 0 <= readIndex, writeIndex < kSlots; the slots from readIndex
// up to (not including) writeIndex hold entries; for each of them texts[i]
// holds the text (split in place) when hasText[i], and argumentOffsets[i] is
// -1 or an offset inside it. Slot strings keep their capacity between uses
// (up to kKeptCapacity), so a put allocates nothing once the ring is warm.
//
// Not thread-safe: InternalCommandQueue serialises every access.
class CommandRing {
 public:
  static constexpr int kSlots = 30000;

  CommandRing();
  ~CommandRing();
  CommandRing(const CommandRing&) = delete;
  CommandRing& operator=(const CommandRing&) = delete;

  // Stores one entry: CODE, a copy of the LENGTH bytes of TEXT (none when
  // TEXT is null; NULs from splitting included) and the offset of the
  // argument inside it (-1: none). A full ring drops the entry, counted in
  // dropped(), and returns false.
  bool put(int code, const char* text, size_t length, int argumentOffset);
  bool ready() const { return !held && writeIndex_ != readIndex_; }
  bool full() const { return next(writeIndex_) == readIndex_; }
  // The oldest entry, or none when held or empty; logs its name when the
  // debug flag is set. (The queue keeps the taker out of an open data block.)
  std::optional<QueuedCommand> take();
  // The oldest entry, without debug logging.
  std::optional<QueuedCommand> takeNext();
  // The slot the next put writes to.
  int writePosition() const { return writeIndex_; }
  // Forgets the entries stored since the write position was POSITION, when
  // all of them are still in the ring; false (and nothing forgotten)
  // otherwise.
  bool unstoreFrom(int position);
  // Clears the indices and the held flag; keeps the debug flag.
  void clear();

  int size() const { return (writeIndex_ - readIndex_ + kSlots) % kSlots; }
  // Entries refused because the ring was full, since construction.
  uint64_t dropped() const { return dropped_; }

  // Flags, read and written by the parser and the queue.
  bool held = false;
  bool debug = false;
  // Stored with each entry put: the nesting of the command file whose lines
  // are being queued (0 outside any). Lets the engine bound command files
  // that load command files.
  uint8_t fileDepth = 0;

 private:
  static int next(int i) { return i + 1 == kSlots ? 0 : i + 1; }
  std::optional<QueuedCommand> takeSlot();

  // A slot string that grew past this gives its memory back when taken.
  static constexpr size_t kKeptCapacity = 256;

  int writeIndex_ = 0;
  int readIndex_ = 0;
  uint64_t dropped_ = 0;
  std::unique_ptr<int32_t[]> codes_;
  // Grown as slots are first used: 30000 empty strings made up front cost
  // a start-up a millisecond or two of page faults.
  std::vector<std::string> texts_;
  std::unique_ptr<int32_t[]> argumentOffsets_;
  std::unique_ptr<bool[]> hasText_;
  std::unique_ptr<uint8_t[]> fileDepths_;
};

}  // namespace kestrel
