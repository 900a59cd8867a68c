// Node types: the field interface of every VRML97 standard node, of Text3D,
// and of the types a scene declares itself (PROTO, EXTERNPROTO, and the
// per-node interface of each Script).
//
// The standard types are built once from one data table and live for the
// whole process. Declared types are shared by the nodes that use them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/browser/field_value.h"

namespace kestrel {

enum class Access : uint8_t { Field, ExposedField, EventIn, EventOut };

// The built-in node types, in the order of their table (alphabetical).
#define KESTREL_BUILT_IN_NODE_TYPES(X) \
  X(Anchor) X(Appearance) X(AudioClip) X(Background) X(Billboard) X(Box) X(Collision) \
  X(Color) X(ColorInterpolator) X(Cone) X(Coordinate) X(CoordinateInterpolator) X(Cylinder) \
  X(CylinderSensor) X(DirectionalLight) X(ElevationGrid) X(Extrusion) X(Fog) X(FontStyle) \
  X(Group) X(ImageTexture) X(IndexedFaceSet) X(IndexedLineSet) X(Inline) X(LOD) X(Material) \
  X(MovieTexture) X(NavigationInfo) X(Normal) X(NormalInterpolator) \
  X(OrientationInterpolator) X(PixelTexture) X(PlaneSensor) X(PointLight) X(PointSet) \
  X(PositionInterpolator) X(ProximitySensor) X(ScalarInterpolator) X(Script) X(Shape) \
  X(Sound) X(Sphere) X(SphereSensor) X(SpotLight) X(Switch) X(Text) X(Text3D) \
  X(TextureCoordinate) X(TextureTransform) X(TimeSensor) X(TouchSensor) X(Transform) \
  X(Viewpoint) X(VisibilitySensor) X(WorldInfo)

// Which built-in type a node type is, so that code dispatching on node
// types compares a number instead of a name. Script nodes' own types keep
// the kind Script.
enum class NodeKind : uint8_t {
#define KESTREL_NODE_KIND(name) name,
  KESTREL_BUILT_IN_NODE_TYPES(KESTREL_NODE_KIND)
#undef KESTREL_NODE_KIND
  Declared,  // a PROTO or EXTERNPROTO type
};

// The type name of KIND ("Transform"); "" for Declared.
std::string_view kindName(NodeKind kind);

// A member of a built-in node type found by name once, for code that reads
// the same members of many nodes again and again (the renderer, every
// frame). Node::field(MemberKey) is then an index, not a search.
struct MemberKey {
  NodeKind kind = NodeKind::Declared;
  int index = -1;  // -1: the type has no such member
};

// The member NAME of the built-in type KIND; its index is -1 when KIND has
// no member of that name.
MemberKey memberKey(NodeKind kind, std::string_view name);

// "field", "exposedField", "eventIn" or "eventOut".
std::string_view accessName(Access access);

struct FieldDecl {
  std::string name;
  FieldType type = FieldType::SFBool;
  Access access = Access::Field;
  FieldValue defaultValue;  // meaningful for Field and ExposedField only
};

struct ProtoDecl;

struct NodeType {
  std::string name;
  std::vector<FieldDecl> fields;
  bool standard = false;  // one of the built-in types
  NodeKind kind = NodeKind::Declared;
  bool script = false;    // a Script node's own type (interface per node)
  std::shared_ptr<ProtoDecl> proto;  // set for PROTO and EXTERNPROTO types

  // The value member I has in a new node: its default for a field or an
  // exposedField, the zero of its type for an event.
  const FieldValue& initialValue(size_t i) const {
    const FieldDecl& f = fields[i];
    const bool holds = f.access == Access::Field || f.access == Access::ExposedField;
    return holds ? f.defaultValue : FieldValue::zeroRef(f.type);
  }
  // Index of the field, exposedField, eventIn or eventOut named NAME, or -1.
  int findField(std::string_view memberName) const;
  // Index of the member that receives events named NAME: an eventIn, or an
  // exposedField by its own name or as "set_" + name. -1 when none.
  int findEventIn(std::string_view memberName) const;
  // Index of the member that sends events named NAME: an eventOut, or an
  // exposedField by its own name or as name + "_changed". -1 when none.
  int findEventOut(std::string_view memberName) const;
};

using NodeTypePtr = std::shared_ptr<const NodeType>;

// The built-in type named NAME (the 54 VRML97 types and Text3D), or null.
const NodeTypePtr& findStandardType(std::string_view name);
// Every built-in type, in alphabetical order.
const std::vector<NodeTypePtr>& standardTypes();

}  // namespace kestrel
