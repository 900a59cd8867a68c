// The member values of one node, in 16 bytes, in one of two layouts:
// - sparse: only the members set apart from their type's defaults, in
//   member order, with a bit per member saying which are stored. A parsed
//   node of a large scene sets a third of its members or fewer, so the
//   rest cost nothing; reads of the others fall back to the type's default
//   (Node does that, as only it knows the type).
// - dense: a value for every member, a vector of FieldValue. A node turns
//   dense on its first edit after it is built, so the addresses of its
//   values stay put from then on; a Script's interface and a node with
//   more members than the bits can name are dense from the start.
// Storing into a sparse list moves its values: only code building a node
// (the parser, PROTO copies) stores, before anyone holds its values.
#pragma once

#include <bit>
#include <cassert>
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

  // The members a sparse list can name: one bit each, the top bit marks
  // the layout.
  static constexpr size_t kMaxSparseMembers = 63;

  // An empty dense list.
  FieldValues() = default;
  // A sparse list with nothing stored.
  static FieldValues sparse() {
    FieldValues v;
    v.shape_ = kSparseBit;
    return v;
  }
  FieldValues(const FieldValues&) = delete;
  FieldValues& operator=(const FieldValues&) = delete;
  FieldValues(FieldValues&& other) noexcept
      : data_(std::move(other.data_)), shape_(std::exchange(other.shape_, 0)) {}
  FieldValues& operator=(FieldValues&& other) noexcept {
    data_ = std::move(other.data_);
    shape_ = std::exchange(other.shape_, 0);
    return *this;
  }
  ~FieldValues() = default;

  bool isSparse() const { return (shape_ & kSparseBit) != 0; }

  // Either layout: the value stored for MEMBER, or null when the list is
  // sparse and MEMBER is at its default.
  const FieldValue* find(size_t member) const {
    if (!isSparse()) return &data_[member];
    return isStored(member) ? &data_[slotOf(member)] : nullptr;
  }
  bool isStored(size_t member) const {
    return !isSparse() || (member < kMaxSparseMembers && (storedMask() >> member & 1) != 0);
  }
  // How many values the list holds.
  size_t storedCount() const { return isSparse() ? size_t(std::popcount(storedMask())) : size(); }

  // Sets MEMBER to VALUE: in place when dense, else inserted in member
  // order (the sparse values move). MEMBER < kMaxSparseMembers when sparse.
  void store(size_t member, FieldValue value) {
    if (!isSparse()) {
      data_[member] = std::move(value);
      return;
    }
    assert(member < kMaxSparseMembers);
    const size_t slot = slotOf(member);
    if (isStored(member)) {
      data_[slot] = std::move(value);
      return;
    }
    const size_t count = storedCount();
    auto moved = std::make_unique<FieldValue[]>(count + 1);
    for (size_t i = 0; i < slot; ++i) moved[i] = std::move(data_[i]);
    moved[slot] = std::move(value);
    for (size_t i = slot; i < count; ++i) moved[i + 1] = std::move(data_[i]);
    data_ = std::move(moved);
    shape_ |= uint64_t{1} << member;
  }

  // Turns a sparse list dense with COUNT members, those not stored set to
  // initial(member) (a const FieldValue&). No-op when already dense.
  template <class Initial>
  void makeDense(size_t count, Initial&& initial) {
    if (!isSparse()) return;
    auto all = std::make_unique<FieldValue[]>(count);
    size_t slot = 0;
    for (size_t m = 0; m < count; ++m) {
      all[m] = isStored(m) ? std::move(data_[slot++]) : FieldValue(initial(m));
    }
    data_ = std::move(all);
    shape_ = denseShape(count, count);
  }

  // The dense layout's interface: a vector of FieldValue.
  size_t size() const { return size_t(shape_ & 0xffffffffu); }
  bool empty() const { return storedCount() == 0; }
  FieldValue& operator[](size_t i) { return denseData()[i]; }
  const FieldValue& operator[](size_t i) const { return denseData()[i]; }
  FieldValue& back() { return denseData()[size() - 1]; }
  const FieldValue& back() const { return denseData()[size() - 1]; }

  iterator begin() { return denseData(); }
  iterator end() { return denseData() + size(); }
  const_iterator begin() const { return denseData(); }
  const_iterator end() const { return denseData() + size(); }
  std::reverse_iterator<iterator> rbegin() { return std::reverse_iterator<iterator>(end()); }
  std::reverse_iterator<iterator> rend() { return std::reverse_iterator<iterator>(begin()); }
  std::reverse_iterator<const_iterator> rbegin() const {
    return std::reverse_iterator<const_iterator>(end());
  }
  std::reverse_iterator<const_iterator> rend() const {
    return std::reverse_iterator<const_iterator>(begin());
  }

  // Room for COUNT values without moving them again (dense only).
  void reserve(size_t count) {
    if (count > capacity()) moveTo(count);
  }
  // Appends VALUE (dense only; an empty sparse list turns dense).
  void push_back(FieldValue value) {
    if (isSparse()) {
      assert(storedCount() == 0);
      shape_ = 0;
    }
    if (size() == capacity()) moveTo(capacity() == 0 ? 4 : capacity() * 2);
    data_[size()] = std::move(value);
    shape_ = denseShape(size() + 1, capacity());
  }

 private:
  static constexpr uint64_t kSparseBit = uint64_t{1} << 63;

  static uint64_t denseShape(size_t size, size_t capacity) {
    return uint64_t(size) | uint64_t(capacity) << 32;
  }
  uint64_t storedMask() const { return shape_ & ~kSparseBit; }
  // Where MEMBER is (or would go) among the sparse values.
  size_t slotOf(size_t member) const {
    return size_t(std::popcount(storedMask() & ((uint64_t{1} << member) - 1)));
  }
  size_t capacity() const { return size_t(shape_ >> 32); }
  FieldValue* denseData() const {
    assert(!isSparse());
    return data_.get();
  }
  void moveTo(size_t capacity) {
    auto moved = std::make_unique<FieldValue[]>(capacity);
    for (size_t i = 0; i < size(); ++i) moved[i] = std::move(data_[i]);
    data_ = std::move(moved);
    shape_ = denseShape(size(), capacity);
  }

  std::unique_ptr<FieldValue[]> data_;
  // Sparse: kSparseBit | a bit per stored member. Dense: size in the low
  // 32 bits, capacity in the high 31.
  uint64_t shape_ = 0;
};

}  // namespace kestrel
