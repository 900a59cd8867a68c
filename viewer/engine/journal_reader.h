// Reading a journal back: its runs (one per viewer run that appended to the
// file), each the records in the order the engine took them, with a clear
// message for what is not a journal of this version or is damaged.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "viewer/engine/journal_format.h"

namespace kestrel {

using JournalRun = std::vector<JournalRecord>;

// The runs in TEXT, a whole journal. False with the reason in *ERROR ("line
// N: ...") when TEXT does not start with the header of this version, a line
// is malformed, a '+' line has no line to follow, or the last line is cut
// (no line end: the viewer stopped while writing it).
bool readJournalRuns(std::string_view text, std::vector<JournalRun>* runs, std::string* error);

// The same for the file at PATH.
bool readJournalFile(const std::string& path, std::vector<JournalRun>* runs, std::string* error);

}  // namespace kestrel
