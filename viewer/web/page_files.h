// Which files of the page directory the web server gives out, and reading
// them. A file is served only when it is a regular file whose real path
// (all symbolic links resolved) lies inside the page directory's real
// path, and when it is none of the viewer's own private files: the logs
// (kestrel.log, kestrel.err), state files (*.state) and the files named in
// PRIVATE (such as the --save-state file; relative names are taken from the
// page directory), however they are reached.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "viewer/web/web_context.h"

namespace kestrel {

// The bytes of the page file PATH (relative to ROOT), or nullopt when it
// may not be served, cannot be read or is larger than MAX_BYTES. Never
// blocks on a FIFO or device.
std::optional<std::string> readPageFile(const std::string& root, const std::string& path,
                                        const std::vector<std::string>& privateFiles,
                                        size_t maxBytes);

// Fills the context's configuration table from the page file PATH, read as
// above (at most 1 MiB); a file that may not be served empties it.
void loadConfigFile(const WebContext& context, const std::string& path);

// True for the name (last path segment) of a file the viewer keeps for
// itself.
bool privateFileName(const std::string& name);

}  // namespace kestrel
