#include "modules/satfix/nmea_fields.h"

#include <charconv>

namespace kestrel::nmea {
namespace {

constexpr const char* kTalkers[] = {"GP", "GN", "GL", "GA", "GB", "BD", "GQ", "QZ", "GI"};

}  // namespace

std::string_view gnssTalker(const char* line) {
  if (line[0] != '$') return {};
  for (const char* t : kTalkers) {
    if (line[1] == t[0] && line[2] == t[1]) return std::string_view(line + 1, 2);
  }
  return {};
}

std::vector<std::string_view> fields(const char* text) {
  std::vector<std::string_view> out;
  const char* start = text;
  for (const char* p = text;; ++p) {
    if (*p == ',' || *p == '*' || *p == '\0') {
      out.emplace_back(start, static_cast<std::size_t>(p - start));
      if (*p != ',') break;
      start = p + 1;
    }
  }
  return out;
}

std::string_view fieldAt(const std::vector<std::string_view>& fields, std::size_t i) {
  return i < fields.size() ? fields[i] : std::string_view();
}

int integerField(std::string_view field) {
  int value = 0;
  auto result = std::from_chars(field.data(), field.data() + field.size(), value);
  return result.ec == std::errc() ? value : 0;
}

bool hasFix(const std::vector<std::string_view>& fields, bool gga) {
  const std::size_t lat = gga ? 2 : 1;
  if (fieldAt(fields, lat).empty() || fieldAt(fields, lat + 2).empty()) return false;
  if (gga) {
    const std::string_view quality = fieldAt(fields, 6);
    return !quality.empty() && quality != "0";
  }
  return fieldAt(fields, 6) != "V";
}

}  // namespace kestrel::nmea
