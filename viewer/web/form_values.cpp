#include "viewer/web/form_values.h"

#include "viewer/browser/url_resolver.h"  // hexDigitValue
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {

std::string formDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < text.size() &&
               hexDigitValue(text[i + 1]) >= 0 && hexDigitValue(text[i + 2]) >= 0) {
      char decoded =
          static_cast<char>(hexDigitValue(text[i + 1]) * 16 + hexDigitValue(text[i + 2]));
      if (decoded == '\0' || decoded == '\r' || decoded == '\n') {
        out += c;
      } else {
        out += decoded;
        i += 2;
      }
    } else {
      out += c;
    }
  }
  return out;
}

void FormValues::parse(std::string_view body) {
  pairs_.clear();
  size_t start = 0;
  while (start <= body.size() && pairs_.size() < kCapacity) {
    size_t end = body.find('&', start);
    if (end == std::string_view::npos) end = body.size();
    std::string_view piece = body.substr(start, end - start);
    start = end + 1;
    if (piece.empty()) continue;
    logText("Token is:", std::string(piece).c_str());
    size_t equals = piece.find('=');
    if (equals == std::string_view::npos) continue;
    pairs_.emplace_back(formDecode(piece.substr(0, equals)), formDecode(piece.substr(equals + 1)));
  }
}

void FormValues::dump() const {
  for (const auto& [name, value] : pairs_) logText(name.c_str(), value.c_str());
}

std::optional<std::string> FormValues::lookup(std::string_view name) const {
  for (const auto& pair : pairs_) {
    if (pair.first == name) return pair.second;
  }
  return std::nullopt;
}

std::optional<std::string> FormValues::firstWithPrefix(std::string_view prefix) const {
  return nthWithPrefix(0, prefix);
}

int FormValues::countWithPrefix(std::string_view prefix) const {
  int n = 0;
  for (const auto& pair : pairs_) {
    if (pair.first.compare(0, prefix.size(), prefix) == 0) ++n;
  }
  return n;
}

std::optional<std::string> FormValues::nthWithPrefix(int n, std::string_view prefix) const {
  for (const auto& pair : pairs_) {
    if (pair.first.compare(0, prefix.size(), prefix) != 0) continue;
    if (n-- == 0) return pair.first.substr(prefix.size());
  }
  return std::nullopt;
}

}  // namespace kestrel
