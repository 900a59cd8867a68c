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
// Returns false when the file could not be opened.
bool readCommandFile(const std::string& path, InternalCommandQueue& queue);

// A command file read in pieces, for files too big to be read in one go:
// each feed() passes lines as readCommandFile does and stops, between
// blocks, once it has read a given number of bytes or the queue's ring is
// half full, so that the taker can run in between and nothing is dropped.
class CommandFileFeed {
 public:
  // Opens PATH; false (and "could not open file" in the log) when it cannot.
  bool open(const std::string& path);
  // Passes lines to QUEUE until at least MAX_BYTES were read, the ring is
  // half full or the file ends; returns true while lines remain.
  bool feed(InternalCommandQueue& queue, size_t maxBytes);

 private:
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
};

}  // namespace kestrel
