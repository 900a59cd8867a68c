// The operations on the current object: setvalue, moves, rotations,
// scaling, show and hide, fades, marks.
#include <cstring>

#include "viewer/engine/object_operations.h"
#include "viewer/engine/text_values.h"
#include "viewer/intake/command_codes.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

constexpr float kTwoPi = 6.28f;
constexpr float kRotationStep = 0.157f;

// A component scaled by a percent: q / 100 from 100 up, 100 / (200 - q)
// below, so that 100 + s and 100 - s undo each other.
float percentFactor(int q) {
  return q >= 100 ? static_cast<float>(q) / 100.0f : 100.0f / static_cast<float>(200 - q);
}

void scaleComponent(const SFVec3fHandle& scale, int component, float factor) {
  float value = 0;
  if (scale.get(component, value)) scale.set(component, value * factor);
}

// Each of COMPONENTS ("y", "zx", "xyz") of OBJECT's scale by PERCENT.
void scaleComponents(VisualObject& object, const char* components, int percent) {
  float factor = percentFactor(percent);
  for (const char* c = components; *c != '\0'; ++c) scaleComponent(object.scale, *c - 'x', factor);
}

void setColorComponent(VisualObject& object, int component, float value) {
  if (object.diffuseColor.valid()) {
    object.diffuseColor.set(component, value);
  } else {
    object.emissiveColor.set(component, value);
  }
}

void setScaleComponent(VisualObject& object, int component, float value) {
  object.scale.set(component, value);
  // The link effect: a linked object's inner translation follows y scale.
  if (component == 1 && object.linkedObject() != nullptr) {
    object.linkedObject()->scaleInnerTranslation(value);
  }
}

float unitScale(int value) { return static_cast<float>(value) / kSliderValuePerUnitScale; }
float unitFraction(int value) {
  return static_cast<float>(value) / static_cast<float>(kFullSliderValue);
}

}  // namespace

void ObjectOperations::valueApplied() {
  ModelSet* set = sets_.current();
  if (set != nullptr && registry_.currentIndex() == set->selected) set->applied = true;
}

void ObjectOperations::setCurrentScale(int axis, int value) {
  onCurrent([&](VisualObject& object) { setScaleComponent(object, axis, unitScale(value)); });
}

void ObjectOperations::setValue(const std::string& text) {
  if (!propertyName_) return;
  onCurrent([&](VisualObject& object) {
    valueApplied();
    setValueOf(object, *propertyName_, integerValue(text.c_str()));
  });
}

void ObjectOperations::setValueOf(VisualObject& object, const std::string& property, int v) {
  int p = v / kSliderValuePerPercent;
  if (property == "transparency") {
    if (p < 0 || p > 100) p = 100;
    float t = static_cast<float>(p) * 0.01f;
    object.transparency.set(t > 1.0f ? 1.0f : t);
  } else if (property == "x" || property == "y" || property == "z") {
    int axis = property[0] - 'x';
    float low = bounds_[2 * axis], high = bounds_[2 * axis + 1];
    // Worded as the viewer has always logged it; scripts grep for it.
    if (axis == 0 && !object.translation.valid()) logLine("HEY, no location!");
    object.translation.set(axis, low + static_cast<float>(p) * (high - low) / 100.0f);
  } else if (property == "red" || property == "green" || property == "blue") {
    int component = property == "red" ? 0 : property == "green" ? 1 : 2;
    setColorComponent(object, component, unitFraction(v));
  } else if (property == "xscale" || property == "yscale" || property == "zscale") {
    setScaleComponent(object, property[0] - 'x', unitScale(v));
  } else if (property == "scale") {
    for (int axis = 0; axis < 3; ++axis) setScaleComponent(object, axis, unitScale(v));
  } else if (property == "rotation") {
    if (!object.rotation.valid()) logLine("no field found");
    object.rotation.set(3, unitFraction(v) * kTwoPi);
  } else if (property.size() == 3 && property[0] == 'i' && property[1] == 'n' &&
             property[2] >= '1' && property[2] <= '4') {
    logLine("and actually calling method!");
    object.inputs[static_cast<size_t>(property[2] - '1')].set(v);
  }
}

void ObjectOperations::move(int axis, float delta) {
  onCurrent([&](VisualObject& object) {
    if (!object.translation.valid()) {
      if (axis == 0 && delta < 0) logLine("translation is NULL");
      if (axis == 1 && delta > 0) logLine("UP locationList entry is NULL");
      return;
    }
    float value = 0;
    if (object.translation.get(axis, value)) object.translation.set(axis, value + delta);
  });
}

void ObjectOperations::rotate(int axis, bool clockwise) {
  onCurrent([&](VisualObject& object) {
    Rotation r;
    if (!object.rotation.valid() || !object.rotation.get(r)) return;
    // The axis is replaced, not combined with the previous one.
    r.x = axis == 0 ? 1.0f : 0.0f;
    r.y = axis == 1 ? 1.0f : 0.0f;
    r.z = axis == 2 ? 1.0f : 0.0f;
    if (clockwise) {
      r.angle += kRotationStep;
      if (r.angle > kTwoPi) r.angle -= kTwoPi;
    } else {
      r.angle -= kRotationStep;
      if (r.angle < 0) r.angle += kTwoPi;
    }
    object.rotation.set(r);
  });
}

void ObjectOperations::scaleCommand(int code) {
  onCurrent([&](VisualObject& object) {
    bool grow = code == cmd::kTaller || code == cmd::kFatter || code == cmd::kBigger;
    int percent = grow ? 100 + scaleStep_ : 100 - scaleStep_;
    const char* components = code == cmd::kTaller || code == cmd::kShorter   ? "y"
                             : code == cmd::kFatter || code == cmd::kThinner ? "zx"
                                                                             : "xyz";
    // Worded as the viewer has always logged it (the old member's name
    // included); log readers match it, so it stays as it is.
    if (std::strlen(components) == 3 && !object.scale.valid()) logLine("HEY, m_pScale is NULL");
    scaleComponents(object, components, percent);
  });
}

void ObjectOperations::show() {
  onCurrent([&](VisualObject& object) {
    int current = registry_.currentIndex();
    if (registry_.isShown(current)) return;
    scaleComponents(object, "xyz", 10000);
    registry_.setShown(current, true);
  });
}

void ObjectOperations::hide() {
  onCurrent([&](VisualObject& object) {
    int current = registry_.currentIndex();
    if (!registry_.isShown(current)) return;
    for (int axis = 0; axis < 3; ++axis) scaleComponent(object.scale, axis, 0.01f);
    registry_.setShown(current, false);
  });
}

void ObjectOperations::fadeOut() {
  onCurrent([&](VisualObject& object) {
    if (!object.transparency.valid()) return;
    float t = 1;
    if (!object.transparency.get(t)) t = 1;
    t += static_cast<float>(fadeStep_) * 0.01f;
    object.transparency.set(t > 1 ? 1.0f : t);
  });
}

void ObjectOperations::fadeIn() {
  onCurrent([&](VisualObject& object) {
    logText("FadeIn called", registry_.nameAt(registry_.currentIndex()).c_str());
    if (!object.transparency.valid()) return;
    float t = 0;
    if (!object.transparency.get(t)) t = 0;
    t -= static_cast<float>(fadeStep_) * 0.01f;
    object.transparency.set(t < 0 ? 0.0f : t);
  });
}

void ObjectOperations::bindTransparency(const SFFloatHandle& field) {
  if (!field.valid()) logLine("NULL transparency");
  onCurrent([&](VisualObject& object) { object.transparency = field; });
}

void ObjectOperations::markFrom(int axis, int from) {
  VisualObject* source = registry_.objectAt(from);
  if (source == nullptr || from == registry_.currentIndex()) return;
  onCurrent([&](VisualObject& object) {
    float value = 0;
    if (!source->markLocation.get(axis, value)) {
      if (axis == 0) logLine("did not find markLocation");
      return;
    }
    object.translation.set(axis, value);
  });
}

void ObjectOperations::markTo(int axis, const std::string& name) {
  markFrom(axis, registry_.find(name));
}

void ObjectOperations::markToMarker(int axis) { markFrom(axis, marker_); }

}  // namespace kestrel
