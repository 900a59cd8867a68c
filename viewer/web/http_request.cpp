#include "viewer/web/http_request.h"

#include <algorithm>
#include <cctype>

#include "viewer/browser/url_resolver.h"  // hexDigitValue

namespace kestrel {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         startsWithNoCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace

std::optional<std::string> requestTarget(std::string_view request) {
  std::string_view head = request.substr(0, std::min(request.size(), kTargetScanBytes));
  size_t first = head.find(' ');
  if (first == std::string_view::npos) return std::nullopt;
  size_t second = head.find(' ', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  return std::string(head.substr(first + 1, second - first - 1));
}

size_t headerEnd(std::string_view request) {
  size_t at = request.find("\r\n\r\n");
  return at == std::string_view::npos ? std::string_view::npos : at + 4;
}

std::optional<std::string_view> headerValue(std::string_view header, std::string_view name) {
  size_t lineStart = header.find("\r\n");
  while (lineStart != std::string_view::npos) {
    lineStart += 2;
    size_t lineEnd = header.find("\r\n", lineStart);
    std::string_view line = header.substr(
        lineStart, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - lineStart);
    if (line.size() > name.size() && line[name.size()] == ':' && startsWithNoCase(line, name)) {
      std::string_view value = line.substr(name.size() + 1);
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
      while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
      return value;
    }
    lineStart = lineEnd;
  }
  return std::nullopt;
}

std::optional<long> contentLength(std::string_view header) {
  std::optional<std::string_view> value = headerValue(header, "content-length");
  if (!value) return std::nullopt;
  if (value->empty() || value->size() > 9) return -1;
  long n = 0;
  for (char c : *value) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

bool crossSiteForm(std::string_view header) {
  std::optional<std::string_view> origin = headerValue(header, "origin");
  if (!origin) return false;  // not sent by a browser's cross-site form
  std::optional<std::string_view> host = headerValue(header, "host");
  if (!host) return true;
  for (std::string_view scheme : {"http://", "https://"}) {
    if (origin->size() == scheme.size() + host->size() && origin->substr(0, scheme.size()) == scheme &&
        startsWithNoCase(origin->substr(scheme.size()), *host)) {
      return false;
    }
  }
  return true;
}

bool wantsKeepAlive(std::string_view request) {
  return request.find("keep-alive") != std::string_view::npos ||
         request.find("Keep-Alive") != std::string_view::npos;
}

std::optional<std::string> pagePath(std::string_view target) {
  if (target.empty() || target.front() != '/') return std::nullopt;
  target = target.substr(0, std::min(target.find('?'), target.find('#')));
  std::string decoded;
  for (size_t i = 0; i < target.size(); ++i) {
    char c = target[i];
    if (c == '%') {
      if (i + 2 >= target.size()) return std::nullopt;
      int high = hexDigitValue(target[i + 1]);
      int low = hexDigitValue(target[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      c = static_cast<char>(high * 16 + low);
      i += 2;
    }
    if (c == '\0' || c == '\\') return std::nullopt;
    decoded += c;
  }
  if (decoded == "/") return std::string("./kestrel.html");
  // Every segment after the leading slash must be a plain name.
  size_t start = 1;
  while (start <= decoded.size()) {
    size_t end = decoded.find('/', start);
    if (end == std::string::npos) end = decoded.size();
    std::string_view segment(decoded.data() + start, end - start);
    bool last = end == decoded.size();
    if ((segment.empty() && !last) || segment == "..") return std::nullopt;
    if (segment.empty() && last) return std::nullopt;  // a directory
    start = end + 1;
  }
  return "." + decoded;
}

bool isHtmlPath(std::string_view path) {
  return endsWithNoCase(path, ".html") || endsWithNoCase(path, ".htm");
}

const char* contentTypeFor(std::string_view path) {
  struct Suffix {
    const char* suffix;
    const char* type;
  };
  static const Suffix kTypes[] = {
      {".html", "text/html"},        {".htm", "text/html"},
      {".css", "text/css"},          {".js", "text/javascript"},
      {".png", "image/png"},         {".jpg", "image/jpeg"},
      {".jpeg", "image/jpeg"},       {".gif", "image/gif"},
      {".svg", "image/svg+xml"},     {".ico", "image/x-icon"},
      {".txt", "text/plain"},        {".json", "application/json"},
      {".xml", "text/xml"},          {".wrl", "model/vrml"},
  };
  for (const Suffix& s : kTypes) {
    if (endsWithNoCase(path, s.suffix)) return s.type;
  }
  return "application/octet-stream";
}

}  // namespace kestrel
