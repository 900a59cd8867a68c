// The state file: the current appearance of every visual object (name,
// translation, scale, transparency, colours, rotation, info text) as plain
// text, written in version 2 and read in versions 1 and 2.
//
// Engine thread only.
#pragma once

#include <string>

namespace kestrel {

class VisualObjectRegistry;

// Writes the records of every object, in registry order. Line breaks inside
// a name or an info text are written as blanks, so that the file keeps one
// value per line; such an object is still found by its name on loading.
// The file is replaced as a whole (see file_replacement.h): when it cannot
// be written, the old file stays as it was, kestrel.err and kestrel.log say
// why, and the result is false.
bool saveState(const VisualObjectRegistry& registry, const std::string& path);
// Applies the records of the file to the objects they name. False when the
// file cannot be opened or has an unknown version.
bool loadState(VisualObjectRegistry& registry, const std::string& path);

}  // namespace kestrel
