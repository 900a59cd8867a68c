// The member values of one node: a vector of FieldValue in 16 bytes where
// a std::vector takes 24. A node type fixes the count, so a node's values
// are sized once; a Script's interface and a PROTO copy grow them member
// by member. A scene of many small nodes has one of these per node.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <utility>

#include "viewer/browser/field_value.h"

namespace kestrel {

class FieldValues {
 public:
  using iterator = FieldValue*;
  using const_iterator = const FieldValue*;

  FieldValues() = default;
  FieldValues(const FieldValues&) = delete;
  FieldValues& operator=(const FieldValues&) = delete;
  FieldValues(FieldValues&&) noexcept = default;
  FieldValues& operator=(FieldValues&&) noexcept = default;
  ~FieldValues() = default;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  FieldValue& operator[](size_t i) { return data_[i]; }
  const FieldValue& operator[](size_t i) const { return data_[i]; }
  FieldValue& back() { return data_[size_ - 1]; }
  const FieldValue& back() const { return data_[size_ - 1]; }

  iterator begin() { return data_.get(); }
  iterator end() { return data_.get() + size_; }
  const_iterator begin() const { return data_.get(); }
  const_iterator end() const { return data_.get() + size_; }
  std::reverse_iterator<iterator> rbegin() { return std::reverse_iterator<iterator>(end()); }
  std::reverse_iterator<iterator> rend() { return std::reverse_iterator<iterator>(begin()); }
  std::reverse_iterator<const_iterator> rbegin() const {
    return std::reverse_iterator<const_iterator>(end());
  }
  std::reverse_iterator<const_iterator> rend() const {
    return std::reverse_iterator<const_iterator>(begin());
  }

  // Room for COUNT values without moving them again.
  void reserve(size_t count) {
    if (count > capacity_) moveTo(count);
  }
  void push_back(FieldValue value) {
    if (size_ == capacity_) moveTo(capacity_ == 0 ? 4 : size_t{capacity_} * 2);
    data_[size_++] = std::move(value);
  }

 private:
  void moveTo(size_t capacity) {
    auto moved = std::make_unique<FieldValue[]>(capacity);
    for (uint32_t i = 0; i < size_; ++i) moved[i] = std::move(data_[i]);
    data_ = std::move(moved);
    capacity_ = static_cast<uint32_t>(capacity);
  }

  std::unique_ptr<FieldValue[]> data_;
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;
};

}  // namespace kestrel
