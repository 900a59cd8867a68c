#include "modules/host/format_pattern.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kestrel {
namespace {

constexpr const char* kIntegerConversions = "diuxXoc";
constexpr const char* kRealConversions = "fFeEgGaA";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int digitsAt(const std::string& p, std::size_t& i) {
  int n = 0;
  while (i < p.size() && isDigit(p[i])) ++i, ++n;
  return n;
}

int toInteger(const FormatArg& a) {
  if (const int* i = std::get_if<int>(&a)) return *i;
  if (const double* d = std::get_if<double>(&a)) {
    if (std::isnan(*d)) return 0;
    if (*d >= 2147483647.0) return 2147483647;
    if (*d <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(*d);
  }
  const std::string& s = std::get<std::string>(a);
  long v = std::strtol(s.c_str(), nullptr, 10);
  return static_cast<int>(v > 2147483647L ? 2147483647L : v < -2147483648L ? -2147483648L : v);
}

double toReal(const FormatArg& a) {
  if (const int* i = std::get_if<int>(&a)) return *i;
  if (const double* d = std::get_if<double>(&a)) return *d;
  return std::strtod(std::get<std::string>(a).c_str(), nullptr);
}

std::string toText(const FormatArg& a) {
  if (const int* i = std::get_if<int>(&a)) return std::to_string(*i);
  if (const double* d = std::get_if<double>(&a)) {
    char b[64];
    std::snprintf(b, sizeof b, "%g", *d);
    return b;
  }
  return std::get<std::string>(a);
}

// The conversion was checked by compile(): one conversion, no '*', no %n, no
// length modifier, and the argument's C type matches the conversion.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <class T>
void appendFormatted(std::string& out, const std::string& conversion, T value) {
  char small[128];
  int n = std::snprintf(small, sizeof small, conversion.c_str(), value);
  if (n < 0) return;
  if (n < static_cast<int>(sizeof small)) {
    out.append(small, static_cast<std::size_t>(n));
    return;
  }
  std::string big(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), conversion.c_str(), value);
  out.append(big.data(), static_cast<std::size_t>(n));
}
#pragma GCC diagnostic pop

}  // namespace

std::optional<FormatPattern> FormatPattern::compile(const std::string& p, std::string* error) {
  FormatPattern result;
  std::string literal;
  for (std::size_t i = 0; i < p.size();) {
    if (p[i] != '%') {
      literal += p[i++];
      continue;
    }
    if (i + 1 < p.size() && p[i + 1] == '%') {
      literal += '%';
      i += 2;
      continue;
    }
    const std::size_t start = i++;
    while (i < p.size() && std::strchr("-+ #0", p[i])) ++i;
    bool ok = digitsAt(p, i) <= 3;
    if (ok && i < p.size() && p[i] == '.') {
      ++i;
      ok = digitsAt(p, i) <= 3;
    }
    const char c = i < p.size() ? p[i] : '\0';
    if (!ok || c == '\0' ||
        (!std::strchr(kIntegerConversions, c) && !std::strchr(kRealConversions, c) && c != 's')) {
      if (error) *error = "bad conversion at position " + std::to_string(start) + " of the pattern";
      return std::nullopt;
    }
    ++i;
    if (!literal.empty()) result.pieces_.push_back(Piece{literal, 0});
    literal.clear();
    result.pieces_.push_back(Piece{p.substr(start, i - start), c});
  }
  if (!literal.empty()) result.pieces_.push_back(Piece{literal, 0});
  return result;
}

int FormatPattern::conversions() const {
  int n = 0;
  for (const auto& piece : pieces_) n += piece.conversion != 0;
  return n;
}

std::string FormatPattern::format(const std::vector<FormatArg>& args) const {
  std::string out;
  std::size_t next = 0;
  for (const auto& piece : pieces_) {
    if (piece.conversion == 0) {
      out += piece.text;
      continue;
    }
    const FormatArg arg = next < args.size() ? args[next] : FormatArg(0);
    ++next;
    const char c = piece.conversion;
    if (c == 's') {
      const std::string text = next <= args.size() ? toText(arg) : std::string();
      appendFormatted(out, piece.text, text.c_str());
    } else if (std::strchr(kRealConversions, c)) {
      appendFormatted(out, piece.text, toReal(arg));
    } else {
      appendFormatted(out, piece.text, toInteger(arg));
    }
  }
  return out;
}

}  // namespace kestrel
