// DEF name -> node, with constant-time lookup by string_view.
//
// Open addressing with linear probing over a compact slot array (a name's
// hash and where its entry is, eight slots to a cache line), so a lookup
// usually touches one line of slots and one node. A name is not copied: it
// is the DEF name its node holds (a scene of many DEF'd nodes has as many
// names), so an entry is the node alone, and entries grow in blocks rather
// than by doubling. Only a name given to a node not so named itself is kept
// here. Assigning a name that is already present replaces its node: the
// latest DEF wins. Nothing is ever removed one by one; clear() empties all.
//
// A node's DEF name must not change while the node is in a table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "viewer/browser/node.h"

namespace kestrel {

class NameTable {
 public:
  // The node named NAME, or null.
  NodePtr find(std::string_view name) const;
  // Same as find(); kept for callers that read like a map.
  NodePtr at(std::string_view name) const { return find(name); }
  size_t count(std::string_view name) const { return find(name) ? 1 : 0; }
  // Names NAME NODE, replacing any earlier node of that name.
  void assign(std::string_view name, NodePtr node);
  // Takes every entry of LATER, whose names were given after all of this
  // table's: where both have a name, LATER's node wins. LATER is left empty.
  void adoptLater(NameTable&& later);
  void reserve(size_t names);
  void clear();
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  // Calls VISIT(name, node) for every entry, in no particular order. The
  // name viewed is valid during the call; VISIT must not change this table.
  template <class Visit>
  void forEach(Visit&& visit) const {
    for (size_t e = 0; e < entries_.size(); ++e) visit(nameOf(e), entries_[e]);
  }

 private:
  struct Slot {
    uint32_t hash = 0;   // the low bits of the name's hash
    uint32_t entry = 0;  // index into entries_ plus one; 0: the slot is free
  };
  std::string_view nameOf(size_t entry) const;
  size_t slotOf(std::string_view name, uint32_t hash) const;
  void assignHashed(std::string_view name, uint32_t hash, NodePtr node);
  void grow(size_t capacity);
  // Keeps NAME for ENTRY when its node is not named so itself.
  void keepName(size_t entry, std::string_view name);

  // The entries in blocks of 4 KiB that never move: a table grows without
  // copying them, and a block is big enough to go back to malloc for reuse
  // (see startOneShotArena) when the table goes.
  class Entries {
   public:
    NodePtr& operator[](size_t i) { return blocks_[i / kPerBlock][i % kPerBlock]; }
    const NodePtr& operator[](size_t i) const { return blocks_[i / kPerBlock][i % kPerBlock]; }
    size_t size() const { return size_; }
    void push_back(NodePtr node) {
      if (size_ == blocks_.size() * kPerBlock) blocks_.push_back(std::make_unique<NodePtr[]>(kPerBlock));
      (*this)[size_++] = std::move(node);
    }
    void clear() {
      blocks_.clear();
      size_ = 0;
    }

   private:
    static constexpr size_t kPerBlock = 4096 / sizeof(NodePtr);
    std::vector<std::unique_ptr<NodePtr[]>> blocks_;
    size_t size_ = 0;
  };

  std::vector<Slot> slots_;  // size is 0 or a power of two
  Entries entries_;
  // The names of entries whose node has another DEF name (or none).
  std::unordered_map<uint32_t, std::string> ownNames_;
  size_t size_ = 0;
};

}  // namespace kestrel
