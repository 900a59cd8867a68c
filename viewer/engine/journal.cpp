#include "viewer/engine/journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "viewer/intake/command_ring.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {

std::unique_ptr<Journal> Journal::open(const std::string& path, std::string* error) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = "cannot open journal " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  // Past a file size limit a write must fail with EFBIG, not end the
  // process: the journal stops, the viewer does not.
  std::signal(SIGXFSZ, SIG_IGN);
  std::unique_ptr<Journal> journal(new Journal(fd, path));
  std::string header(kJournalHeader);
  header += "\n# started ";
  auto now = std::chrono::system_clock::now().time_since_epoch();
  auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now);
  appendUtcTime(header, seconds.count(),
                static_cast<int32_t>(std::chrono::nanoseconds(now - seconds).count()));
  header += ", times in milliseconds since then\n";
  if (!journal->writeAll(header)) {
    *error = "cannot write journal " + path;
    return nullptr;
  }
  journal->writer_ = std::thread([j = journal.get()] { j->writerLoop(); });
  return journal;
}

Journal::Journal(int fd, std::string path)
    : fd_(fd), path_(std::move(path)), start_(std::chrono::steady_clock::now()) {}

Journal::~Journal() {
  commit();
  {
    MutexLock lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (writer_.joinable()) writer_.join();
  ::close(fd_);
}

int64_t Journal::elapsedMilliseconds() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start_)
      .count();
}

void Journal::recordCommand(const QueuedCommand& entry, bool primary, bool continued) {
  if (!running()) return;
  const char* text = entry.text();
  const char* argument = entry.argument();
  appendCommandLine(staged_, elapsedMilliseconds(), primary ? 'P' : 'S', continued, entry.code,
                    text ? std::optional<std::string_view>(text) : std::nullopt,
                    argument ? std::optional<std::string_view>(argument) : std::nullopt);
}

void Journal::recordFile(const JournalFileInfo& file, bool primary) {
  if (!running()) return;
  appendFileLine(staged_, elapsedMilliseconds(), primary ? 'P' : 'S', file);
}

void Journal::commit() {
  if (staged_.empty()) return;
  if (!running()) {
    staged_.clear();
    return;
  }
  bool tooFar = false;
  {
    MutexLock lock(mutex_);
    if (buffer_.empty()) {
      buffer_.swap(staged_);
    } else {
      buffer_ += staged_;
    }
    ++committed_;
    tooFar = buffer_.size() > kMaxBuffered;
  }
  staged_.clear();
  if (tooFar) stop("the writer is more than 256 MiB behind");
}

void Journal::flush() {
  MutexLock lock(mutex_);
  uint64_t target = committed_;
  flushWanted_ = true;
  wake_.notify_all();
  while (done_ < target && running()) written_.wait(lock);
}

void Journal::writerLoop() {
  std::string batch;
  MutexLock lock(mutex_);
  for (;;) {
    if (!quit_ && !flushWanted_) wake_.wait_for(lock, kWritePeriod);
    bool quitting = quit_;
    flushWanted_ = false;
    batch.swap(buffer_);
    uint64_t target = committed_;
    lock.unlock();
    if (!batch.empty() && running()) writeAll(batch);
    batch.clear();
    lock.lock();
    done_ = target;
    written_.notify_all();
    if (quitting) return;
  }
}

bool Journal::writeAll(const std::string& bytes) {
  size_t offset = 0;
  while (offset < bytes.size()) {
    ssize_t n = ::write(fd_, bytes.data() + offset, bytes.size() - offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      stop(std::string("writing failed: ") + (n < 0 ? std::strerror(errno) : "nothing written"));
      return false;
    }
    offset += static_cast<size_t>(n);
  }
  return true;
}

void Journal::stop(const std::string& reason) {
  if (!running_.exchange(false)) return;
  std::string message = "journal " + path_ + " stopped, " + reason;
  logLine(message.c_str());
  errorLine(message.c_str());
}

}  // namespace kestrel
