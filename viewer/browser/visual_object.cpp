#include "viewer/browser/visual_object.h"

namespace kestrel {

void VisualObject::setInfoText(const std::string& text) {
  if (!infoInput.valid()) return;
  infoInput.set(text);
  infoText_ = text;
}

void VisualObject::takeSnapshot() {
  snapshot_.fill(0.0f);
  transparency.get(snapshot_[0]);
  for (int i = 0; i < 3; ++i) scale.get(i, snapshot_[static_cast<size_t>(1 + i)]);
  for (int i = 0; i < 4; ++i) rotation.get(i, snapshot_[static_cast<size_t>(4 + i)]);
  for (int i = 0; i < 3; ++i) diffuseColor.get(i, snapshot_[static_cast<size_t>(8 + i)]);
  for (int i = 0; i < 3; ++i) emissiveColor.get(i, snapshot_[static_cast<size_t>(11 + i)]);
}

void VisualObject::restoreSnapshot() {
  transparency.set(snapshot_[0]);
  for (int i = 0; i < 3; ++i) scale.set(i, snapshot_[static_cast<size_t>(1 + i)]);
  for (int i = 0; i < 4; ++i) rotation.set(i, snapshot_[static_cast<size_t>(4 + i)]);
  for (int i = 0; i < 3; ++i) diffuseColor.set(i, snapshot_[static_cast<size_t>(8 + i)]);
  for (int i = 0; i < 3; ++i) emissiveColor.set(i, snapshot_[static_cast<size_t>(11 + i)]);
}

void VisualObject::scaleInnerTranslation(float factor) {
  if (!innerTranslation.valid()) return;
  if (!baseSet_) {
    std::array<float, 3> read{};
    for (int i = 0; i < 3; ++i) {
      if (!innerTranslation.get(i, read[static_cast<size_t>(i)])) return;
    }
    base_ = read;
    baseSet_ = true;
  }
  for (int i = 0; i < 3; ++i) {
    innerTranslation.set(i, factor * base_[static_cast<size_t>(i)]);
  }
}

}  // namespace kestrel
