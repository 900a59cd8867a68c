#include "viewer/intake/http_guard.h"

#include <array>
#include <cctype>

namespace kestrel {
namespace {

bool startsWithNoCase(std::string_view line, std::string_view prefix) {
  if (line.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(line[i])) != prefix[i]) return false;
  }
  return true;
}

// The methods browsers and fetch() send, followed by a blank.
bool startsWithCommonMethod(std::string_view line) {
  static constexpr std::array<std::string_view, 10> kMethods = {
      "GET ", "POST ", "PUT ", "HEAD ", "DELETE ", "OPTIONS ", "PATCH ", "CONNECT ", "TRACE ",
      "PRI "};
  for (std::string_view method : kMethods) {
    if (line.starts_with(method)) return true;
  }
  return false;
}

// METHOD SP TARGET SP "HTTP/", where METHOD is upper-case letters (and '-'
// or '_', as in extension methods) and TARGET holds no blank.
bool isRequestLine(std::string_view line) {
  size_t methodEnd = 0;
  while (methodEnd < line.size() &&
         (std::isupper(static_cast<unsigned char>(line[methodEnd])) || line[methodEnd] == '-' ||
          line[methodEnd] == '_')) {
    ++methodEnd;
  }
  if (methodEnd == 0 || methodEnd >= line.size() || line[methodEnd] != ' ') return false;
  size_t targetEnd = line.find(' ', methodEnd + 1);
  if (targetEnd == std::string_view::npos || targetEnd == methodEnd + 1) return false;
  return line.substr(targetEnd + 1).starts_with("HTTP/");
}

}  // namespace

bool looksLikeHttp(std::string_view line) {
  return startsWithNoCase(line, "host:") || startsWithCommonMethod(line) || isRequestLine(line);
}

}  // namespace kestrel
