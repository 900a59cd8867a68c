// The member values of one node, in 8 bytes, in one of two layouts:
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
#include <new>
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

  // An empty list: sparse, with nothing stored, and nothing allocated.
  FieldValues() = default;
  static FieldValues sparse() { return FieldValues(); }
  FieldValues(const FieldValues&) = delete;
  FieldValues& operator=(const FieldValues&) = delete;
  FieldValues(FieldValues&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
  FieldValues& operator=(FieldValues&& other) noexcept {
    if (this != &other) {
      release();
      block_ = std::exchange(other.block_, nullptr);
    }
    return *this;
  }
  ~FieldValues() { release(); }

  bool isSparse() const { return (shape() & kSparseBit) != 0; }

  // Either layout: the value stored for MEMBER, or null when the list is
  // sparse and MEMBER is at its default.
  const FieldValue* find(size_t member) const {
    if (!isSparse()) return &block_->values()[member];
    return isStored(member) ? &block_->values()[slotOf(member)] : nullptr;
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
      block_->values()[member] = std::move(value);
      return;
    }
    assert(member < kMaxSparseMembers);
    const size_t slot = slotOf(member);
    if (isStored(member)) {
      block_->values()[slot] = std::move(value);
      return;
    }
    const size_t count = storedCount();
    Block* grown = Block::make(count + 1, (shape() | uint64_t{1} << member) | kSparseBit);
    FieldValue* to = grown->values();
    for (size_t i = 0; i < slot; ++i) new (&to[i]) FieldValue(std::move(at(i)));
    new (&to[slot]) FieldValue(std::move(value));
    for (size_t i = slot; i < count; ++i) new (&to[i + 1]) FieldValue(std::move(at(i)));
    replaceBlock(grown);
  }

  // Sets the members of COUNT pairs at FIRST (a member and its value; of
  // two pairs for one member the later wins) in one block, made once. The
  // list must be sparse with nothing stored, and every member below
  // kMaxSparseMembers.
  template <class Pair>
  void storeAll(Pair* first, size_t count) {
    assert(isSparse() && !block_);
    uint64_t mask = 0;
    for (size_t i = 0; i < count; ++i) {
      assert(first[i].first < kMaxSparseMembers);
      mask |= uint64_t{1} << first[i].first;
    }
    if (mask == 0) return;
    Block* block = Block::make(size_t(std::popcount(mask)), mask | kSparseBit);
    uint64_t made = 0;
    for (size_t i = 0; i < count; ++i) {
      const uint64_t bit = uint64_t{1} << first[i].first;
      FieldValue* slot = &block->values()[size_t(std::popcount(mask & (bit - 1)))];
      if ((made & bit) != 0) {
        *slot = std::move(first[i].second);
      } else {
        new (slot) FieldValue(std::move(first[i].second));
        made |= bit;
      }
    }
    block_ = block;
  }

  // Turns a sparse list dense with COUNT members, those not stored set to
  // initial(member) (a const FieldValue&). No-op when already dense.
  template <class Initial>
  void makeDense(size_t count, Initial&& initial) {
    if (!isSparse()) return;
    Block* all = Block::make(count, denseShape(count, count));
    size_t slot = 0;
    for (size_t m = 0; m < count; ++m) {
      if (isStored(m)) {
        new (&all->values()[m]) FieldValue(std::move(at(slot++)));
      } else {
        new (&all->values()[m]) FieldValue(initial(m));
      }
    }
    replaceBlock(all);
  }

  // The dense layout's interface: a vector of FieldValue.
  size_t size() const { return isSparse() ? 0 : size_t(shape() & 0xffffffffu); }
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
    assert(!isSparse() || storedCount() == 0);
    if (isSparse() || size() == capacity()) moveTo(capacity() == 0 ? 4 : capacity() * 2);
    const size_t n = size();
    new (&block_->values()[n]) FieldValue(std::move(value));
    block_->shape = denseShape(n + 1, capacity());
  }

 private:
  static constexpr uint64_t kSparseBit = uint64_t{1} << 63;

  // One allocation: the layout word, then the values (as many as the
  // layout says are made; a dense list's capacity beyond its size is raw).
  struct Block {
    // Sparse: kSparseBit | a bit per stored member. Dense: size in the low
    // 32 bits, capacity in the high 31.
    uint64_t shape;
    FieldValue* values() { return std::launder(reinterpret_cast<FieldValue*>(this + 1)); }
    static Block* make(size_t room, uint64_t shape) {
      void* raw = ::operator new(sizeof(Block) + room * sizeof(FieldValue));
      return new (raw) Block{shape};
    }
  };
  static_assert(sizeof(Block) % alignof(FieldValue) == 0);

  static uint64_t denseShape(size_t size, size_t capacity) {
    return uint64_t(size) | uint64_t(capacity) << 32;
  }
  // No block reads as an empty sparse list.
  uint64_t shape() const { return block_ ? block_->shape : kSparseBit; }
  uint64_t storedMask() const { return shape() & ~kSparseBit; }
  // Where MEMBER is (or would go) among the sparse values.
  size_t slotOf(size_t member) const {
    return size_t(std::popcount(storedMask() & ((uint64_t{1} << member) - 1)));
  }
  size_t capacity() const { return isSparse() ? 0 : size_t(shape() >> 32); }
  FieldValue& at(size_t slot) const { return block_->values()[slot]; }
  FieldValue* denseData() const {
    assert(!isSparse() || !block_);
    return block_ ? block_->values() : nullptr;
  }
  void moveTo(size_t capacity) {
    const size_t n = size();
    Block* moved = Block::make(capacity, denseShape(n, capacity));
    for (size_t i = 0; i < n; ++i) new (&moved->values()[i]) FieldValue(std::move(at(i)));
    replaceBlock(moved);
  }
  // Frees the current block (its values moved from or not) for BLOCK.
  void replaceBlock(Block* block) {
    release();
    block_ = block;
  }
  void release() {
    if (!block_) return;
    const size_t made = storedCount();
    for (size_t i = 0; i < made; ++i) at(i).~FieldValue();
    ::operator delete(block_);
    block_ = nullptr;
  }

  Block* block_ = nullptr;  // null: sparse, nothing stored
};

}  // namespace kestrel
