#include "viewer/intake/diagnostic_log.h"

#include <cstring>

#include "viewer/intake/thread_annotations.h"

namespace kestrel {
namespace {

// Process-wide log state. Never destroyed, so threads that are still running
// while the process exits can log safely.
struct LogState {
  Mutex mutex;
  std::string dir GUARDED_BY(mutex);              // empty: current directory
  bool firstLine GUARDED_BY(mutex) = true;
  std::FILE* trace GUARDED_BY(mutex) = nullptr;   // kestrel.log once opened
};

LogState& state() {
  static LogState* s = new LogState;
  return *s;
}

std::string pathOf(const std::string& dir, const char* name) {
  return dir.empty() ? std::string(name) : dir + "/" + name;
}

// Writes one line; the caller holds the mutex.
void writeLocked(LogState& s, const char* name, bool truncate, const char* message,
                 size_t length) REQUIRES(s.mutex) {
  std::FILE* f = std::fopen(pathOf(s.dir, name).c_str(), truncate ? "w" : "a");
  if (f == nullptr) return;  // the line is lost; nothing else happens
  std::fwrite(message, 1, length, f);
  std::fputc('\n', f);
  std::fclose(f);
}

// The trace log stays open between lines (opening and closing it around
// every line serialised busy threads on the file system); each line is
// flushed, so the file on disk is still complete at any moment.
void writeTrace(const char* bytes, size_t length) {
  LogState& s = state();
  MutexLock lock(s.mutex);
  if (s.firstLine || s.trace == nullptr) {
    if (s.trace != nullptr) std::fclose(s.trace);
    s.trace = std::fopen(pathOf(s.dir, "kestrel.log").c_str(), s.firstLine ? "w" : "a");
    s.firstLine = false;
    if (s.trace == nullptr) return;  // the lines are lost; the next ones try again
  }
  std::fwrite(bytes, 1, length, s.trace);
  std::fflush(s.trace);
}

// The lines of this thread's open LogBatch, if any.
thread_local std::string* batchLines = nullptr;

void logBytes(const char* message, size_t length) {
  if (length == 0) return;
  if (batchLines != nullptr) {
    batchLines->append(message, length);
    batchLines->push_back('\n');
    return;
  }
  std::string line(message, length);
  line.push_back('\n');
  writeTrace(line.data(), line.size());
}

const char* orNull(const char* text) { return text == nullptr ? "NULL" : text; }

// The numeric formatters write into fixed local buffers, as the original
// does, so their output is cut at the buffer size less one.
void logBuffer(const char* buffer, int formatted) {
  if (formatted < 0) return;
  logBytes(buffer, std::strlen(buffer));
}

}  // namespace

LogBatch::LogBatch() {
  if (batchLines == nullptr) {
    lines_.reserve(4096);
    batchLines = &lines_;
    owner_ = true;
  }
}

LogBatch::~LogBatch() {
  if (!owner_) return;
  batchLines = nullptr;
  if (!lines_.empty()) writeTrace(lines_.data(), lines_.size());
}

void openLogIn(const std::string& dir) {
  LogState& s = state();
  MutexLock lock(s.mutex);
  s.dir = dir;
  s.firstLine = true;
  if (s.trace != nullptr) std::fclose(s.trace);
  s.trace = nullptr;
}

void logLine(const char* message) {
  if (message == nullptr) return;
  logBytes(message, std::strlen(message));
}

void logText(const char* message, const char* text) {
  std::string line(orNull(message));
  line += " \"";
  line += orNull(text);
  line += '"';
  logBytes(line.data(), line.size());
}

void logTexts(const char* message, const char* text1, const char* text2) {
  std::string line(orNull(message));
  line += " \"";
  line += orNull(text1);
  line += "\", \"";
  line += orNull(text2);
  line += '"';
  logBytes(line.data(), line.size());
}

void logNumber(const char* message, long n) {
  char buffer[100];
  logBuffer(buffer, std::snprintf(buffer, sizeof buffer, "%s \"%ld\"", orNull(message), n));
}

void logNumbers(const char* message, long first, long second) {
  char buffer[100];
  logBuffer(buffer, std::snprintf(buffer, sizeof buffer, "%s \"%ld\" \"%ld\"", orNull(message),
                                  first, second));
}

void logReal(const char* message, float x) {
  char buffer[100];
  logBuffer(buffer, std::snprintf(buffer, sizeof buffer, "%s '%f'", orNull(message),
                                  static_cast<double>(x)));
}

void logTagged(const char* message, long n, const char* text) {
  static thread_local char buffer[10000];
  logBuffer(buffer, std::snprintf(buffer, sizeof buffer, "%s (%ld) '''%s'''", orNull(message), n,
                                  orNull(text)));
}

void errorLine(const char* message) {
  if (message == nullptr) return;
  LogState& s = state();
  MutexLock lock(s.mutex);
  writeLocked(s, "kestrel.err", false, message, std::strlen(message));
}

std::unique_ptr<char[]> copyString(const char* text) {
  const char* source = orNull(text);
  size_t length = std::strlen(source);
  auto copy = std::make_unique_for_overwrite<char[]>(length + 1);
  std::memcpy(copy.get(), source, length + 1);
  return copy;
}

std::optional<std::string> readTextLine(std::FILE* file) {
  char buffer[999];
  if (std::fgets(buffer, sizeof buffer, file) == nullptr) return std::nullopt;
  size_t length = std::strlen(buffer);
  for (int pass = 0; pass < 2; ++pass) {
    if (length > 0 && (buffer[length - 1] == '\n' || buffer[length - 1] == '\r')) --length;
  }
  return std::string(buffer, length);
}

}  // namespace kestrel
