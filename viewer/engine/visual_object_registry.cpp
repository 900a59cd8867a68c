#include "viewer/engine/visual_object_registry.h"

#include "viewer/intake/diagnostic_log.h"

namespace kestrel {

bool VisualObjectRegistry::registerObject(std::unique_ptr<VisualObject> object,
                                          const std::string& name) {
  if (full()) {
    logText("object registry full, object not registered:", name.c_str());
    return false;
  }
  object->takeSnapshot();
  WriterLock lock(mutex_);
  objects_.push_back(std::move(object));
  names_.push_back(name);
  firstByName_.emplace(name, count() - 1);  // keeps an earlier object's entry
  shown_.push_back(true);
  current_ = count() - 1;
  return true;
}

int VisualObjectRegistry::find(const std::string& name) const {
  auto it = firstByName_.find(name);
  return it == firstByName_.end() ? -1 : it->second;
}

void VisualObjectRegistry::clear() {
  WriterLock lock(mutex_);
  objects_.clear();
  names_.clear();
  firstByName_.clear();
  shown_.clear();
  current_ = -1;
}

void VisualObjectRegistry::restoreAll() {
  for (auto& object : objects_) object->restoreSnapshot();
}

std::string VisualObjectRegistry::nameAt(int index) const {
  ReaderLock lock(mutex_);
  return index >= 0 && index < count() ? names_[static_cast<size_t>(index)] : std::string();
}

bool VisualObjectRegistry::isShown(int index) const {
  ReaderLock lock(mutex_);
  return index >= 0 && index < count() && shown_[static_cast<size_t>(index)];
}

int VisualObjectRegistry::size() const {
  ReaderLock lock(mutex_);
  return count();
}

std::vector<std::string> VisualObjectRegistry::names() const {
  ReaderLock lock(mutex_);
  return names_;
}

VisualObject* VisualObjectRegistry::objectAt(int index) const {
  return index >= 0 && index < count() ? objects_[static_cast<size_t>(index)].get() : nullptr;
}

void VisualObjectRegistry::cycle() {
  if (count() == 0) return;
  current_ = current_ + 1 >= count() ? 0 : current_ + 1;
  logText("object cycled to: ", names_[static_cast<size_t>(current_)].c_str());
}

void VisualObjectRegistry::setShown(int index, bool shown) {
  WriterLock lock(mutex_);
  if (index >= 0 && index < count()) shown_[static_cast<size_t>(index)] = shown;
}

}  // namespace kestrel
