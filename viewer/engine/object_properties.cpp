// The operations of the registry on the current object: setvalue, moves,
// rotations, scaling, show and hide, marks.
#include <cstring>
#include <mutex>

#include "viewer/engine/text_values.h"
#include "viewer/engine/visual_object_registry.h"
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

}  // namespace

void VisualObjectRegistry::valueApplied() {
  ModelSet* set = sets_.current();
  if (set != nullptr && current_ == set->selected) set->applied = true;
}

void VisualObjectRegistry::setColorComponent(int component, float value) {
  VisualObject* object = currentObject();
  if (object->diffuseColor.valid()) {
    object->diffuseColor.set(component, value);
  } else {
    object->emissiveColor.set(component, value);
  }
}

void VisualObjectRegistry::setScaleComponent(int component, float value) {
  VisualObject* object = currentObject();
  object->scale.set(component, value);
  // The link effect: a linked object's inner translation follows y scale.
  if (component == 1 && object->linkedObject() != nullptr) {
    object->linkedObject()->scaleInnerTranslation(value);
  }
}

void VisualObjectRegistry::setCurrentScale(int axis, int value) {
  if (currentObject() == nullptr) return;
  setScaleComponent(axis, static_cast<float>(value) / 21845.0f);
}

void VisualObjectRegistry::setValue(const std::string& text) {
  VisualObject* object = currentObject();
  if (!propertyName_ || object == nullptr) return;
  valueApplied();
  int v = integerValue(text.c_str());
  int p = v / 655;
  const std::string& property = *propertyName_;
  if (property == "transparency") {
    if (p < 0 || p > 100) p = 100;
    float t = static_cast<float>(p) * 0.01f;
    object->transparency.set(t > 1.0f ? 1.0f : t);
  } else if (property == "x" || property == "y" || property == "z") {
    int axis = property[0] - 'x';
    float low = bounds_[2 * axis], high = bounds_[2 * axis + 1];
    if (axis == 0 && !object->translation.valid()) logLine("HEY, no location!");
    object->translation.set(axis, low + static_cast<float>(p) * (high - low) / 100.0f);
  } else if (property == "red" || property == "green" || property == "blue") {
    int component = property == "red" ? 0 : property == "green" ? 1 : 2;
    setColorComponent(component, static_cast<float>(v) / 65535.0f);
  } else if (property == "xscale" || property == "yscale" || property == "zscale") {
    setScaleComponent(property[0] - 'x', static_cast<float>(v) / 21845.0f);
  } else if (property == "scale") {
    for (int axis = 0; axis < 3; ++axis) setScaleComponent(axis, static_cast<float>(v) / 21845.0f);
  } else if (property == "rotation") {
    if (!object->rotation.valid()) logLine("no field found");
    object->rotation.set(3, static_cast<float>(v) / 65535.0f * kTwoPi);
  } else if (property.size() == 3 && property[0] == 'i' && property[1] == 'n' &&
             property[2] >= '1' && property[2] <= '4') {
    logLine("and actually calling method!");
    object->inputs[static_cast<size_t>(property[2] - '1')].set(v);
  }
}

void VisualObjectRegistry::move(int axis, float delta) {
  VisualObject* object = currentObject();
  if (object == nullptr) return;
  if (!object->translation.valid()) {
    if (axis == 0 && delta < 0) logLine("translation is NULL");
    if (axis == 1 && delta > 0) logLine("UP locationList entry is NULL");
    return;
  }
  float value = 0;
  if (object->translation.get(axis, value)) object->translation.set(axis, value + delta);
}

void VisualObjectRegistry::rotate(int axis, bool clockwise) {
  VisualObject* object = currentObject();
  if (object == nullptr || !object->rotation.valid()) return;
  Rotation r;
  if (!object->rotation.get(r)) return;
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
  object->rotation.set(r);
}

void VisualObjectRegistry::scaleBy(const char* components, int percent) {
  VisualObject* object = currentObject();
  if (object == nullptr) return;
  float factor = percentFactor(percent);
  for (const char* c = components; *c != '\0'; ++c) scaleComponent(object->scale, *c - 'x', factor);
}

void VisualObjectRegistry::scaleCommand(int code) {
  VisualObject* object = currentObject();
  if (object == nullptr) return;
  bool grow = code == cmd::kTaller || code == cmd::kFatter || code == cmd::kBigger;
  int percent = grow ? 100 + scaleStep_ : 100 - scaleStep_;
  const char* components = code == cmd::kTaller || code == cmd::kShorter   ? "y"
                           : code == cmd::kFatter || code == cmd::kThinner ? "zx"
                                                                           : "xyz";
  if (std::strlen(components) == 3 && !object->scale.valid()) logLine("HEY, m_pScale is NULL");
  scaleBy(components, percent);
}

void VisualObjectRegistry::show() {
  if (currentObject() == nullptr || shown_[static_cast<size_t>(current_)]) return;
  scaleBy("xyz", 10000);
  std::unique_lock lock(mutex_);
  shown_[static_cast<size_t>(current_)] = true;
}

void VisualObjectRegistry::hide() {
  VisualObject* object = currentObject();
  if (object == nullptr || !shown_[static_cast<size_t>(current_)]) return;
  for (int axis = 0; axis < 3; ++axis) scaleComponent(object->scale, axis, 0.01f);
  std::unique_lock lock(mutex_);
  shown_[static_cast<size_t>(current_)] = false;
}

void VisualObjectRegistry::markFrom(int axis, int from, bool reportMissing) {
  VisualObject* object = currentObject();
  VisualObject* source = objectAt(from);
  if (object == nullptr || source == nullptr || from == current_) return;
  float value = 0;
  if (!source->markLocation.get(axis, value)) {
    if (reportMissing && axis == 0) logLine("did not find markLocation");
    return;
  }
  object->translation.set(axis, value);
}

void VisualObjectRegistry::markTo(int axis, const std::string& name) {
  markFrom(axis, find(name), true);
}

void VisualObjectRegistry::markToMarker(int axis) { markFrom(axis, marker_, true); }

}  // namespace kestrel
