// VisualObject: the record of one named scene object and the field handles
// through which the object model moves, scales, rotates, colours and fades
// it. The scene node access code binds the handles; the object registry and
// the state file read and write through them.
//
// Every handle may be none; an operation on a none handle is skipped. The
// record owns its handles (and through them keeps its nodes alive) for as
// long as it exists. The linked object is not owned. Window thread only.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "viewer/browser/field_handles.h"
#include "viewer/browser/vrml_browser.h"

namespace kestrel {

class VisualObject {
 public:
  // The snapshot: transparency; scale x, y, z; rotation x, y, z, angle;
  // diffuse r, g, b; emissive r, g, b.
  using Snapshot = std::array<float, 14>;

  explicit VisualObject(NodeHandle contentNode = {}) : content(std::move(contentNode)) {}

  // Handles, bound by the scene node access code (see the naming
  // conventions there). All start as none.
  NodeHandle content;              // what create-from-string returned
  MFNodeHandle children;           // content "children"
  SFStringHandle infoInput;        // "info_script" "inString"
  std::array<SFInt32Handle, 4> inputs;  // "Script_"N "in1" .. "in4"
  NodeHandle transformNode;        // "Xform_"N
  SFVec3fHandle scale;             // "Xform_"N "scale", else content "scale"
  SFRotationHandle rotation;       // content "rotation"
  SFVec3fHandle markLocation;      // N "markLocation"
  SFVec3fHandle innerTranslation;  // "Xform_"N "translation"
  SFVec3fHandle translation;       // content "translation"
  SFFloatHandle transparency;      // "Mat_"N "transparency"
  SFColorHandle diffuseColor;      // "Mat_"N "diffuseColor"
  SFColorHandle emissiveColor;     // "Mat_"N "emissiveColor"

  // With an info input: writes TEXT to it and keeps a copy. Without one,
  // nothing changes.
  void setInfoText(const std::string& text);
  // Stores TEXT without writing the info input (used at creation).
  void storeInfoText(const std::string& text) { infoText_ = text; }
  const std::optional<std::string>& infoText() const { return infoText_; }

  // Reads transparency, scale, rotation, diffuse and emissive colour into
  // the snapshot; the components of a missing handle are 0.
  void takeSnapshot();
  // Writes the snapshot back into every handle that exists, in the order
  // transparency, scale, rotation, diffuse colour, emissive colour.
  void restoreSnapshot();
  const Snapshot& snapshot() const { return snapshot_; }

  // The link effect: the first call that can read all three components of
  // the inner translation keeps them as the base; from then on each call
  // writes FACTOR x base. Without an inner translation nothing happens.
  void scaleInnerTranslation(float factor);
  bool hasInnerBase() const { return baseSet_; }
  const std::array<float, 3>& innerBase() const { return base_; }

  VisualObject* linkedObject() const { return linked_; }
  void setLinkedObject(VisualObject* other) { linked_ = other; }

 private:
  std::optional<std::string> infoText_;
  VisualObject* linked_ = nullptr;
  std::array<float, 3> base_{};
  bool baseSet_ = false;
  Snapshot snapshot_{};
};

}  // namespace kestrel
