#include "viewer/browser/name_table.h"

#include <functional>

namespace kestrel {
namespace {

uint64_t hashOf(std::string_view name) { return std::hash<std::string_view>{}(name); }

}  // namespace

size_t NameTable::slotOf(std::string_view name, uint64_t hash) const {
  const size_t mask = slots_.size() - 1;
  size_t i = static_cast<size_t>(hash) & mask;
  while (slots_[i].node && !(slots_[i].hash == hash && slots_[i].name == name)) {
    i = (i + 1) & mask;
  }
  return i;
}

NodePtr NameTable::find(std::string_view name) const {
  if (size_ == 0) return nullptr;
  return slots_[slotOf(name, hashOf(name))].node;
}

void NameTable::assign(std::string_view name, NodePtr node) {
  if (!node) return;
  // At most 70% full, so probe runs stay short and a free slot exists.
  if ((size_ + 1) * 10 > slots_.size() * 7) grow(slots_.empty() ? 16 : slots_.size() * 2);
  const uint64_t hash = hashOf(name);
  Slot& slot = slots_[slotOf(name, hash)];
  if (!slot.node) {
    slot.hash = hash;
    slot.name = std::string(name);
    ++size_;
  }
  slot.node = std::move(node);
}

void NameTable::reserve(size_t names) {
  size_t capacity = 16;
  while (capacity * 7 < names * 10) capacity *= 2;
  if (capacity > slots_.size()) grow(capacity);
}

void NameTable::grow(size_t capacity) {
  std::vector<Slot> old = std::move(slots_);
  slots_.clear();
  slots_.resize(capacity);
  for (Slot& s : old) {
    if (s.node) slots_[slotOf(s.name, s.hash)] = std::move(s);
  }
}

void NameTable::clear() {
  slots_.clear();
  size_ = 0;
}

}  // namespace kestrel
