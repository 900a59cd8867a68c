// Replacing a file as a whole: the new contents are written to a temporary
// file beside it, flushed to the disk and renamed over the old one, so that
// a reader (or the next run after a crash, a kill or a full disk) finds
// either the old file or the new one, never a part of either.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace kestrel {

// Writes PATH through WRITE, which gets the open temporary file and returns
// false when it could not write everything. A PATH that is a symbolic link
// replaces the file it points to; a new file keeps the mode of the one it
// replaces (a new one gets 0666 less the umask, as fopen would give it).
// On failure the old file stays as it was, the temporary file is removed,
// WHY (when not null) says what failed, and the result is false.
bool replaceFile(const std::string& path, const std::function<bool(std::FILE*)>& write,
                 std::string* why);

}  // namespace kestrel
