// A printf-style formatter over a typed argument list, for formats that
// come from users (templates in command files). It never reads past its
// arguments and never writes past its output: a conversion whose argument
// is missing produces nothing, an argument of another kind is converted to
// the kind the conversion asks for, "%n" writes nothing, and widths and
// precisions are capped.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kestrel {

using FormatArg = std::variant<std::string, long long, double, char>;

// FORMAT with its conversions filled from ARGS in order.
std::string formatText(std::string_view format, const std::vector<FormatArg>& args);

}  // namespace kestrel
