// A regular file's bytes mapped read-only into memory, so a large scene
// is parsed straight from the page cache: nothing zeroes a buffer for it
// and nothing copies it there.
//
// A mapped file can shrink while it is mapped (another program truncates
// or rewrites it). Reading a page past its new end raises SIGBUS, which
// would end the process. While any mapping lives, a SIGBUS handler stands
// in: a fault inside a mapping puts zero-filled pages in place of its rest
// and marks it cut short, so the bytes that are gone read as NUL (which no
// scene text contains: the parse fails, or the caller refuses the text).
// Faults anywhere else go to the handler that was there before.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace kestrel {

class FileMapping {
 public:
  // Maps the first SIZE bytes (SIZE > 0) of the open file FD, read-only.
  // Null when the system refuses, or when too many mappings are alive.
  static std::unique_ptr<FileMapping> map(int fd, size_t size);
  ~FileMapping();
  FileMapping(const FileMapping&) = delete;
  FileMapping& operator=(const FileMapping&) = delete;

  std::string_view bytes() const { return {data_, size_}; }
  // Takes the whole pages within [BEGIN, END) out of the process's memory
  // (they stay in the page cache); reading them again maps them again.
  // Safe from several threads at once.
  void dropPages(size_t begin, size_t end);
  // Whether the file lost part of these bytes since it was mapped: it is
  // shorter now, or pages that it lost were read (they read as zeros).
  bool cutShort() const;

 private:
  FileMapping(const char* data, size_t size, size_t slot, int fd)
      : data_(data), size_(size), slot_(slot), fd_(fd) {}
  const char* data_;
  size_t size_;
  size_t slot_;  // in the table the SIGBUS handler consults
  int fd_;       // the file, kept open to see its size change
};

}  // namespace kestrel
