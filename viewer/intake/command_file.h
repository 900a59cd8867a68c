// Command files: text files of command lines, such as the start-up files
// "config.template" and "kestrel.cfg" and the files opened with `load`.
#pragma once

#include <string>

namespace kestrel {

class InternalCommandQueue;

// Passes every line of the file at PATH, empty ones included, to the parser
// of QUEUE. Lines are read in pieces of at most 999 characters, without
// their newline. A file that cannot be opened logs "could not open file".
// The queue stays locked while a block (data, template, function) is open,
// so lines of other producers cannot land inside the file's blocks.
// Returns false when the file could not be opened.
bool readCommandFile(const std::string& path, InternalCommandQueue& queue);

}  // namespace kestrel
