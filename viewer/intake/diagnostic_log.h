// The viewer's two plain-text diagnostic files and the line shapes written
// to them.
//
// "kestrel.log" is the trace log: the first line written in a run truncates
// it, every later line is appended. "kestrel.err" is the error log of the
// network layer: only ever appended to. Each call writes exactly one line and
// flushes it, so the log on disk is complete at any moment ("kestrel.log"
// stays open between lines; "kestrel.err" is opened around each line). All functions are safe to call from any thread: one
// process-wide mutex serialises formatting and writing.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace kestrel {

// Makes DIR the directory of both log files and re-arms the truncation of
// "kestrel.log" by the next line. Without a call the files live in the
// current directory. An empty DIR means the current directory.
void openLogIn(const std::string& dir);

// The message unchanged. An empty message writes nothing (and does not
// truncate the log).
void logLine(const char* message);
// message "text"; a null text prints as NULL.
void logText(const char* message, const char* text);
// message "text1", "text2"
void logTexts(const char* message, const char* text1, const char* text2);
// message "n" (the line is cut at 99 characters)
void logNumber(const char* message, long n);
// message "first" "second" (cut at 99 characters)
void logNumbers(const char* message, long first, long second);
// message 'x' with six decimals (cut at 99 characters)
void logReal(const char* message, float x);
// message (n) '''text''' (cut at 9999 characters); for received network data.
void logTagged(const char* message, long n, const char* text);
// The message unchanged, appended to "kestrel.err".
void errorLine(const char* message);

// While a LogBatch lives, the trace lines its thread logs are kept and
// written together when it ends (one lock and one write instead of one per
// line, for threads that log many lines per unit of work, such as a web
// request). Batches on one thread do not nest: an inner one adds to the
// outer one.
class LogBatch {
 public:
  LogBatch();
  ~LogBatch();
  LogBatch(const LogBatch&) = delete;
  LogBatch& operator=(const LogBatch&) = delete;

 private:
  std::string lines_;
  bool owner_ = false;
};

// A heap copy of TEXT; a null TEXT yields a copy of "NULL", never null.
std::unique_ptr<char[]> copyString(const char* text);

// The next line of FILE without its "\n" or "\r\n" ending, read in pieces of
// at most 998 characters; nullopt at end of file.
std::optional<std::string> readTextLine(std::FILE* file);

}  // namespace kestrel
