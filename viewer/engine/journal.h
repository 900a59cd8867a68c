// Journal: the record of every command the engine executes, written to a
// file in the line format of journal_format.h (docs/journal.md).
//
// The engine thread copies each entry it takes (code, text, argument, time,
// queue) into a staging buffer of its own and hands what it has staged to a
// shared buffer once per tick (a short lock); a writer thread formats the
// lines and writes them out at least every kWritePeriod, so a crash loses at
// most the last kWritePeriod plus one tick of commands. A
// failed write (a full disk, a file size limit) stops the journal with one
// line in kestrel.log and kestrel.err; the viewer goes on without it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "viewer/engine/journal_format.h"
#include "viewer/intake/thread_annotations.h"

namespace kestrel {

class QueuedCommand;

class Journal {
 public:
  static constexpr std::chrono::milliseconds kWritePeriod{50};
  // A writer this far behind (a disk slower than the commands) stops the
  // journal rather than let the buffer take the memory.
  static constexpr size_t kMaxBuffered = size_t{256} << 20;

  // Opens PATH for appending (creating it), writes the header of this run
  // and starts the writer. Null with the reason in *ERROR when PATH cannot be
  // opened.
  static std::unique_ptr<Journal> open(const std::string& path, std::string* error);
  // Writes what is left and stops the writer.
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  using Clock = std::chrono::steady_clock;

  // Engine thread: stages the line of ENTRY, taken at WHEN from the primary
  // or the secondary queue, CONTINUED when the step of the line before took
  // it.
  void recordCommand(const QueuedCommand& entry, bool primary, bool continued,
                     Clock::time_point when);
  // Engine thread: stages the line of a file a load opened.
  void recordFile(const JournalFileInfo& file, bool primary, Clock::time_point when);
  // Engine thread: hands the staged lines to the writer.
  void commit();
  // Any thread: waits until everything committed so far has been written
  // (or the journal has stopped).
  void flush();

  // False once a write has failed; nothing is recorded from then on.
  bool running() const { return running_.load(std::memory_order_relaxed); }
  const std::string& path() const { return path_; }
  // Milliseconds from the opening of the journal to WHEN.
  int64_t millisecondsAt(Clock::time_point when) const;

 private:
  Journal(int fd, std::string path);
  void writerLoop();
  // Appends the lines of the staged records in STAGED to LINES.
  static void formatStaged(const std::string& staged, std::string& lines);
  // Writes BYTES; on failure stops the journal and says why, once.
  bool writeAll(const std::string& bytes);
  void stop(const std::string& reason);

  const int fd_;
  const std::string path_;
  const Clock::time_point start_;
  std::atomic<bool> running_{true};
  // Engine thread only: the records staged since the last commit.
  std::string staged_;

  Mutex mutex_;
  ConditionVariable wake_;
  ConditionVariable written_;
  std::string buffer_ GUARDED_BY(mutex_);
  uint64_t committed_ GUARDED_BY(mutex_) = 0;  // commits handed over
  uint64_t done_ GUARDED_BY(mutex_) = 0;       // commits written out
  bool flushWanted_ GUARDED_BY(mutex_) = false;
  bool quit_ GUARDED_BY(mutex_) = false;
  std::thread writer_;
};

}  // namespace kestrel
