#include "viewer/browser/name_table.h"

#include <functional>

namespace kestrel {
namespace {

// Tables never reach 2^32 slots, so the low bits of the hash place a name.
uint32_t hashOf(std::string_view name) {
  return static_cast<uint32_t>(std::hash<std::string_view>{}(name));
}

}  // namespace

std::string_view NameTable::nameOf(size_t entry) const {
  const size_t end = entry + 1 < entries_.size() ? entries_[entry + 1].nameAt : names_.size();
  return std::string_view(names_).substr(entries_[entry].nameAt, end - entries_[entry].nameAt);
}

size_t NameTable::slotOf(std::string_view name, uint32_t hash) const {
  const size_t mask = slots_.size() - 1;
  size_t i = hash & mask;
  while (slots_[i].entry != 0 &&
         !(slots_[i].hash == hash && nameOf(slots_[i].entry - 1) == name)) {
    i = (i + 1) & mask;
  }
  return i;
}

NodePtr NameTable::find(std::string_view name) const {
  if (size_ == 0) return nullptr;
  const Slot& slot = slots_[slotOf(name, hashOf(name))];
  return slot.entry == 0 ? nullptr : entries_[slot.entry - 1].node;
}

void NameTable::assign(std::string_view name, NodePtr node) {
  if (!node) return;
  // At most 70% full, so probe runs stay short and a free slot exists.
  if ((size_ + 1) * 10 > slots_.size() * 7) grow(slots_.empty() ? 16 : slots_.size() * 2);
  const uint32_t hash = hashOf(name);
  Slot& slot = slots_[slotOf(name, hash)];
  if (slot.entry != 0) {
    entries_[slot.entry - 1].node = std::move(node);
    return;
  }
  entries_.push_back({std::move(node), hash, static_cast<uint32_t>(names_.size())});
  names_.append(name);
  slot.hash = hash;
  slot.entry = static_cast<uint32_t>(entries_.size());
  ++size_;
}

void NameTable::reserve(size_t names) {
  size_t capacity = 16;
  while (capacity * 7 < names * 10) capacity *= 2;
  if (capacity > slots_.size()) grow(capacity);
  entries_.reserve(names);
}

void NameTable::grow(size_t capacity) {
  slots_.assign(capacity, Slot{});
  const size_t mask = capacity - 1;
  for (size_t e = 0; e < entries_.size(); ++e) {
    const uint32_t hash = entries_[e].hash;
    size_t i = hash & mask;
    while (slots_[i].entry != 0) i = (i + 1) & mask;  // every name is present once
    slots_[i] = {hash, static_cast<uint32_t>(e + 1)};
  }
}

void NameTable::clear() {
  slots_.clear();
  entries_.clear();
  names_.clear();
  size_ = 0;
}

}  // namespace kestrel
