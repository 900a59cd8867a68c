#include "viewer/intake/line_framer.h"

#include <algorithm>
#include <cstring>

namespace kestrel {
namespace {

bool printable(char c) {
  auto u = static_cast<unsigned char>(c);
  return u >= 0x20 && u <= 0x7e;
}

}  // namespace

void LineFramer::startLineIfDone() {
  if (!ready_) return;
  ready_ = false;
  stored_ = 0;
  taken_ = 0;
  buffer_[0] = '\0';
}

void LineFramer::discard() {
  ready_ = true;
  startLineIfDone();
}

void LineFramer::finish() {
  buffer_[stored_] = '\0';
  ready_ = true;
}

size_t LineFramer::feed(const char* data, size_t size) {
  startLineIfDone();
  size_t used = 0;
  // The first two characters are tested one at a time.
  while (taken_ < 2 && used < size) {
    char c = data[used++];
    if (c == '\n') {
      finish();
      return used;
    }
    ++taken_;
    if (printable(c)) {
      buffer_[stored_++] = c;
    } else {
      stored_ = 0;
    }
  }
  if (taken_ < 2) return used;
  // From the third character on, copy up to the newline in one go.
  size_t room = kMaxLine - taken_;
  size_t span = std::min(room, size - used);
  const char* start = data + used;
  const void* newline = std::memchr(start, '\n', span);
  size_t copy = newline ? static_cast<size_t>(static_cast<const char*>(newline) - start) : span;
  std::memcpy(buffer_ + stored_, start, copy);
  stored_ += copy;
  taken_ += copy;
  used += copy;
  if (newline != nullptr) {
    finish();
    return used + 1;
  }
  if (taken_ == kMaxLine) finish();
  return used;
}

}  // namespace kestrel
