// FormatPattern: a printf-like pattern, checked once, formatted many times.
//
// A pattern is literal text with conversions: '%', flags from "-+ #0", an
// optional width and precision (digits only, at most 3 each), and one of
// d i u x X o c (integer), f F e E g G a A (real), s (string), or "%%".
// Length modifiers, '*' and %n are refused. Each conversion takes the next
// argument in order; an argument of another type is converted, a missing
// one counts as 0 or the empty string.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kestrel {

using FormatArg = std::variant<int, double, std::string>;

class FormatPattern {
 public:
  // The checked pattern, or nothing with the problem in *error.
  static std::optional<FormatPattern> compile(const std::string& pattern, std::string* error);
  std::string format(const std::vector<FormatArg>& args) const;
  int conversions() const;

 private:
  struct Piece {
    std::string text;  // literal text, or the whole conversion ("%-5.2f")
    char conversion;   // 0 for literal text
  };
  std::vector<Piece> pieces_;
};

}  // namespace kestrel
