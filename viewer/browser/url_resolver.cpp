#include "viewer/browser/url_resolver.h"

#include <cctype>
#include <cstdlib>
#include <vector>

#include "viewer/browser/file_input.h"

namespace kestrel {
namespace {

constexpr std::string_view kRenderPrefix = "c:/corvid/render/";

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  }
  return true;
}

std::string percentDecoded(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      int hi = hexDigitValue(s[i + 1]);
      int lo = hexDigitValue(s[i + 2]);
      // %00 would cut the path short; it stays as written.
      if (hi >= 0 && lo >= 0 && hi * 16 + lo != 0) {
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

// A scheme of two or more letters before ':' (one letter is a drive).
size_t schemeLength(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '+' ||
                          s[i] == '-' || s[i] == '.')) {
    ++i;
  }
  if (i < s.size() && s[i] == ':' && i >= 2 && std::isalpha(static_cast<unsigned char>(s[0]))) {
    return i;
  }
  return 0;
}

// RELATIVE with "." and ".." segments folded; false when ".." would climb
// above its start.
bool foldInside(std::string_view relative, std::string& out) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find('/', start);
    if (end == std::string_view::npos) end = relative.size();
    std::string_view part = relative.substr(start, end - start);
    if (part == "..") {
      if (parts.empty()) return false;
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  out.clear();
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i != 0) out += '/';
    out += parts[i];
  }
  return true;
}

}  // namespace

UrlResolver::UrlResolver(std::string root) : root_(std::move(root)) {
  if (root_.empty()) {
    const char* env = std::getenv("KESTREL_RENDER_ROOT");
    root_ = env != nullptr && env[0] != '\0' ? env : "share/kestrel/render";
  }
  while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

bool UrlResolver::resolve(std::string_view url, std::string_view baseDir,
                          std::string& path) const {
  std::string u(url);
  for (char& c : u) {
    if (c == '\\') c = '/';
  }
  if (size_t hash = u.find('#'); hash != std::string::npos) u.erase(hash);
  if (u.empty()) return false;
  if (startsWithNoCase(u, "file:")) {
    std::string rest = percentDecoded(std::string_view(u).substr(5));
    if (rest.starts_with("//")) {
      size_t slash = rest.find('/', 2);
      std::string host = rest.substr(2, slash == std::string::npos ? std::string::npos : slash - 2);
      if (!host.empty() && host != "localhost") {
        if (host.size() == 2 && host[1] == ':') {
          rest = rest.substr(2);  // file://c:/... names a drive
        } else {
          return false;
        }
      } else {
        rest = slash == std::string::npos ? "" : rest.substr(slash);
      }
    }
    // "file:///c:/corvid/..." leaves "/c:/corvid/..."
    if (rest.size() > 3 && rest[0] == '/' && rest[2] == ':') rest.erase(0, 1);
    u = rest;
    if (u.empty()) return false;
  } else if (schemeLength(u) != 0) {
    return false;
  }
  if (startsWithNoCase(u, kRenderPrefix)) {
    std::string inside;
    if (!foldInside(std::string_view(u).substr(kRenderPrefix.size()), inside)) return false;
    path = inside.empty() ? root_ : root_ + "/" + inside;
    return true;
  }
  if (u.size() >= 2 && u[1] == ':' && std::isalpha(static_cast<unsigned char>(u[0]))) {
    return false;  // another Windows drive
  }
  if (u[0] == '/' || baseDir.empty()) {
    path = u;
  } else {
    path = std::string(baseDir);
    if (path.back() != '/') path += '/';
    path += u;
  }
  return true;
}

std::string UrlResolver::directoryOf(std::string_view path) {
  size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return "";
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

bool UrlResolver::load(const std::string& url, const std::string& baseDir, std::string& text,
                       std::string& dir) const {
  std::string path;
  if (!resolve(url, baseDir, path)) return false;
  if (readSceneFile(path, text) != FileRead::kOk) return false;
  if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0x1f &&
      static_cast<unsigned char>(text[1]) == 0x8b) {
    return false;
  }
  dir = directoryOf(path);
  return true;
}

}  // namespace kestrel
