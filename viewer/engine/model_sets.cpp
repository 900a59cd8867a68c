#include "viewer/engine/model_sets.h"

#include "viewer/intake/diagnostic_log.h"

namespace kestrel {

bool ModelSetList::add(const std::string& baseName, int count) {
  if (sets_.size() >= kCapacity) {
    logText("model set list full, set not added:", baseName.c_str());
    return false;
  }
  ModelSet set;
  set.baseName = baseName;
  set.instanceCount = count;
  sets_.push_back(std::move(set));
  return true;
}

int ModelSetList::find(const std::string& baseName) const {
  for (size_t i = 0; i < sets_.size(); ++i) {
    if (sets_[i].baseName == baseName) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace kestrel
