// One fixed ring of parsed commands, and the entry handed to the engine.
#pragma once

#include <cstdint>
#include <memory>

namespace kestrel {

// One command handed to the taker, which owns it. The argument, when there
// is one, points into the text and is never freed by itself.
struct QueuedCommand {
  int code = -1;
  std::unique_ptr<char[]> text;  // may be null
  const char* argument = nullptr;
};

// A ring of kSlots slots holding at most kSlots - 1 entries: one slot always
// stays empty so that full and empty can be told apart.
//
// Invariants: 0 <= readIndex, writeIndex < kSlots; the slots from readIndex
// up to (not including) writeIndex hold entries; texts[i] is owned by the
// ring for every such slot and null for every other; arguments[i] is null or
// points into texts[i].
//
// Not thread-safe: InternalCommandQueue serialises every access.
class CommandRing {
 public:
  static constexpr int kSlots = 30000;

  CommandRing();
  ~CommandRing();
  CommandRing(const CommandRing&) = delete;
  CommandRing& operator=(const CommandRing&) = delete;

  // Stores one entry (copying TEXT when it is not null), updates the data
  // block flag and splits the copy as the language prescribes. A full ring
  // drops the entry, counted in dropped().
  void put(int code, const char* text);
  bool ready() const { return !held && writeIndex_ != readIndex_; }
  bool full() const { return next(writeIndex_) == readIndex_; }
  // The oldest entry, or null when held, empty or inside an open data block.
  std::unique_ptr<QueuedCommand> take();
  // The oldest entry without the data block check and without debug logging.
  std::unique_ptr<QueuedCommand> takeNext();
  // Clears the indices and the held and block flags; keeps the debug flag.
  void clear();

  int size() const { return (writeIndex_ - readIndex_ + kSlots) % kSlots; }
  // Entries refused because the ring was full, since construction.
  uint64_t dropped() const { return dropped_; }

  // Flags, read and written by the parser and the queue.
  bool held = false;
  bool debug = false;
  bool inData = false;
  bool inTemplate = false;
  bool inFunction = false;

 private:
  static int next(int i) { return i + 1 == kSlots ? 0 : i + 1; }
  std::unique_ptr<QueuedCommand> takeSlot();

  int writeIndex_ = 0;
  int readIndex_ = 0;
  uint64_t dropped_ = 0;
  std::unique_ptr<int32_t[]> codes_;
  std::unique_ptr<char*[]> texts_;
  std::unique_ptr<char*[]> arguments_;
};

}  // namespace kestrel
