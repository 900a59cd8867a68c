// The registry's operations across objects and over time: the current
// group, cycling, fades and model set instances.
#include "viewer/engine/text_values.h"
#include "viewer/engine/visual_object_registry.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {

void VisualObjectRegistry::setGroup() {
  if (currentObject() == nullptr) {
    logLine("SetGroup DID NOT SET CURRENT GROUP");
    return;
  }
  currentGroup_ = names_[static_cast<size_t>(current_)];
  logText("SetGroup SET CURRENT GROUP TO ", currentGroup_.c_str());
}

std::optional<MFNodeHandle> VisualObjectRegistry::currentGroupChildren() {
  if (currentGroup_ == "__root__") return std::nullopt;
  logText("currentGroup is ", currentGroup_.c_str());
  setCurrentByName(currentGroup_);
  VisualObject* group = currentObject();
  if (group == nullptr) {
    logLine("OK, I did not find it");
    return std::nullopt;
  }
  logLine("OK, I found it");
  return group->children;
}

void VisualObjectRegistry::cycle() {
  if (count() == 0) return;
  current_ = current_ + 1 >= count() ? 0 : current_ + 1;
  logText("object cycled to: ", names_[static_cast<size_t>(current_)].c_str());
}

void VisualObjectRegistry::fadeOut() {
  VisualObject* object = currentObject();
  if (object == nullptr || !object->transparency.valid()) return;
  float t = 1;
  if (!object->transparency.get(t)) t = 1;
  t += static_cast<float>(fadeStep_) * 0.01f;
  object->transparency.set(t > 1 ? 1.0f : t);
}

void VisualObjectRegistry::fadeIn() {
  VisualObject* object = currentObject();
  if (object == nullptr) return;
  logText("FadeIn called", names_[static_cast<size_t>(current_)].c_str());
  if (!object->transparency.valid()) return;
  float t = 0;
  if (!object->transparency.get(t)) t = 0;
  t -= static_cast<float>(fadeStep_) * 0.01f;
  object->transparency.set(t < 0 ? 0.0f : t);
}

void VisualObjectRegistry::switchInstance() {
  ModelSet* set = sets_.current();
  if (set == nullptr) {
    logLine("no foundIdx");
    return;
  }
  if (set->applied && set->instanceCount > 0) {
    set->currentInstance = (set->currentInstance + 1) % set->instanceCount;
  }
  setCurrentByName(set->instanceName(set->currentInstance));
  set->tellSelected(current_);
}

void VisualObjectRegistry::spaceInstances(int axis, const std::string& text) {
  float d = realValue(text.c_str());
  ModelSet* set = sets_.current();
  int n = set ? set->instanceCount : 0;
  int remembered = current_;
  float start = 0;
  for (int i = 0; i < n; ++i) {
    setCurrentByName(set->instanceName(i));
    VisualObject* instance = currentObject();
    if (i == 0) {
      start = 0;
      if (instance == nullptr || !instance->translation.get(axis, start)) start = 0;
    }
    if (instance != nullptr) instance->translation.set(axis, start + d * static_cast<float>(i));
  }
  current_ = remembered;
}

}  // namespace kestrel
