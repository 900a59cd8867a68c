// The journal's line format (docs/journal.md): one executed command, or the
// file a `load` opened, per line, as text a person can read and grep, with
// every byte of a command's text kept exactly.
//
//   <ms> <queue> <code> <name>[ "<text>"[ "<argument>"]]
//   <ms> <queue>+ file "<path>" size <bytes> mtime <UTC time>   (or: missing)
//
// <queue> is P (primary) or S (secondary); a '+' after it marks a line the
// engine took as part of the step above (a block's body and end, the file a
// load opened). Inside quotes, '\\', '"', and bytes below 0x20 and 0x7F are
// escaped; every other byte is written as it is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrel {

// The first line of every run written to a journal.
inline constexpr std::string_view kJournalHeader = "# kestrel journal 1";

// What a `load` named, as found when it ran.
struct JournalFileInfo {
  std::string path;
  bool found = false;
  uint64_t size = 0;
  int64_t mtimeSeconds = 0;  // since 1970, UTC
  int32_t mtimeNanoseconds = 0;

  bool operator==(const JournalFileInfo&) const = default;
};

// One line of a journal.
struct JournalRecord {
  enum class Kind { kCommand, kFile };
  Kind kind = Kind::kCommand;
  int64_t milliseconds = 0;
  char queue = 'P';         // 'P' primary, 'S' secondary
  bool continued = false;   // taken by the step of the line above
  int code = 0;             // kCommand
  std::optional<std::string> text;      // kCommand: none when the entry had none
  std::optional<std::string> argument;  // kCommand: none when the entry had none
  JournalFileInfo file;                 // kFile

  bool operator==(const JournalRecord&) const = default;
};

// The name a journal line gives CODE: its verb without the trailing blank
// ("setobject"), or a word for the codes no verb makes ("data",
// "templateline", "star", ...); "code" for a code outside the table.
std::string_view journalName(int code);

// Appends TEXT in quotes, escaped.
void appendJournalQuoted(std::string& out, std::string_view text);

// Appends the line of one command (with its '\n').
void appendCommandLine(std::string& out, int64_t milliseconds, char queue, bool continued,
                       int code, std::optional<std::string_view> text,
                       std::optional<std::string_view> argument);
// Appends the line of one opened file (with its '\n').
void appendFileLine(std::string& out, int64_t milliseconds, char queue,
                    const JournalFileInfo& file);
// Appends the line of RECORD (with its '\n').
void appendRecordLine(std::string& out, const JournalRecord& record);

// Parses one line (without its '\n'). Comment lines ('#') and empty lines
// are not records: they give false with an empty *error. A malformed line
// gives false with the reason in *error.
bool parseJournalLine(std::string_view line, JournalRecord* record, std::string* error);

// Appends a UTC time as 2026-12-08T10:33:12.123456789Z.
void appendUtcTime(std::string& out, int64_t seconds, int32_t nanoseconds);

// Size and modification time of PATH now (found = false when it cannot be
// read).
JournalFileInfo describeFile(const std::string& path);

}  // namespace kestrel
