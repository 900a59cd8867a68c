// Whole requests to the JSON API from arbitrary bytes, answered as the
// event loop answers them: no crash, every reply complete (a status line
// and as many body bytes as its Content-Length says), and command lines
// that reach the queue are the checked ones.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "viewer/intake/command_queue.h"
#include "viewer/web/form_commands.h"
#include "viewer/web/live/api_routes.h"
#include "viewer/web/live/live_hub.h"
#include "viewer/web/web_connection.h"

namespace {

// Each reply in OUT has a status line and exactly its declared body.
bool wholeReplies(const std::string& out) {
  size_t at = 0;
  while (at < out.size()) {
    if (out.compare(at, 9, "HTTP/1.1 ") != 0) return false;
    size_t end = out.find("\r\n\r\n", at);
    if (end == std::string::npos) return false;
    size_t length = out.find("Content-Length: ", at);
    if (length == std::string::npos || length > end) return false;
    at = end + 4 + std::stoul(out.substr(length + 16));
    if (at > out.size()) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kestrel::LiveHub hub;
  std::string text(reinterpret_cast<const char*>(data), size);
  kestrel::InternalCommandQueue queue;
  kestrel::WebContext context;
  context.queue = &queue;
  context.live = &hub;
  context.threeDir = "/nonexistent";
  context.root = "/nonexistent";
  std::string in = text, out;
  bool streaming = false;
  kestrel::answerRequests(in, out, context, &streaming);
  if (!wholeReplies(out)) std::abort();
  std::string error;
  if (auto lines = kestrel::commandLines(text, &error)) {
    for (const std::string& line : *lines) {
      if (line.empty() || line.size() > kestrel::kMaxDirectCommand) std::abort();
      for (unsigned char c : line) {
        if ((c < 0x20 && c != '\t') || c == 0x7f) std::abort();
      }
    }
  } else if (error.empty()) {
    std::abort();
  }
  return 0;
}
