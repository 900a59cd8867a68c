// Handles to one member of one node, typed by its VRML97 field type: what
// the viewer reads and writes scene objects through.
//
// A default-constructed handle is "none": every get and set on it fails.
// A handle keeps its node alive and shares the browser's world, so it stays
// safe after the node left the scene or the browser went away. Setting a
// value sends it as an event at the browser's current time, so ROUTEs carry
// it on. Window thread only.
#pragma once

#include <memory>
#include <string>

#include "viewer/browser/node.h"

namespace kestrel {

class World;
class VrmlContent;

class FieldHandle {
 public:
  FieldHandle() = default;
  FieldHandle(std::shared_ptr<World> world, NodePtr node, int field);

  bool valid() const { return node_ != nullptr; }
  FieldType type() const;
  const FieldValue* value() const;
  // Sends V (of this member's type) to the member; false on a type mismatch.
  bool set(FieldValue v) const;

 protected:
  std::shared_ptr<World> world_;
  NodePtr node_;
  int field_ = -1;
};

class SFVec3fHandle : public FieldHandle {
 public:
  using FieldHandle::FieldHandle;
  bool get(Vec3f& v) const;
  bool set(const Vec3f& v) const;
  // Component 0, 1 or 2 (x, y, z) alone.
  bool get(int component, float& v) const;
  bool set(int component, float v) const;
};

class SFColorHandle : public SFVec3fHandle {
 public:
  using SFVec3fHandle::SFVec3fHandle;
};

class SFRotationHandle : public FieldHandle {
 public:
  using FieldHandle::FieldHandle;
  bool get(Rotation& v) const;
  bool set(const Rotation& v) const;
  // Component 0-3: x, y, z, angle.
  bool get(int component, float& v) const;
  bool set(int component, float v) const;
};

class SFFloatHandle : public FieldHandle {
 public:
  using FieldHandle::FieldHandle;
  bool get(float& v) const;
  bool set(float v) const;
};

class SFInt32Handle : public FieldHandle {
 public:
  using FieldHandle::FieldHandle;
  bool get(int32_t& v) const;
  bool set(int32_t v) const;
};

class SFStringHandle : public FieldHandle {
 public:
  using FieldHandle::FieldHandle;
  bool get(std::string& v) const;
  bool set(const std::string& v) const;
};

class MFStringHandle : public FieldHandle {
 public:
  using FieldHandle::FieldHandle;
  // Element 0; getting fails on an empty list, setting makes it element 0.
  bool get0(std::string& v) const;
  bool set0(const std::string& v) const;
};

class MFNodeHandle : public FieldHandle {
 public:
  using FieldHandle::FieldHandle;
  size_t size() const;
  // Appends every top-level node of CONTENT (which is then used up) and
  // makes them part of the scene: names, Inlines, sensors.
  bool append(VrmlContent& content) const;
};

}  // namespace kestrel
