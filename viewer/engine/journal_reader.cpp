#include "viewer/engine/journal_reader.h"

#include <fstream>
#include <sstream>

namespace kestrel {
namespace {

constexpr std::string_view kHeaderStart = "# kestrel journal ";

bool fail(std::string* error, size_t lineNumber, const std::string& reason) {
  *error = "line " + std::to_string(lineNumber) + ": " + reason;
  return false;
}

// Checks a line that names a journal format: this version or a clear no.
bool checkHeader(std::string_view line, size_t lineNumber, std::string* error) {
  if (line == kJournalHeader) return true;
  if (line.substr(0, kHeaderStart.size()) == kHeaderStart) {
    return fail(error, lineNumber,
                "a journal of version " + std::string(line.substr(kHeaderStart.size())) +
                    "; this kestrel reads version " +
                    std::string(kJournalHeader.substr(kHeaderStart.size())));
  }
  return fail(error, lineNumber,
              "not a kestrel journal (the first line is not \"" + std::string(kJournalHeader) +
                  "\")");
}

}  // namespace

bool readJournalRuns(std::string_view text, std::vector<JournalRun>* runs, std::string* error) {
  runs->clear();
  if (text.empty()) return fail(error, 1, "the journal is empty");
  size_t lineNumber = 0;
  std::string reason;
  while (!text.empty()) {
    ++lineNumber;
    size_t end = text.find('\n');
    if (end == std::string_view::npos) {
      return fail(error, lineNumber, "the line is cut (the journal ends in the middle of it)");
    }
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (lineNumber == 1 || line.substr(0, kHeaderStart.size()) == kHeaderStart) {
      if (!checkHeader(line, lineNumber, error)) return false;
      runs->emplace_back();
      continue;
    }
    JournalRecord record;
    if (!parseJournalLine(line, &record, &reason)) {
      if (reason.empty()) continue;  // a comment or an empty line
      return fail(error, lineNumber, reason);
    }
    if (record.continued && runs->back().empty()) {
      return fail(error, lineNumber, "a '+' line must follow the line it belongs to");
    }
    runs->back().push_back(std::move(record));
  }
  return true;
}

bool readJournalFile(const std::string& path, std::vector<JournalRun>* runs, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read journal " + path;
    return false;
  }
  std::stringstream contents;
  contents << in.rdbuf();
  if (readJournalRuns(contents.str(), runs, error)) return true;
  *error = path + ", " + *error;
  return false;
}

}  // namespace kestrel
