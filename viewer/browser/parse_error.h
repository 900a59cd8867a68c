// The error of a failed parse: where it happened and what was expected.
#pragma once

#include <cstdint>
#include <string>

namespace kestrel {

struct ParseError {
  uint32_t line = 0;
  uint32_t column = 0;
  std::string message;  // e.g. "expected '}' but found a name"

  // "line L, column C: message"
  std::string text() const;
};

// Something a lenient parse skipped or corrected, in the file it read.
struct ParseWarning {
  std::string file;  // the file (or URL) the text came from; may be empty
  uint32_t line = 0;
  uint32_t column = 0;
  std::string message;  // e.g. "'MovieTexture' has no field 'pauseTime'; its value is skipped"

  // "FILE: line L, column C: message"
  std::string text() const;
};

}  // namespace kestrel
