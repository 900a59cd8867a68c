// ObjectOperations: what the command language, the window's menus and the
// search reply do with the registry's objects. Most act on the current
// object: its values (setvalue), moves, rotations, scaling, showing and
// hiding, fades and marks; each of those does nothing when there is no
// current object. The others act across objects: selection (model sets
// first), links, the current group that new objects go under, cycling
// through model set instances and spacing them.
//
// Engine thread only.
#pragma once

#include <optional>
#include <string>

#include "viewer/browser/visual_object.h"
#include "viewer/engine/model_sets.h"
#include "viewer/engine/visual_object_registry.h"

namespace kestrel {

// The values of setvalue come from a 16-bit slider: 0 .. kFullSliderValue.
inline constexpr int kFullSliderValue = 65535;
// One percent of the slider, as the percent rules (transparency, x, y, z)
// truncate it: 65535 / 100.
inline constexpr int kSliderValuePerPercent = 655;
// The slider value of a scale of 1: the scale rules span 0 .. 3.
inline constexpr float kSliderValuePerUnitScale = 21845.0f;
// The current group while no object has been made one: the scene root.
inline constexpr const char* kRootGroup = "__root__";

class ObjectOperations {
 public:
  // REGISTRY must outlive the operations.
  explicit ObjectOperations(VisualObjectRegistry& registry) : registry_(registry) {}
  ObjectOperations(const ObjectOperations&) = delete;
  ObjectOperations& operator=(const ObjectOperations&) = delete;

  VisualObjectRegistry& registry() { return registry_; }

  // `setobject`: a model set's name selects its current instance, any other
  // name the first object of that name.
  void selectObject(const std::string& name);
  // `clear`: no objects, and the scene root as the current group.
  void clear();

  // On the current object.
  void setProperty(const std::string& name) { propertyName_ = name; }
  void setValue(const std::string& text);
  // The "xscale"/"yscale"/"zscale" rule of setValue with VALUE on AXIS (the
  // link effect included), without marking the value applied for model sets.
  void setCurrentScale(int axis, int value);
  void move(int axis, float delta);       // left/right/up/down/in/out
  void rotate(int axis, bool clockwise);  // rx .. rzcc
  void scaleCommand(int code);            // taller .. thinner
  void show();
  void hide();
  void fadeOut();
  void fadeIn();
  void bindTransparency(const SFFloatHandle& field);
  // The current object takes the mark location of the object named NAME
  // (or of the marker) on AXIS.
  void markTo(int axis, const std::string& name);
  void markToMarker(int axis);
  void setMarker() { marker_ = registry_.currentIndex(); }
  int marker() const { return marker_; }

  // Across objects.
  void link(const char* first, const char* second);
  void setGroup();
  const std::string& currentGroup() const { return currentGroup_; }
  // The children of the current group's object (which becomes current), or
  // none for the scene root.
  std::optional<MFNodeHandle> currentGroupChildren();
  bool addModelSet(const std::string& baseName, int count) { return sets_.add(baseName, count); }
  ModelSetList& modelSets() { return sets_; }
  void switchInstance();
  void spaceInstances(int axis, const std::string& text);

  // The settings of `setinfo`: the ranges of the x, y and z rules, and the
  // steps of fades and scaling.
  void setBound(const std::string& name, const std::string& text);
  void setFadeStep(const char* text);
  void setScaleStep(const char* text);

 private:
  // Runs OPERATION on the current object; nothing when there is none.
  template <typename Operation>
  void onCurrent(Operation operation) {
    if (VisualObject* object = registry_.currentObject()) operation(*object);
  }
  void valueApplied();
  void setValueOf(VisualObject& object, const std::string& property, int value);
  void markFrom(int axis, int from);

  VisualObjectRegistry& registry_;
  int marker_ = -1;
  int fadeStep_ = 10;
  int scaleStep_ = 10;
  std::optional<std::string> propertyName_;
  float bounds_[6] = {};  // xmin, xmax, ymin, ymax, zmin, zmax
  std::string currentGroup_ = kRootGroup;
  ModelSetList sets_;
};

}  // namespace kestrel
