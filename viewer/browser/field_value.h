// Typed VRML97 field values: one tagged value for every SF and MF type.
//
// MF values are contiguous vectors, so a large coordinate list is one
// allocation. SFColor shares the representation of SFVec3f and MFColor that
// of MFVec3f; the type tag tells them apart. Node values hold shared
// ownership of their nodes (NodePtr), as a DEF'd node may be USE'd in many
// places.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kestrel {

struct Node;
using NodePtr = std::shared_ptr<Node>;

enum class FieldType : uint8_t {
  SFBool, SFColor, SFFloat, SFImage, SFInt32, SFNode, SFRotation, SFString, SFTime,
  SFVec2f, SFVec3f,
  MFColor, MFFloat, MFInt32, MFNode, MFRotation, MFString, MFTime, MFVec2f, MFVec3f,
};

// The VRML97 name of TYPE ("SFVec3f" ...).
std::string_view fieldTypeName(FieldType type);
// The type named NAME; false when NAME names no VRML97 field type.
bool fieldTypeFromName(std::string_view name, FieldType& type);
// True for the MF types.
bool isMultiple(FieldType type);

struct Vec2f {
  float x = 0, y = 0;
  bool operator==(const Vec2f&) const = default;
};
struct Vec3f {
  float x = 0, y = 0, z = 0;
  bool operator==(const Vec3f&) const = default;
};
struct Rotation {
  float x = 0, y = 0, z = 1, angle = 0;
  bool operator==(const Rotation&) const = default;
};
// SFImage: width, height, components (0-4) and width*height packed pixels.
struct Image {
  int32_t width = 0, height = 0, components = 0;
  std::vector<uint32_t> pixels;
  bool operator==(const Image&) const = default;
};

using FieldData = std::variant<bool, int32_t, float, double, std::string, Vec2f, Vec3f,
                               Rotation, Image, NodePtr, std::vector<int32_t>,
                               std::vector<float>, std::vector<double>,
                               std::vector<std::string>, std::vector<Vec2f>,
                               std::vector<Vec3f>, std::vector<Rotation>,
                               std::vector<NodePtr>>;

// A value of one field type. A default-constructed value is an SFBool FALSE.
struct FieldValue {
  FieldType type = FieldType::SFBool;
  FieldData data = false;

  // The default value of TYPE: zeros, empty lists, NULL node, rotation 0 0 1 0.
  static FieldValue zeroOf(FieldType type);

  template <class T> T* as() { return std::get_if<T>(&data); }
  template <class T> const T* as() const { return std::get_if<T>(&data); }
};

// Equality of values; nodes compare by identity.
bool sameValue(const FieldValue& a, const FieldValue& b);

}  // namespace kestrel
