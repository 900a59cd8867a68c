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
  if (!ownNames_.empty()) {
    auto own = ownNames_.find(static_cast<uint32_t>(entry));
    if (own != ownNames_.end()) return own->second;
  }
  return entries_[entry]->name.view();
}

void NameTable::keepName(size_t entry, std::string_view name) {
  const auto key = static_cast<uint32_t>(entry);
  if (entries_[entry]->name.view() == name) {
    if (!ownNames_.empty()) ownNames_.erase(key);
  } else {
    ownNames_[key] = std::string(name);
  }
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
  return slot.entry == 0 ? nullptr : entries_[slot.entry - 1];
}

void NameTable::assign(std::string_view name, NodePtr node) {
  if (!node) return;
  assignHashed(name, hashOf(name), std::move(node));
}

void NameTable::assignHashed(std::string_view name, uint32_t hash, NodePtr node) {
  // At most 70% full, so probe runs stay short and a free slot exists.
  if ((size_ + 1) * 10 > slots_.size() * 7) grow(slots_.empty() ? 16 : slots_.size() * 2);
  Slot& slot = slots_[slotOf(name, hash)];
  if (slot.entry != 0) {
    entries_[slot.entry - 1] = std::move(node);
    keepName(slot.entry - 1, name);
    return;
  }
  entries_.push_back(std::move(node));
  keepName(entries_.size() - 1, name);
  slot.hash = hash;
  slot.entry = static_cast<uint32_t>(entries_.size());
  ++size_;
}

void NameTable::adoptLater(NameTable&& later) {
  reserve(size_ + later.size_);
  const size_t mask = slots_.size() - 1;
  for (const Slot& taken : later.slots_) {
    if (taken.entry == 0) continue;
    const size_t from = taken.entry - 1;
    // Names are read only where the hashes match: a table read by another
    // thread is not in this one's cache, and every read would miss.
    size_t i = taken.hash & mask;
    while (slots_[i].entry != 0 &&
           !(slots_[i].hash == taken.hash && nameOf(slots_[i].entry - 1) == later.nameOf(from))) {
      i = (i + 1) & mask;
    }
    std::string* ownName = nullptr;
    if (!later.ownNames_.empty()) {
      auto own = later.ownNames_.find(static_cast<uint32_t>(from));
      if (own != later.ownNames_.end()) ownName = &own->second;
    }
    size_t entry = slots_[i].entry - 1;
    if (slots_[i].entry != 0) {
      if (!ownNames_.empty()) ownNames_.erase(static_cast<uint32_t>(entry));
      entries_[entry] = std::move(later.entries_[from]);
    } else {
      entries_.push_back(std::move(later.entries_[from]));
      entry = entries_.size() - 1;
      slots_[i] = Slot{taken.hash, static_cast<uint32_t>(entries_.size())};
      ++size_;
    }
    if (ownName != nullptr) ownNames_[static_cast<uint32_t>(entry)] = std::move(*ownName);
  }
  later.clear();
}

void NameTable::reserve(size_t names) {
  size_t capacity = 16;
  while (capacity * 7 < names * 10) capacity *= 2;
  if (capacity > slots_.size()) grow(capacity);
}

// Rehashes from the slots themselves, which keep each name's hash.
void NameTable::grow(size_t capacity) {
  std::vector<Slot> old(capacity, Slot{});
  old.swap(slots_);
  const size_t mask = capacity - 1;
  for (const Slot& taken : old) {
    if (taken.entry == 0) continue;
    size_t i = taken.hash & mask;
    while (slots_[i].entry != 0) i = (i + 1) & mask;  // every name is present once
    slots_[i] = taken;
  }
}

void NameTable::clear() {
  std::vector<Slot>().swap(slots_);
  entries_.clear();
  ownNames_.clear();
  size_ = 0;
}

}  // namespace kestrel
