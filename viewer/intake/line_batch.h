// LineBatch: framed lines collected by a port thread so that they can be
// handed to the queue under one hold of its mutex.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

// Lines stored back to back, each NUL-terminated, in one reused arena: no
// allocation per line once the batch has grown to its working size.
class LineBatch {
 public:
  void add(std::string_view line) {
    starts_.push_back(static_cast<uint32_t>(arena_.size()));
    arena_.append(line);
    arena_.push_back('\0');
  }
  void clear() {
    arena_.clear();
    starts_.clear();
    first_ = 0;
  }
  // Lines not yet handed on.
  size_t pending() const { return starts_.size() - first_; }
  size_t bytes() const { return arena_.size(); }
  const char* line(size_t i) const { return arena_.data() + starts_[first_ + i]; }
  // Marks the first COUNT pending lines as handed on.
  void consume(size_t count) {
    first_ += count;
    if (first_ == starts_.size()) clear();
  }

 private:
  std::string arena_;
  std::vector<uint32_t> starts_;
  size_t first_ = 0;
};

}  // namespace kestrel
