#include "viewer/browser/field_value.h"

#include <array>

namespace kestrel {
namespace {

constexpr std::array<std::string_view, 20> kTypeNames = {
    "SFBool",  "SFColor", "SFFloat", "SFImage",    "SFInt32",  "SFNode",  "SFRotation",
    "SFString", "SFTime", "SFVec2f", "SFVec3f",    "MFColor",  "MFFloat", "MFInt32",
    "MFNode",  "MFRotation", "MFString", "MFTime", "MFVec2f", "MFVec3f"};

}  // namespace

std::string_view fieldTypeName(FieldType type) {
  return kTypeNames[static_cast<size_t>(type)];
}

bool fieldTypeFromName(std::string_view name, FieldType& type) {
  for (size_t i = 0; i < kTypeNames.size(); ++i) {
    if (kTypeNames[i] == name) {
      type = static_cast<FieldType>(i);
      return true;
    }
  }
  return false;
}

bool isMultiple(FieldType type) { return type >= FieldType::MFColor; }

FieldValue FieldValue::zeroOf(FieldType type) {
  FieldValue v;
  v.type = type;
  switch (type) {
    case FieldType::SFBool: v.data = false; break;
    case FieldType::SFColor:
    case FieldType::SFVec3f: v.data = Vec3f{}; break;
    case FieldType::SFFloat: v.data = 0.0f; break;
    case FieldType::SFImage: v.data = Boxed<Image>{}; break;
    case FieldType::SFInt32: v.data = int32_t{0}; break;
    case FieldType::SFNode: v.data = NodePtr{}; break;
    case FieldType::SFRotation: v.data = Rotation{}; break;
    case FieldType::SFString: v.data = Boxed<std::string>{}; break;
    case FieldType::SFTime: v.data = 0.0; break;
    case FieldType::SFVec2f: v.data = Vec2f{}; break;
    case FieldType::MFColor:
    case FieldType::MFVec3f: v.data = std::vector<Vec3f>{}; break;
    case FieldType::MFFloat: v.data = std::vector<float>{}; break;
    case FieldType::MFInt32: v.data = std::vector<int32_t>{}; break;
    case FieldType::MFNode: v.data = std::vector<NodePtr>{}; break;
    case FieldType::MFRotation: v.data = std::vector<Rotation>{}; break;
    case FieldType::MFString: v.data = std::vector<std::string>{}; break;
    case FieldType::MFTime: v.data = std::vector<double>{}; break;
    case FieldType::MFVec2f: v.data = std::vector<Vec2f>{}; break;
  }
  return v;
}

const FieldValue& FieldValue::zeroRef(FieldType type) {
  static const auto zeros = [] {
    constexpr size_t kTypes = size_t(FieldType::MFVec3f) + 1;
    std::array<FieldValue, kTypes> all;
    for (size_t t = 0; t < kTypes; ++t) all[t] = zeroOf(FieldType(t));
    return all;
  }();
  return zeros[size_t(type)];
}

bool sameValue(const FieldValue& a, const FieldValue& b) {
  return a.type == b.type && a.data == b.data;
}

}  // namespace kestrel
