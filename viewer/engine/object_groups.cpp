// The operations across objects: selection, links, the current group and
// model set instances.
#include "viewer/engine/object_operations.h"
#include "viewer/engine/text_values.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {

void ObjectOperations::selectObject(const std::string& name) {
  int set = sets_.find(name);
  if (set < 0) {
    registry_.setCurrentByName(name);
    return;
  }
  sets_.setCurrent(set);
  ModelSet& chosen = sets_.at(set);
  registry_.setCurrentByName(chosen.instanceName(chosen.currentInstance));
  chosen.tellSelected(registry_.currentIndex());
}

void ObjectOperations::clear() {
  registry_.clear();
  currentGroup_ = kRootGroup;
}

void ObjectOperations::link(const char* first, const char* second) {
  logText("First object in link: ", first);
  logText("Second object in link: ", second);
  if (first == nullptr || second == nullptr) return;
  VisualObject* from = registry_.objectAt(registry_.find(first));
  VisualObject* to = registry_.objectAt(registry_.find(second));
  if (from != nullptr && to != nullptr) from->setLinkedObject(to);
}

void ObjectOperations::setGroup() {
  if (registry_.currentObject() == nullptr) {
    logLine("SetGroup DID NOT SET CURRENT GROUP");
    return;
  }
  currentGroup_ = registry_.nameAt(registry_.currentIndex());
  logText("SetGroup SET CURRENT GROUP TO ", currentGroup_.c_str());
}

std::optional<MFNodeHandle> ObjectOperations::currentGroupChildren() {
  if (currentGroup_ == kRootGroup) return std::nullopt;
  logText("currentGroup is ", currentGroup_.c_str());
  registry_.setCurrentByName(currentGroup_);
  VisualObject* group = registry_.currentObject();
  if (group == nullptr) {
    logLine("OK, I did not find it");
    return std::nullopt;
  }
  logLine("OK, I found it");
  return group->children;
}

void ObjectOperations::switchInstance() {
  ModelSet* set = sets_.current();
  if (set == nullptr) {
    logLine("no foundIdx");
    return;
  }
  if (set->applied && set->instanceCount > 0) {
    set->currentInstance = (set->currentInstance + 1) % set->instanceCount;
  }
  registry_.setCurrentByName(set->instanceName(set->currentInstance));
  set->tellSelected(registry_.currentIndex());
}

void ObjectOperations::spaceInstances(int axis, const std::string& text) {
  float d = realValue(text.c_str());
  ModelSet* set = sets_.current();
  int n = set ? set->instanceCount : 0;
  int remembered = registry_.currentIndex();
  float start = 0;
  for (int i = 0; i < n; ++i) {
    registry_.setCurrentByName(set->instanceName(i));
    VisualObject* instance = registry_.currentObject();
    if (i == 0) {
      start = 0;
      if (instance == nullptr || !instance->translation.get(axis, start)) start = 0;
    }
    if (instance != nullptr) instance->translation.set(axis, start + d * static_cast<float>(i));
  }
  registry_.setCurrent(remembered);
}

}  // namespace kestrel
