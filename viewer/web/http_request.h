// Reading the parts of an HTTP request that the web server needs, and
// turning a request target into a page path that cannot leave the page
// directory. Pure functions on text; safe from any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "viewer/web/html_text.h"  // htmlEscape, for the pages

namespace kestrel {

// The bounds of one request.
inline constexpr size_t kMaxRequestBytes = 5000;
inline constexpr size_t kTargetScanBytes = 100;

// The target of the request line: the bytes between the first and the
// second space, when both lie within the first 100 bytes.
std::optional<std::string> requestTarget(std::string_view request);

// The offset just past the first "\r\n\r\n", or npos.
size_t headerEnd(std::string_view request);

// The value of the header field NAME (without regard to case) within
// HEADER, without surrounding blanks; nullopt when there is none.
std::optional<std::string_view> headerValue(std::string_view header, std::string_view name);

// True for a form a browser posts from a page of another site: the header
// has an Origin that is not this server's own Host. Such forms are refused,
// so that no web page the user visits can drive the viewer.
bool crossSiteForm(std::string_view header);

// The value of the Content-Length header field (name without regard to
// case) within HEADER; nullopt when there is none, -1 when it is not a
// plain decimal number.
std::optional<long> contentLength(std::string_view header);

// Keep the connection open after this request: "keep-alive" or
// "Keep-Alive" appears in it.
bool wantsKeepAlive(std::string_view request);

// The page path for TARGET: "./" and the target's path without its query,
// percent-decoded; "/" gives "./kestrel.html". Nullopt for a target that
// does not start with "/", that holds a ".." or empty segment, a backslash
// or a NUL (also when encoded), or a malformed percent escape.
std::optional<std::string> pagePath(std::string_view target);

// The Content-Type for a page path, by its suffix (case-insensitive).
const char* contentTypeFor(std::string_view path);
bool isHtmlPath(std::string_view path);


}  // namespace kestrel
