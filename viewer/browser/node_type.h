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
  bool script = false;    // a Script node's own type (interface per node)
  std::shared_ptr<ProtoDecl> proto;  // set for PROTO and EXTERNPROTO types

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
NodeTypePtr findStandardType(std::string_view name);
// Every built-in type, in alphabetical order.
const std::vector<NodeTypePtr>& standardTypes();

}  // namespace kestrel
