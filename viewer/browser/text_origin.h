// Scene text that comes from a file but reaches the browser as a string: a
// .wrl file passed line by line through a data block of the command queue.
// The loader names the file in the block's start entry, after the block's
// name and a line feed (a line of the command language can never hold one,
// so only a loader can do this); whoever assembles the block takes it off
// again and creates the content with the file's origin, so it is read like
// the file itself (leniently, relative URLs beside the file).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrel {

struct TextOrigin {
  std::string file;        // the path the text was read from
  uint32_t firstLine = 1;  // the line of the created text that is the file's line 1
};

// The start entry text of block NAME holding the lines of FILE; just NAME
// when FILE cannot be named this way (empty, or holding a line end or NUL).
std::string blockNameWithOrigin(const std::string& name, const std::string& file);

// When BLOCK_TEXT (a start entry's text) names a file: cuts it back to the
// block's name and returns the file.
std::optional<std::string> takeBlockOrigin(std::string& blockText);

// The line of TEXT (from 1) at which its part BODY begins; 1 when BODY is
// not found.
uint32_t lineOfPart(const std::string& text, const std::string& body);

}  // namespace kestrel
