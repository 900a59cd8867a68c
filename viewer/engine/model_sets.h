// Model sets: a data block created n times as base_0 .. base_(n-1), which
// `setobject`, `mswitch` and `spacex`/`spacey`/`spacez` treat as one unit
// with a moving current instance.
#pragma once

#include <string>
#include <vector>

namespace kestrel {

struct ModelSet {
  bool applied = false;  // a value was applied to the selected instance
  int selected = -1;     // registry index last selected through this set
  int instanceCount = 0;
  int currentInstance = 0;
  std::string baseName;

  // The name of instance I: base name, "_", I.
  std::string instanceName(int i) const { return baseName + "_" + std::to_string(i); }
  // Tells the set that registry index I was selected through it.
  void tellSelected(int i) {
    if (i != selected) {
      selected = i;
      applied = false;
    }
  }
};

// Up to kCapacity sets in creation order; never emptied, not even by clear.
class ModelSetList {
 public:
  static constexpr size_t kCapacity = 100;

  // Appends a set; false (and a log line) when the list is full.
  bool add(const std::string& baseName, int count);
  // The first set named BASE_NAME, or -1.
  int find(const std::string& baseName) const;
  ModelSet* current() { return current_ < 0 ? nullptr : &sets_[static_cast<size_t>(current_)]; }
  void setCurrent(int index) { current_ = index; }
  ModelSet& at(int index) { return sets_[static_cast<size_t>(index)]; }
  size_t size() const { return sets_.size(); }

 private:
  std::vector<ModelSet> sets_;
  int current_ = -1;
};

}  // namespace kestrel
