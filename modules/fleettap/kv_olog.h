// KV_OLog: the trace log of the fleet monitor library. Appends formatted
// text to one file and may be called from several threads at once; the file
// is opened and closed around every write, so it can be read or removed
// while the monitor runs. While closed, printf drops everything at the cost
// of one flag test.
#pragma once

#include <atomic>
#include "viewer/intake/thread_annotations.h"

#define KV_EXPORT __attribute__((visibility("default")))

class KV_EXPORT KV_OLog {
 public:
  KV_OLog();
  ~KV_OLog();
  KV_OLog(const KV_OLog&) = delete;
  KV_OLog& operator=(const KV_OLog&) = delete;

  // Formats the file name (refused when empty or 256 characters or more)
  // and opens the log: the first open after construction or close() empties
  // the file, later ones append. Returns the open flag. Not to be called
  // while other threads write.
  int open(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Closed; the next open empties the file.
  void close();
  // Closed; the next open appends.
  void closeSoft();
  // Appends the formatted text (no line end is added) when open; returns
  // the number of characters written, 0 when closed or when the file could
  // not be opened. Thread-safe: whole calls never interleave.
  int printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  int isOpen() const { return open_.load(); }
  const char* getFileName() const { return fileName_; }

 private:
  char fileName_[256] = {};
  std::atomic<int> open_{0};
  int firstOpen_ = 1;
  kestrel::Mutex lock_;  // serialises printf
};

// The library's shared log, created when the library is loaded. It is opened
// on the file named by the environment variable KV_OLOG, if set; otherwise it
// stays closed and every trace line is dropped.
KV_EXPORT KV_OLog& fleetLog();
