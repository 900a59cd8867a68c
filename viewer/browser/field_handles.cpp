#include "viewer/browser/field_handles.h"

#include "viewer/browser/events.h"
#include "viewer/browser/vrml_browser.h"
#include "viewer/browser/world.h"

namespace kestrel {

FieldHandle::FieldHandle(std::shared_ptr<World> world, NodePtr node, int field)
    : world_(std::move(world)), node_(std::move(node)), field_(field) {}

FieldType FieldHandle::type() const {
  return valid() ? node_->type->fields[static_cast<size_t>(field_)].type : FieldType::SFBool;
}

const FieldValue* FieldHandle::value() const {
  return valid() ? &node_->value(static_cast<size_t>(field_)) : nullptr;
}

bool FieldHandle::set(FieldValue v) const {
  if (!valid() || v.type != type()) return false;
  Cascade cascade(world_ ? world_->now() : 0.0, world_ ? &world_->changes() : nullptr,
                  world_.get());
  return cascade.send(node_, field_, std::move(v));
}

namespace {

template <class T>
bool read(const FieldHandle& h, T& out) {
  const FieldValue* v = h.value();
  const T* p = v ? v->as<T>() : nullptr;
  if (p == nullptr) return false;
  out = *p;
  return true;
}

float* component(Vec3f& v, int i) {
  switch (i) {
    case 0: return &v.x;
    case 1: return &v.y;
    case 2: return &v.z;
    default: return nullptr;
  }
}

float* component(Rotation& v, int i) {
  switch (i) {
    case 0: return &v.x;
    case 1: return &v.y;
    case 2: return &v.z;
    case 3: return &v.angle;
    default: return nullptr;
  }
}

}  // namespace

bool SFVec3fHandle::get(Vec3f& v) const { return read(*this, v); }
bool SFVec3fHandle::set(const Vec3f& v) const { return FieldHandle::set({type(), v}); }
bool SFVec3fHandle::get(int i, float& out) const {
  Vec3f v;
  float* c = component(v, i);
  if (c == nullptr || !get(v)) return false;
  out = *c;
  return true;
}
bool SFVec3fHandle::set(int i, float value) const {
  Vec3f v;
  float* c = component(v, i);
  if (c == nullptr || !get(v)) return false;
  *c = value;
  return set(v);
}

bool SFRotationHandle::get(Rotation& v) const { return read(*this, v); }
bool SFRotationHandle::set(const Rotation& v) const {
  return FieldHandle::set({FieldType::SFRotation, v});
}
bool SFRotationHandle::get(int i, float& out) const {
  Rotation v;
  float* c = component(v, i);
  if (c == nullptr || !get(v)) return false;
  out = *c;
  return true;
}
bool SFRotationHandle::set(int i, float value) const {
  Rotation v;
  float* c = component(v, i);
  if (c == nullptr || !get(v)) return false;
  *c = value;
  return set(v);
}

bool SFFloatHandle::get(float& v) const { return read(*this, v); }
bool SFFloatHandle::set(float v) const { return FieldHandle::set({FieldType::SFFloat, v}); }

bool SFInt32Handle::get(int32_t& v) const { return read(*this, v); }
bool SFInt32Handle::set(int32_t v) const { return FieldHandle::set({FieldType::SFInt32, v}); }

bool SFStringHandle::get(std::string& v) const { return read(*this, v); }
bool SFStringHandle::set(const std::string& v) const {
  return FieldHandle::set({FieldType::SFString, v});
}

bool MFStringHandle::get0(std::string& v) const {
  std::vector<std::string> all;
  if (!read(*this, all) || all.empty()) return false;
  v = all.front();
  return true;
}
bool MFStringHandle::set0(const std::string& v) const {
  std::vector<std::string> all;
  if (!read(*this, all)) return false;
  if (all.empty()) {
    all.push_back(v);
  } else {
    all.front() = v;
  }
  return FieldHandle::set({FieldType::MFString, std::move(all)});
}

size_t MFNodeHandle::size() const {
  const FieldValue* v = value();
  const auto* nodes = v ? v->as<std::vector<NodePtr>>() : nullptr;
  return nodes ? nodes->size() : 0;
}

bool MFNodeHandle::append(VrmlContent& content) const {
  if (!valid() || type() != FieldType::MFNode || !content.valid() || !world_) return false;
  Scene& scene = *content.scene();
  std::vector<NodePtr> list = *value()->as<std::vector<NodePtr>>();
  for (const NodePtr& n : scene.rootNodes()) list.push_back(n);
  world_->adopt(scene);
  content.reset();
  return FieldHandle::set({FieldType::MFNode, std::move(list)});
}

}  // namespace kestrel
