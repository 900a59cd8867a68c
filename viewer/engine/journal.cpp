#include "viewer/engine/journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>
#include <string_view>

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
    : fd_(fd), path_(std::move(path)), start_(Clock::now()) {}

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

int64_t Journal::millisecondsAt(Clock::time_point when) const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(when - start_).count();
}

namespace {

// What the engine thread stages for one line: this header, then the text's
// bytes and the argument's. The writer thread turns it into the line, so
// that the engine spends a copy, not the formatting, on each command.
struct StagedHeader {
  static constexpr uint32_t kNone = UINT32_MAX;
  static constexpr int32_t kFormatted = -1;  // the text is a whole line already
  int64_t milliseconds;
  int32_t code;
  uint32_t textLength;
  uint32_t argumentLength;
  char queue;
  bool continued;
};

uint32_t stagedLength(const char* text) {
  return text == nullptr ? StagedHeader::kNone : static_cast<uint32_t>(std::strlen(text));
}

void stage(std::string& staged, const StagedHeader& header, const char* text,
           const char* argument) {
  size_t at = staged.size();
  size_t textBytes = header.textLength == StagedHeader::kNone ? 0 : header.textLength;
  size_t argumentBytes = header.argumentLength == StagedHeader::kNone ? 0 : header.argumentLength;
  staged.resize(at + sizeof header + textBytes + argumentBytes);
  char* out = staged.data() + at;
  std::memcpy(out, &header, sizeof header);
  // The null checks also keep GCC 12 at -O3 from reporting a null memcpy
  // source (-Wnonnull) on a path where the length is 0.
  if (textBytes != 0 && text != nullptr) std::memcpy(out + sizeof header, text, textBytes);
  if (argumentBytes != 0 && argument != nullptr) {
    std::memcpy(out + sizeof header + textBytes, argument, argumentBytes);
  }
}

std::optional<std::string_view> stagedText(const char*& in, uint32_t length) {
  if (length == StagedHeader::kNone) return std::nullopt;
  std::string_view text(in, length);
  in += length;
  return text;
}

}  // namespace

void Journal::recordCommand(const QueuedCommand& entry, bool primary, bool continued,
                            Clock::time_point when) {
  if (!running()) return;
  const char* text = entry.text();
  const char* argument = text != nullptr ? entry.argument() : nullptr;
  StagedHeader header{millisecondsAt(when), entry.code,        stagedLength(text),
                      stagedLength(argument), primary ? 'P' : 'S', continued};
  stage(staged_, header, text, argument);
}

void Journal::recordFile(const JournalFileInfo& file, bool primary, Clock::time_point when) {
  if (!running()) return;
  std::string line;
  appendFileLine(line, millisecondsAt(when), primary ? 'P' : 'S', file);
  StagedHeader header{0, StagedHeader::kFormatted, static_cast<uint32_t>(line.size()),
                      StagedHeader::kNone, 'P', false};
  stage(staged_, header, line.c_str(), nullptr);
}

void Journal::formatStaged(const std::string& staged, std::string& lines) {
  const char* in = staged.data();
  const char* end = in + staged.size();
  while (in + sizeof(StagedHeader) <= end) {
    StagedHeader header;
    std::memcpy(&header, in, sizeof header);
    in += sizeof header;
    std::optional<std::string_view> text = stagedText(in, header.textLength);
    std::optional<std::string_view> argument = stagedText(in, header.argumentLength);
    if (header.code == StagedHeader::kFormatted) {
      lines.append(*text);
    } else {
      appendCommandLine(lines, header.milliseconds, header.queue, header.continued, header.code,
                        text, argument);
    }
  }
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
  std::string batch, lines;
  MutexLock lock(mutex_);
  for (;;) {
    if (!quit_ && !flushWanted_) wake_.wait_for(lock, kWritePeriod);
    bool quitting = quit_;
    flushWanted_ = false;
    batch.swap(buffer_);
    uint64_t target = committed_;
    lock.unlock();
    if (!batch.empty() && running()) {
      formatStaged(batch, lines);
      writeAll(lines);
    }
    batch.clear();
    lines.clear();
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
