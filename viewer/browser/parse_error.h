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

}  // namespace kestrel
