#include "viewer/engine/visual_object_registry.h"

#include <cstdio>

#include <mutex>

#include "viewer/engine/html_text.h"
#include "viewer/engine/text_values.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {

bool VisualObjectRegistry::registerObject(std::unique_ptr<VisualObject> object,
                                          const std::string& name) {
  if (full()) {
    logText("object registry full, object not registered:", name.c_str());
    return false;
  }
  object->takeSnapshot();
  std::unique_lock lock(mutex_);
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

void VisualObjectRegistry::setCurrentByName(const std::string& name) { current_ = find(name); }

void VisualObjectRegistry::selectObject(const std::string& name) {
  int set = sets_.find(name);
  if (set < 0) {
    setCurrentByName(name);
    return;
  }
  sets_.setCurrent(set);
  ModelSet& chosen = sets_.at(set);
  setCurrentByName(chosen.instanceName(chosen.currentInstance));
  chosen.tellSelected(current_);
}

void VisualObjectRegistry::clear() {
  std::unique_lock lock(mutex_);
  objects_.clear();
  names_.clear();
  firstByName_.clear();
  shown_.clear();
  current_ = -1;
  currentGroup_ = "__root__";
}

void VisualObjectRegistry::restoreAll() {
  for (auto& object : objects_) object->restoreSnapshot();
}

std::string VisualObjectRegistry::nameAt(int index) const {
  std::shared_lock lock(mutex_);
  return index >= 0 && index < count() ? names_[static_cast<size_t>(index)] : std::string();
}

bool VisualObjectRegistry::isShown(int index) const {
  std::shared_lock lock(mutex_);
  return index >= 0 && index < count() && shown_[static_cast<size_t>(index)];
}

int VisualObjectRegistry::size() const {
  std::shared_lock lock(mutex_);
  return count();
}

namespace {

bool plainIdentifier(const std::string& name) {
  for (char c : name) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_';
    if (!ok) return false;
  }
  return true;
}

// One line of checkAllViz/uncheckAllViz. Names that are no script
// identifier are reached through elements[...] with the name as a string
// escaped for script inside HTML.
std::string scriptCheck(const std::string& name, const char* state) {
  if (plainIdentifier(name)) {
    return "document.vizForm.object_" + name + ".checked = " + state + ";\n";
  }
  std::string quoted;
  for (unsigned char c : name) {
    if (c < 0x20 || c == '"' || c == '\\' || c == '<' || c == '>' || c == '&' || c == '\'') {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02x", c);
      quoted += code;
    } else {
      quoted += static_cast<char>(c);
    }
  }
  return "if (document.vizForm.elements[\"object_" + quoted + "\"]) document.vizForm.elements[\"object_" +
         quoted + "\"].checked = " + state + ";\n";
}

}  // namespace

std::string VisualObjectRegistry::objectListHtml(const std::string& type) const {
  std::shared_lock lock(mutex_);
  if (names_.empty()) return "No visual objects are loaded";
  // Names come from scene files and command lines: they are escaped where
  // they meet HTML and script, and the list is never cut (a cut in the
  // middle of the script would swallow the rest of the page).
  std::string out;
  for (const std::string& name : names_) {
    std::string shown = htmlEscape(name);
    out += "<input type=\"" + type + "\" name=\"object_" + shown + "\">" + shown + "<br>\n";
  }
  out += "\n\n<script language=\"JavaScript\">\nfunction checkAllViz() {\n";
  for (const std::string& name : names_) out += scriptCheck(name, "true");
  out += "}\n\nfunction uncheckAllViz() {\n";
  for (const std::string& name : names_) out += scriptCheck(name, "false");
  out += "}\n\n</script>\n";
  return out;
}

VisualObject* VisualObjectRegistry::currentObject() const { return objectAt(current_); }

VisualObject* VisualObjectRegistry::objectAt(int index) const {
  return index >= 0 && index < count() ? objects_[static_cast<size_t>(index)].get() : nullptr;
}

void VisualObjectRegistry::link(const char* first, const char* second) {
  logText("First object in link: ", first);
  logText("Second object in link: ", second);
  if (first == nullptr || second == nullptr) return;
  VisualObject* from = objectAt(find(first));
  VisualObject* to = objectAt(find(second));
  if (from != nullptr && to != nullptr) from->setLinkedObject(to);
}

void VisualObjectRegistry::bindTransparency(const SFFloatHandle& field) {
  if (!field.valid()) logLine("NULL transparency");
  if (VisualObject* object = currentObject()) object->transparency = field;
}

void VisualObjectRegistry::setBound(const std::string& name, const std::string& text) {
  static const char* const kNames[6] = {"xmin", "xmax", "ymin", "ymax", "zmin", "zmax"};
  static const char* const kMessages[6] = {"XMIN now set", "XMAX now set", "YMIN now set",
                                           "YMAX now set", "ZMIN now set", "ZMAX now set"};
  for (int i = 0; i < 6; ++i) {
    if (name != kNames[i]) continue;
    bounds_[i] = realValue(text.c_str());
    logReal(kMessages[i], bounds_[i]);
  }
}

void VisualObjectRegistry::setFadeStep(const char* text) {
  if (text != nullptr) fadeStep_ = integerValue(text);
}

void VisualObjectRegistry::setScaleStep(const char* text) {
  if (text != nullptr) scaleStep_ = integerValue(text);
}

}  // namespace kestrel
