// A node's DEF name in 8 bytes: most nodes of a large scene have none, and
// a std::string costs 32 bytes in each of them. A name is one heap block,
// its length and then its characters; no name is a null pointer.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace kestrel {

class NodeName {
 public:
  NodeName() = default;
  NodeName(std::string_view name) { assign(name); }  // implicit: names read as text
  NodeName(const NodeName& other) { assign(other.view()); }
  NodeName(NodeName&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
  NodeName& operator=(const NodeName& other) {
    if (this != &other) assign(other.view());
    return *this;
  }
  NodeName& operator=(NodeName&& other) noexcept {
    if (this != &other) {
      release();
      block_ = other.block_;
      other.block_ = nullptr;
    }
    return *this;
  }
  NodeName& operator=(std::string_view name) {
    assign(name);
    return *this;
  }
  ~NodeName() { release(); }

  std::string_view view() const {
    if (!block_) return {};
    uint32_t length = 0;
    std::memcpy(&length, block_, sizeof length);
    return {block_ + sizeof length, length};
  }
  operator std::string_view() const { return view(); }
  std::string str() const { return std::string(view()); }
  bool empty() const { return block_ == nullptr; }
  size_t size() const { return view().size(); }

  friend bool operator==(const NodeName& a, const NodeName& b) { return a.view() == b.view(); }
  friend bool operator==(const NodeName& a, std::string_view b) { return a.view() == b; }
  friend std::string operator+(const std::string& a, const NodeName& b) { return a + b.str(); }
  friend std::string operator+(const NodeName& a, const std::string& b) { return a.str() + b; }
  friend std::string operator+(const char* a, const NodeName& b) { return a + b.str(); }
  friend std::string operator+(const NodeName& a, const char* b) { return a.str() + b; }

 private:
  void assign(std::string_view name) {
    char* block = nullptr;
    if (!name.empty()) {
      const auto length = static_cast<uint32_t>(name.size());
      block = new char[sizeof length + name.size()];
      std::memcpy(block, &length, sizeof length);
      std::memcpy(block + sizeof length, name.data(), name.size());
    }
    release();
    block_ = block;
  }
  void release() {
    delete[] block_;
    block_ = nullptr;
  }

  char* block_ = nullptr;
};

}  // namespace kestrel
