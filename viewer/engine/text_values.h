// The integer and real values of command texts, as the C conversions read
// them (leading blanks, a sign, digits; anything else ends the number, no
// number gives 0), without their undefined behaviour on overflow.
#pragma once

#include <climits>
#include <cstdlib>

namespace kestrel {

inline int integerValue(const char* text) {
  if (text == nullptr) return 0;
  long value = std::strtol(text, nullptr, 10);
  return value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

inline float realValue(const char* text) {
  return text == nullptr ? 0.0f : static_cast<float>(std::strtod(text, nullptr));
}

}  // namespace kestrel
