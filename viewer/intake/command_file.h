// Command files: text files of command lines, such as the start-up files
// "config.template" and "kestrel.cfg" and the files opened with `load`.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace kestrel {

class InternalCommandQueue;

// Passes every line of the file at PATH, empty ones included, to the parser
// of QUEUE. Lines are read in pieces of at most 999 characters, without
// their newline. A file that cannot be opened logs "could not open file".
// The queue stays locked while a block (data, template, function) is open,
// so lines of other producers cannot land inside the file's blocks.
// DEPTH is how deeply the file is nested: 1 for a file opened by the user,
// a port or the start-up, one more for a file that a line of a command file
// at DEPTH - 1 loads. Its lines carry DEPTH into the queue. A file nested
// deeper than kMaxCommandFileDepth is not read (one log line says so), so
// command files that load each other come to an end.
// Returns false when the file could not be opened or was nested too deeply.
bool readCommandFile(const std::string& path, InternalCommandQueue& queue, int depth = 1);

inline constexpr int kMaxCommandFileDepth = 16;

// A command file read in pieces, for files too big to be read in one go:
// each feed() passes lines as readCommandFile does and stops, between
// blocks, once it has read a given number of bytes or the queue's ring is
// half full, so that the taker can run in between and nothing is dropped.
class CommandFileFeed {
 public:
  // Opens PATH, a file nested DEPTH deep (as for readCommandFile); false
  // (and a log line) when it cannot be opened or is nested too deeply.
  bool open(const std::string& path, int depth = 1);
  // Passes lines to QUEUE until at least MAX_BYTES were read, the ring is
  // half full or the file ends; returns true while lines remain.
  bool feed(InternalCommandQueue& queue, size_t maxBytes);

 private:
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  int depth_ = 1;
};

}  // namespace kestrel
