// Text placed into HTML pages: the object list and the web server's pages
// escape what comes from scene files, command lines and forms with this.
#pragma once

#include <string>
#include <string_view>

namespace kestrel {

// TEXT with &, <, >, " and ' replaced by character references.
inline std::string htmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace kestrel
