// JString and JBlock: the text and byte-block values that travel on links.
//
// Both are plain values that own their bytes. A JString may hold any bytes,
// NUL included; c_str() is always terminated, so C-string users see the text
// up to its first NUL.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "modules/common/export.h"

namespace kestrel {

class KESTREL_API JBlock {
 public:
  JBlock() = default;
  JBlock(const void* bytes, std::size_t size);
  explicit JBlock(std::string_view bytes) : bytes_(bytes) {}

  const unsigned char* data() const {
    return reinterpret_cast<const unsigned char*>(bytes_.data());
  }
  int size() const { return static_cast<int>(bytes_.size()); }
  bool empty() const { return bytes_.empty(); }
  std::string_view view() const { return bytes_; }
  void assign(const void* bytes, std::size_t size);

  bool operator==(const JBlock& other) const = default;

 private:
  std::string bytes_;
};

class KESTREL_API JString {
 public:
  JString() = default;
  JString(const char* text) : text_(text ? text : "") {}  // NOLINT: implicit by design
  JString(const char* text, std::size_t length) : text_(text, length) {}
  explicit JString(std::string text) : text_(std::move(text)) {}
  // The bytes of a block, taken as characters.
  explicit JString(const JBlock& block) : text_(block.view()) {}

  const char* c_str() const { return text_.c_str(); }
  int length() const { return static_cast<int>(text_.size()); }
  bool empty() const { return text_.empty(); }
  char operator[](int i) const { return text_[static_cast<std::size_t>(i)]; }
  std::string_view view() const { return text_; }
  const std::string& str() const { return text_; }

  bool operator==(const JString& other) const = default;
  bool operator==(const char* other) const { return text_ == other; }

 private:
  std::string text_;
};

}  // namespace kestrel
