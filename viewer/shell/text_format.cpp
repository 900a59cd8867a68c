#include "viewer/shell/text_format.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kestrel {
namespace {

// Larger fields than this are a typing error, not a layout.
constexpr int kMaxField = 4096;

struct Conversion {
  std::string flags;
  int width = -1;
  int precision = -1;
  char kind = 0;
};

class ArgCursor {
 public:
  explicit ArgCursor(const std::vector<FormatArg>& args) : args_(args) {}
  const FormatArg* next() { return index_ < args_.size() ? &args_[index_++] : nullptr; }

 private:
  const std::vector<FormatArg>& args_;
  size_t index_ = 0;
};

long long asInteger(const FormatArg& arg) {
  if (auto* i = std::get_if<long long>(&arg)) return *i;
  if (auto* d = std::get_if<double>(&arg)) {
    if (*d != *d) return 0;
    if (*d >= 9.2e18) return 9200000000000000000LL;
    if (*d <= -9.2e18) return -9200000000000000000LL;
    return static_cast<long long>(*d);
  }
  if (auto* c = std::get_if<char>(&arg)) return static_cast<unsigned char>(*c);
  return std::strtoll(std::get<std::string>(arg).c_str(), nullptr, 10);
}

double asReal(const FormatArg& arg) {
  if (auto* d = std::get_if<double>(&arg)) return *d;
  if (auto* i = std::get_if<long long>(&arg)) return static_cast<double>(*i);
  if (auto* c = std::get_if<char>(&arg)) return static_cast<unsigned char>(*c);
  return std::strtod(std::get<std::string>(arg).c_str(), nullptr);
}

std::string asText(const FormatArg& arg) {
  if (auto* s = std::get_if<std::string>(&arg)) return *s;
  if (auto* i = std::get_if<long long>(&arg)) return std::to_string(*i);
  if (auto* c = std::get_if<char>(&arg)) return std::string(1, *c);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%f", std::get<double>(arg));
  return buffer;
}

int fieldNumber(std::string_view f, size_t& i, ArgCursor& cursor) {
  if (i < f.size() && f[i] == '*') {
    ++i;
    const FormatArg* arg = cursor.next();
    long long n = arg ? asInteger(*arg) : 0;
    return n < 0 ? -1 : n > kMaxField ? kMaxField : static_cast<int>(n);
  }
  int n = -1;
  while (i < f.size() && f[i] >= '0' && f[i] <= '9') {
    n = (n < 0 ? 0 : n) * 10 + (f[i++] - '0');
    if (n > kMaxField) n = kMaxField;
  }
  return n;
}

// Reads the conversion after a '%' at F[i]; false when the format ends first.
bool readConversion(std::string_view f, size_t& i, ArgCursor& cursor, Conversion& c) {
  while (i < f.size() && std::strchr("-+ #0", f[i]) != nullptr) c.flags += f[i++];
  c.width = fieldNumber(f, i, cursor);
  if (i < f.size() && f[i] == '.') {
    ++i;
    c.precision = fieldNumber(f, i, cursor);
    if (c.precision < 0) c.precision = 0;
  }
  while (i < f.size() && std::strchr("hlLqjzt", f[i]) != nullptr) ++i;
  if (i >= f.size()) return false;
  c.kind = f[i++];
  return true;
}

std::string specOf(const Conversion& c, const char* length, char kind) {
  std::string spec = "%" + c.flags;
  if (c.width >= 0) spec += std::to_string(c.width);
  if (c.precision >= 0) {
    // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict
    // overlap inside libstdc++ for "literal" + std::string (GCC bug 105329).
    spec += '.';
    spec += std::to_string(c.precision);
  }
  return spec + length + kind;
}

// SPEC is built by specOf from a parsed conversion whose length modifier
// and kind match T, so the argument types always agree with it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <typename T>
void appendFormatted(std::string& out, const std::string& spec, T value) {
  int n = std::snprintf(nullptr, 0, spec.c_str(), value);
  if (n <= 0) return;
  std::string piece(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(piece.data(), piece.size(), spec.c_str(), value);
  piece.resize(static_cast<size_t>(n));
  out += piece;
}
#pragma GCC diagnostic pop

void appendConversion(std::string& out, const Conversion& c, const FormatArg& arg) {
  switch (c.kind) {
    case 'd': case 'i': case 'u': case 'o': case 'x': case 'X':
      appendFormatted(out, specOf(c, "ll", c.kind), asInteger(arg));
      return;
    case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A':
      appendFormatted(out, specOf(c, "", c.kind), asReal(arg));
      return;
    case 'c':
      appendFormatted(out, specOf(c, "", 'c'), static_cast<int>(asInteger(arg) & 0xff));
      return;
    case 's': {
      std::string text = asText(arg);
      appendFormatted(out, specOf(c, "", 's'), text.c_str());
      return;
    }
    default:  // 'p', 'n': nothing a user's text can mean by them
      return;
  }
}

}  // namespace

std::string formatText(std::string_view format, const std::vector<FormatArg>& args) {
  std::string out;
  out.reserve(format.size() + 64);
  ArgCursor cursor(args);
  size_t i = 0;
  while (i < format.size()) {
    char ch = format[i++];
    if (ch != '%') {
      out += ch;
      continue;
    }
    if (i < format.size() && format[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    size_t start = i - 1;
    Conversion c;
    if (!readConversion(format, i, cursor, c)) break;
    if (std::strchr("diuoxXfFeEgGaAcspn", c.kind) == nullptr) {
      out.append(format.substr(start, i - start));  // not a conversion: kept as written
      continue;
    }
    if (const FormatArg* arg = cursor.next()) appendConversion(out, c, *arg);
  }
  return out;
}

}  // namespace kestrel
