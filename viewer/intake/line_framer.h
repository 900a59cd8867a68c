// Frames command lines out of the bytes received on a command port.
//
// Rules, counting every character taken for the current line from 1: a
// newline ends the line and is not stored; the first and the second
// character are dropped when they are not printable (0x20..0x7e), and
// dropping one discards what was stored before it; every later character is
// stored as it is (a carriage return before the newline stays); after 4999
// stored or dropped characters the line ends and the rest comes as the next
// line. Pure and allocation-free after construction, so it can be fuzzed.
#pragma once

#include <cstddef>
#include <string_view>

namespace kestrel {

class LineFramer {
 public:
  static constexpr size_t kMaxLine = 4999;

  // Takes bytes from DATA into the current line until the line ends or the
  // bytes run out; returns how many were taken. When lineReady() is true
  // afterwards, line() holds the finished line until the next feed.
  size_t feed(const char* data, size_t size);
  // Ends the current line with what it has (the peer closed mid-line).
  void endLine() { ready_ = true; }
  // Forgets the current line (a receive error).
  void discard();

  bool lineReady() const { return ready_; }
  // True when a character has been taken for the current, unfinished line.
  bool lineStarted() const { return taken_ > 0; }
  // The finished line, NUL-terminated.
  std::string_view line() const { return {buffer_, stored_}; }
  const char* lineText() const { return buffer_; }

 private:
  void startLineIfDone();
  void finish();

  char buffer_[kMaxLine + 1] = {};
  size_t stored_ = 0;
  size_t taken_ = 0;
  bool ready_ = false;
};

}  // namespace kestrel
