// Recognises the lines a web browser sends, so that a command port can turn
// away a web page that posts to it (a page may send any text/plain body to
// any port it can reach, and the body's lines would run as commands).
#pragma once

#include <string_view>

namespace kestrel {

// True for an HTTP request line (an upper-case method, a target and
// "HTTP/", such as "POST / HTTP/1.1"), for a line that starts with one of
// the common methods and a blank ("GET ..."), and for a "Host:" header line
// (any case). No command verb is upper case, so no command line matches.
bool looksLikeHttp(std::string_view line);

}  // namespace kestrel
