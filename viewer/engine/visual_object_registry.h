// VisualObjectRegistry: the named visual objects of the scene in creation
// order, the current object, and the operations the command language
// applies to the current object, across objects (groups, cycling, model
// sets) and over time (fades).
//
// Threads: everything runs on the engine's thread, except nameAt(), isShown(),
// size() and objectListHtml(), which the web server's threads may call at any
// time; the registry's shared mutex makes those reads safe. The engine thread
// reads without the lock (it is the only writer) and writes under it.
#pragma once

#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "viewer/browser/visual_object.h"
#include "viewer/engine/model_sets.h"

namespace kestrel {

class VisualObjectRegistry {
 public:
  static constexpr int kCapacity = 1000;

  VisualObjectRegistry() = default;
  VisualObjectRegistry(const VisualObjectRegistry&) = delete;
  VisualObjectRegistry& operator=(const VisualObjectRegistry&) = delete;

  // Takes OBJECT under NAME, shown, with its initial snapshot, and makes it
  // current. False (and a log line) when the registry is full.
  bool registerObject(std::unique_ptr<VisualObject> object, const std::string& name);
  bool full() const { return count() >= kCapacity; }
  int find(const std::string& name) const;
  // Model sets first: a set's name selects its current instance.
  void selectObject(const std::string& name);
  void clear();
  void restoreAll();

  // Read side, safe from any thread.
  std::string nameAt(int index) const;
  bool isShown(int index) const;
  int size() const;
  // The object list of the web pages ("RADIO" or "CHECKBOX").
  std::string objectListHtml(const std::string& type) const;

  // The current object and its operations.
  int currentIndex() const { return current_; }
  VisualObject* currentObject() const;
  VisualObject* objectAt(int index) const;
  void setProperty(const std::string& name) { propertyName_ = name; }
  void setValue(const std::string& text);
  // The "xscale"/"yscale"/"zscale" rule of setValue with VALUE on AXIS of
  // the current object (the link effect included), without marking the
  // value applied for model sets. Nothing without a current object.
  void setCurrentScale(int axis, int value);
  void move(int axis, float delta);      // left/right/up/down/in/out
  void rotate(int axis, bool clockwise);  // rx .. rzcc
  void scaleBy(const char* components, int percent);  // "y", "zx", "xyz"
  void scaleCommand(int code);           // taller .. thinner
  void show();
  void hide();
  void markTo(int axis, const std::string& name);
  void setMarker() { marker_ = current_; }
  int marker() const { return marker_; }
  void markToMarker(int axis);
  void link(const char* first, const char* second);
  void bindTransparency(const SFFloatHandle& field);
  void setBound(const std::string& name, const std::string& text);
  void setFadeStep(const char* text);
  void setScaleStep(const char* text);
  int fadeStep() const { return fadeStep_; }
  int scaleStep() const { return scaleStep_; }
  float bound(int index) const { return bounds_[static_cast<size_t>(index)]; }

  // Groups, cycling, fades, model sets.
  void setGroup();
  const std::string& currentGroup() const { return currentGroup_; }
  // The children of the current group's object (which becomes current), or
  // none for the scene root.
  std::optional<MFNodeHandle> currentGroupChildren();
  void cycle();
  void fadeOut();
  void fadeIn();
  bool addModelSet(const std::string& baseName, int count) { return sets_.add(baseName, count); }
  ModelSetList& modelSets() { return sets_; }
  void switchInstance();
  void spaceInstances(int axis, const std::string& text);

 private:
  int count() const { return static_cast<int>(objects_.size()); }
  void setCurrentByName(const std::string& name);
  void valueApplied();
  void setColorComponent(int component, float value);
  void setScaleComponent(int component, float value);
  void markFrom(int axis, int from, bool reportMissing);

  mutable std::shared_mutex mutex_;  // guards objects_ (shape), names_, shown_
  std::vector<std::unique_ptr<VisualObject>> objects_;
  std::vector<std::string> names_;
  // Name -> index of the first object registered under it.
  std::unordered_map<std::string, int> firstByName_;
  std::vector<bool> shown_;
  int current_ = -1;
  int marker_ = -1;
  int fadeStep_ = 10;
  int scaleStep_ = 10;
  std::optional<std::string> propertyName_;
  float bounds_[6] = {};  // xmin, xmax, ymin, ymax, zmin, zmax
  std::string currentGroup_ = "__root__";
  ModelSetList sets_;
};

}  // namespace kestrel
