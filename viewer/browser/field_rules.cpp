#include "viewer/browser/field_rules.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <vector>

#include "viewer/browser/node.h"
#include "viewer/browser/scene.h"

namespace kestrel {
namespace {

enum class NodeClass { Any, Child, Geometry, Appearance, Material, Texture, TextureTransform,
                       Coordinate, Color, Normal, TextureCoordinate, FontStyle, SoundSource };

NodeClass classOfField(NodeKind owner, std::string_view field) {
  if (field == "children" || field == "addChildren" || field == "removeChildren" ||
      field == "level" || field == "choice" || field == "proxy") {
    return NodeClass::Child;
  }
  if (field == "geometry") return NodeClass::Geometry;
  if (field == "appearance") return NodeClass::Appearance;
  if (field == "material") return NodeClass::Material;
  if (field == "texture") return NodeClass::Texture;
  if (field == "textureTransform") return NodeClass::TextureTransform;
  if (field == "coord") return NodeClass::Coordinate;
  if (field == "color") return NodeClass::Color;
  if (field == "normal") return NodeClass::Normal;
  if (field == "texCoord") return NodeClass::TextureCoordinate;
  if (field == "fontStyle") return NodeClass::FontStyle;
  if (field == "source" && owner == NodeKind::Sound) return NodeClass::SoundSource;
  return NodeClass::Any;
}

bool isGeometry(NodeKind k) {
  switch (k) {
    case NodeKind::Box: case NodeKind::Cone: case NodeKind::Cylinder:
    case NodeKind::ElevationGrid: case NodeKind::Extrusion: case NodeKind::IndexedFaceSet:
    case NodeKind::IndexedLineSet: case NodeKind::PointSet: case NodeKind::Sphere:
    case NodeKind::Text: case NodeKind::Text3D:
      return true;
    default:
      return false;
  }
}

// Nodes that are not children: geometry and the property nodes.
bool isChild(NodeKind k) {
  if (isGeometry(k)) return false;
  switch (k) {
    case NodeKind::Appearance: case NodeKind::AudioClip: case NodeKind::Color:
    case NodeKind::Coordinate: case NodeKind::FontStyle: case NodeKind::ImageTexture:
    case NodeKind::Material: case NodeKind::MovieTexture: case NodeKind::Normal:
    case NodeKind::PixelTexture: case NodeKind::TextureCoordinate:
    case NodeKind::TextureTransform:
      return false;
    default:
      return true;
  }
}

bool inClass(NodeClass c, NodeKind k) {
  switch (c) {
    case NodeClass::Any: return true;
    case NodeClass::Child: return isChild(k);
    case NodeClass::Geometry: return isGeometry(k);
    case NodeClass::Appearance: return k == NodeKind::Appearance;
    case NodeClass::Material: return k == NodeKind::Material;
    case NodeClass::Texture:
      return k == NodeKind::ImageTexture || k == NodeKind::MovieTexture ||
             k == NodeKind::PixelTexture;
    case NodeClass::TextureTransform: return k == NodeKind::TextureTransform;
    case NodeClass::Coordinate: return k == NodeKind::Coordinate;
    case NodeClass::Color: return k == NodeKind::Color;
    case NodeClass::Normal: return k == NodeKind::Normal;
    case NodeClass::TextureCoordinate: return k == NodeKind::TextureCoordinate;
    case NodeClass::FontStyle: return k == NodeKind::FontStyle;
    case NodeClass::SoundSource: return k == NodeKind::AudioClip || k == NodeKind::MovieTexture;
  }
  return true;
}

// The built-in kind TYPE stands for: its own, or for a PROTO the kind of
// its first body node. Declared when unknown (an unresolved EXTERNPROTO).
NodeKind effectiveKind(const NodeType& type, int depth = 0) {
  if (type.standard || type.script) return type.kind;
  if (!type.proto || depth > 32) return NodeKind::Declared;
  const ProtoDecl* impl = type.proto->implementation();
  if (impl == nullptr) return NodeKind::Declared;
  for (const SceneItem& item : impl->body) {
    if (item.kind() == SceneItem::Kind::Node && item.node()) {
      return effectiveKind(*item.node()->type, depth + 1);
    }
  }
  return NodeKind::Declared;
}

struct Range {
  NodeKind owner;  // Declared: any standard node
  std::string_view field;
  bool unit;       // true: clamp into [0, 1]; false: must be above 0 (else default)
};

constexpr Range kRanges[] = {
    {NodeKind::Declared, "ambientIntensity", true},
    {NodeKind::Declared, "intensity", true},
    {NodeKind::Declared, "shininess", true},
    {NodeKind::Declared, "transparency", true},
    {NodeKind::Declared, "diffuseColor", true},
    {NodeKind::Declared, "emissiveColor", true},
    {NodeKind::Declared, "specularColor", true},
    {NodeKind::Declared, "skyColor", true},
    {NodeKind::Declared, "groundColor", true},
    {NodeKind::Color, "color", true},
    {NodeKind::Fog, "color", true},
    {NodeKind::DirectionalLight, "color", true},
    {NodeKind::PointLight, "color", true},
    {NodeKind::SpotLight, "color", true},
    {NodeKind::Box, "size", false},
    {NodeKind::Cone, "bottomRadius", false},
    {NodeKind::Cone, "height", false},
    {NodeKind::Cylinder, "radius", false},
    {NodeKind::Cylinder, "height", false},
    {NodeKind::Sphere, "radius", false},
    {NodeKind::ElevationGrid, "xSpacing", false},
    {NodeKind::ElevationGrid, "zSpacing", false},
    {NodeKind::FontStyle, "size", false},
    {NodeKind::TimeSensor, "cycleInterval", false},
    {NodeKind::AudioClip, "pitch", false},
    {NodeKind::Viewpoint, "fieldOfView", false},
};

const Range* rangeOf(NodeKind owner, std::string_view field) {
  for (const Range& r : kRanges) {
    if (r.field == field && (r.owner == owner || r.owner == NodeKind::Declared)) return &r;
  }
  return nullptr;
}

// The range rule of every member of every built-in type, by kind and
// member index, found once: a lenient parse asks for each value it reads,
// and the scan of the rules by name above took a twentieth of a parse.
struct MemberRanges {
  const NodeType* type = nullptr;  // the built-in type the rules are for
  std::vector<const Range*> members;
};

const Range* rangeOfMember(const NodeType& owner, const FieldDecl& field) {
  static const auto* byKind = [] {
    auto* table = new std::vector<MemberRanges>(size_t(NodeKind::Declared));
    for (const NodeTypePtr& type : standardTypes()) {
      MemberRanges& ranges = (*table)[size_t(type->kind)];
      ranges.type = type.get();
      for (const FieldDecl& f : type->fields) ranges.members.push_back(rangeOf(type->kind, f.name));
    }
    return table;
  }();
  // Any other type or declaration (a copy of one, say) is looked up by name.
  if (owner.kind >= NodeKind::Declared) return rangeOf(owner.kind, field.name);
  const MemberRanges& ranges = (*byKind)[size_t(owner.kind)];
  const std::less<const FieldDecl*> before;
  const FieldDecl* first = owner.fields.data();
  if (ranges.type != &owner || before(&field, first) ||
      !before(&field, first + owner.fields.size())) {
    return rangeOf(owner.kind, field.name);
  }
  return ranges.members[static_cast<size_t>(&field - first)];
}

bool clampUnit(float& v) {
  float c = std::clamp(v, 0.0f, 1.0f);
  bool changed = !(c == v);  // NaN counts as out of range
  v = v != v ? 0.0f : c;
  return changed;
}

bool clampAll(FieldValue& value) {
  bool changed = false;
  if (float* f = value.as<float>()) changed = clampUnit(*f);
  if (Vec3f* v = value.as<Vec3f>()) {
    for (float* c : {&v->x, &v->y, &v->z}) changed = clampUnit(*c) || changed;
  }
  if (auto* list = value.as<std::vector<float>>()) {
    for (float& f : *list) changed = clampUnit(f) || changed;
  }
  if (auto* list = value.as<std::vector<Vec3f>>()) {
    for (Vec3f& v : *list) {
      for (float* c : {&v.x, &v.y, &v.z}) changed = clampUnit(*c) || changed;
    }
  }
  return changed;
}

bool positive(float v) { return v > 0; }

bool allPositive(const FieldValue& value) {
  if (const float* f = value.as<float>()) return positive(*f);
  if (const double* d = value.as<double>()) return *d > 0;
  if (const Vec3f* v = value.as<Vec3f>()) return positive(v->x) && positive(v->y) && positive(v->z);
  if (const auto* list = value.as<std::vector<float>>()) {
    return std::all_of(list->begin(), list->end(), [](float f) { return f >= 0; });
  }
  return true;
}

}  // namespace

bool nodeFitsField(const NodeType& owner, const FieldDecl& field, const NodeType& child) {
  if (!owner.standard || owner.script) return true;
  NodeClass wanted = classOfField(owner.kind, field.name);
  if (wanted == NodeClass::Any) return true;
  NodeKind kind = effectiveKind(child);
  return kind == NodeKind::Declared || inClass(wanted, kind);
}

std::optional<std::string> fixRange(const NodeType& owner, const FieldDecl& field,
                                    FieldValue& value) {
  if (!owner.standard || owner.script) return std::nullopt;
  const Range* range = rangeOfMember(owner, field);
  if (range == nullptr) return std::nullopt;
  if (range->unit) {
    if (!clampAll(value)) return std::nullopt;
    return "clamped into [0, 1]";
  }
  if (allPositive(value)) return std::nullopt;
  value = field.defaultValue;
  return "reset to its default: it must be above 0";
}

}  // namespace kestrel
