#include "viewer/browser/node_type.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>

#include "viewer/browser/field_reader.h"
#include "viewer/browser/lexer.h"
#include "viewer/browser/number_scan.h"

namespace kestrel {
namespace {

// One member of a built-in type. Access: 'f' field, 'e' exposedField,
// 'i' eventIn, 'o' eventOut. Defaults are VRML text.
struct RawField {
  const char* node;
  const char* name;
  const char* type;
  char access;
  const char* value;
};

#define GROUPING_EVENTS(N)                                     \
  {N, "addChildren", "MFNode", 'i', ""},                       \
      {N, "removeChildren", "MFNode", 'i', ""},                \
      {N, "children", "MFNode", 'e', "[]"}
#define BBOX(N)                                                \
  {N, "bboxCenter", "SFVec3f", 'f', "0 0 0"},                  \
      {N, "bboxSize", "SFVec3f", 'f', "-1 -1 -1"}
#define INTERPOLATOR(N, KV, OUT)                               \
  {N, "set_fraction", "SFFloat", 'i', ""},                     \
      {N, "key", "MFFloat", 'e', "[]"},                        \
      {N, "keyValue", KV, 'e', "[]"},                          \
      {N, "value_changed", OUT, 'o', ""}

const RawField kRawFields[] = {
    GROUPING_EVENTS("Anchor"),
    {"Anchor", "description", "SFString", 'e', "\"\""},
    {"Anchor", "parameter", "MFString", 'e', "[]"},
    {"Anchor", "url", "MFString", 'e', "[]"},
    BBOX("Anchor"),

    {"Appearance", "material", "SFNode", 'e', "NULL"},
    {"Appearance", "texture", "SFNode", 'e', "NULL"},
    {"Appearance", "textureTransform", "SFNode", 'e', "NULL"},

    {"AudioClip", "description", "SFString", 'e', "\"\""},
    {"AudioClip", "loop", "SFBool", 'e', "FALSE"},
    {"AudioClip", "pitch", "SFFloat", 'e', "1"},
    {"AudioClip", "startTime", "SFTime", 'e', "0"},
    {"AudioClip", "stopTime", "SFTime", 'e', "0"},
    {"AudioClip", "url", "MFString", 'e', "[]"},
    {"AudioClip", "duration_changed", "SFTime", 'o', ""},
    {"AudioClip", "isActive", "SFBool", 'o', ""},

    {"Background", "set_bind", "SFBool", 'i', ""},
    {"Background", "groundAngle", "MFFloat", 'e', "[]"},
    {"Background", "groundColor", "MFColor", 'e', "[]"},
    {"Background", "backUrl", "MFString", 'e', "[]"},
    {"Background", "bottomUrl", "MFString", 'e', "[]"},
    {"Background", "frontUrl", "MFString", 'e', "[]"},
    {"Background", "leftUrl", "MFString", 'e', "[]"},
    {"Background", "rightUrl", "MFString", 'e', "[]"},
    {"Background", "topUrl", "MFString", 'e', "[]"},
    {"Background", "skyAngle", "MFFloat", 'e', "[]"},
    {"Background", "skyColor", "MFColor", 'e', "0 0 0"},
    {"Background", "isBound", "SFBool", 'o', ""},

    GROUPING_EVENTS("Billboard"),
    {"Billboard", "axisOfRotation", "SFVec3f", 'e', "0 1 0"},
    BBOX("Billboard"),

    {"Box", "size", "SFVec3f", 'f', "2 2 2"},

    GROUPING_EVENTS("Collision"),
    {"Collision", "collide", "SFBool", 'e', "TRUE"},
    BBOX("Collision"),
    {"Collision", "proxy", "SFNode", 'f', "NULL"},
    {"Collision", "collideTime", "SFTime", 'o', ""},

    {"Color", "color", "MFColor", 'e', "[]"},

    INTERPOLATOR("ColorInterpolator", "MFColor", "SFColor"),

    {"Cone", "bottomRadius", "SFFloat", 'f', "1"},
    {"Cone", "height", "SFFloat", 'f', "2"},
    {"Cone", "side", "SFBool", 'f', "TRUE"},
    {"Cone", "bottom", "SFBool", 'f', "TRUE"},

    {"Coordinate", "point", "MFVec3f", 'e', "[]"},

    INTERPOLATOR("CoordinateInterpolator", "MFVec3f", "MFVec3f"),

    {"Cylinder", "bottom", "SFBool", 'f', "TRUE"},
    {"Cylinder", "height", "SFFloat", 'f', "2"},
    {"Cylinder", "radius", "SFFloat", 'f', "1"},
    {"Cylinder", "side", "SFBool", 'f', "TRUE"},
    {"Cylinder", "top", "SFBool", 'f', "TRUE"},

    {"CylinderSensor", "autoOffset", "SFBool", 'e', "TRUE"},
    {"CylinderSensor", "diskAngle", "SFFloat", 'e', "0.262"},
    {"CylinderSensor", "enabled", "SFBool", 'e', "TRUE"},
    {"CylinderSensor", "maxAngle", "SFFloat", 'e', "-1"},
    {"CylinderSensor", "minAngle", "SFFloat", 'e', "0"},
    {"CylinderSensor", "offset", "SFFloat", 'e', "0"},
    {"CylinderSensor", "isActive", "SFBool", 'o', ""},
    {"CylinderSensor", "rotation_changed", "SFRotation", 'o', ""},
    {"CylinderSensor", "trackPoint_changed", "SFVec3f", 'o', ""},

    {"DirectionalLight", "ambientIntensity", "SFFloat", 'e', "0"},
    {"DirectionalLight", "color", "SFColor", 'e', "1 1 1"},
    {"DirectionalLight", "direction", "SFVec3f", 'e', "0 0 -1"},
    {"DirectionalLight", "intensity", "SFFloat", 'e', "1"},
    {"DirectionalLight", "on", "SFBool", 'e', "TRUE"},

    {"ElevationGrid", "set_height", "MFFloat", 'i', ""},
    {"ElevationGrid", "color", "SFNode", 'e', "NULL"},
    {"ElevationGrid", "normal", "SFNode", 'e', "NULL"},
    {"ElevationGrid", "texCoord", "SFNode", 'e', "NULL"},
    {"ElevationGrid", "height", "MFFloat", 'f', "[]"},
    {"ElevationGrid", "ccw", "SFBool", 'f', "TRUE"},
    {"ElevationGrid", "colorPerVertex", "SFBool", 'f', "TRUE"},
    {"ElevationGrid", "creaseAngle", "SFFloat", 'f', "0"},
    {"ElevationGrid", "normalPerVertex", "SFBool", 'f', "TRUE"},
    {"ElevationGrid", "solid", "SFBool", 'f', "TRUE"},
    {"ElevationGrid", "xDimension", "SFInt32", 'f', "0"},
    {"ElevationGrid", "xSpacing", "SFFloat", 'f', "1"},
    {"ElevationGrid", "zDimension", "SFInt32", 'f', "0"},
    {"ElevationGrid", "zSpacing", "SFFloat", 'f', "1"},

    {"Extrusion", "set_crossSection", "MFVec2f", 'i', ""},
    {"Extrusion", "set_orientation", "MFRotation", 'i', ""},
    {"Extrusion", "set_scale", "MFVec2f", 'i', ""},
    {"Extrusion", "set_spine", "MFVec3f", 'i', ""},
    {"Extrusion", "beginCap", "SFBool", 'f', "TRUE"},
    {"Extrusion", "ccw", "SFBool", 'f', "TRUE"},
    {"Extrusion", "convex", "SFBool", 'f', "TRUE"},
    {"Extrusion", "creaseAngle", "SFFloat", 'f', "0"},
    {"Extrusion", "crossSection", "MFVec2f", 'f', "[1 1, 1 -1, -1 -1, -1 1, 1 1]"},
    {"Extrusion", "endCap", "SFBool", 'f', "TRUE"},
    {"Extrusion", "orientation", "MFRotation", 'f', "0 0 1 0"},
    {"Extrusion", "scale", "MFVec2f", 'f', "1 1"},
    {"Extrusion", "solid", "SFBool", 'f', "TRUE"},
    {"Extrusion", "spine", "MFVec3f", 'f', "[0 0 0, 0 1 0]"},

    {"Fog", "color", "SFColor", 'e', "1 1 1"},
    {"Fog", "fogType", "SFString", 'e', "\"LINEAR\""},
    {"Fog", "visibilityRange", "SFFloat", 'e', "0"},
    {"Fog", "set_bind", "SFBool", 'i', ""},
    {"Fog", "isBound", "SFBool", 'o', ""},

    {"FontStyle", "family", "MFString", 'f', "\"SERIF\""},
    {"FontStyle", "horizontal", "SFBool", 'f', "TRUE"},
    {"FontStyle", "justify", "MFString", 'f', "\"BEGIN\""},
    {"FontStyle", "language", "SFString", 'f', "\"\""},
    {"FontStyle", "leftToRight", "SFBool", 'f', "TRUE"},
    {"FontStyle", "size", "SFFloat", 'f', "1"},
    {"FontStyle", "spacing", "SFFloat", 'f', "1"},
    {"FontStyle", "style", "SFString", 'f', "\"PLAIN\""},
    {"FontStyle", "topToBottom", "SFBool", 'f', "TRUE"},

    GROUPING_EVENTS("Group"),
    BBOX("Group"),

    {"ImageTexture", "url", "MFString", 'e', "[]"},
    {"ImageTexture", "repeatS", "SFBool", 'f', "TRUE"},
    {"ImageTexture", "repeatT", "SFBool", 'f', "TRUE"},

    {"IndexedFaceSet", "set_colorIndex", "MFInt32", 'i', ""},
    {"IndexedFaceSet", "set_coordIndex", "MFInt32", 'i', ""},
    {"IndexedFaceSet", "set_normalIndex", "MFInt32", 'i', ""},
    {"IndexedFaceSet", "set_texCoordIndex", "MFInt32", 'i', ""},
    {"IndexedFaceSet", "color", "SFNode", 'e', "NULL"},
    {"IndexedFaceSet", "coord", "SFNode", 'e', "NULL"},
    {"IndexedFaceSet", "normal", "SFNode", 'e', "NULL"},
    {"IndexedFaceSet", "texCoord", "SFNode", 'e', "NULL"},
    {"IndexedFaceSet", "ccw", "SFBool", 'f', "TRUE"},
    {"IndexedFaceSet", "colorIndex", "MFInt32", 'f', "[]"},
    {"IndexedFaceSet", "colorPerVertex", "SFBool", 'f', "TRUE"},
    {"IndexedFaceSet", "convex", "SFBool", 'f', "TRUE"},
    {"IndexedFaceSet", "coordIndex", "MFInt32", 'f', "[]"},
    {"IndexedFaceSet", "creaseAngle", "SFFloat", 'f', "0"},
    {"IndexedFaceSet", "normalIndex", "MFInt32", 'f', "[]"},
    {"IndexedFaceSet", "normalPerVertex", "SFBool", 'f', "TRUE"},
    {"IndexedFaceSet", "solid", "SFBool", 'f', "TRUE"},
    {"IndexedFaceSet", "texCoordIndex", "MFInt32", 'f', "[]"},

    {"IndexedLineSet", "set_colorIndex", "MFInt32", 'i', ""},
    {"IndexedLineSet", "set_coordIndex", "MFInt32", 'i', ""},
    {"IndexedLineSet", "color", "SFNode", 'e', "NULL"},
    {"IndexedLineSet", "coord", "SFNode", 'e', "NULL"},
    {"IndexedLineSet", "colorIndex", "MFInt32", 'f', "[]"},
    {"IndexedLineSet", "colorPerVertex", "SFBool", 'f', "TRUE"},
    {"IndexedLineSet", "coordIndex", "MFInt32", 'f', "[]"},

    {"Inline", "url", "MFString", 'e', "[]"},
    BBOX("Inline"),

    {"LOD", "level", "MFNode", 'e', "[]"},
    {"LOD", "center", "SFVec3f", 'f', "0 0 0"},
    {"LOD", "range", "MFFloat", 'f', "[]"},

    {"Material", "ambientIntensity", "SFFloat", 'e', "0.2"},
    {"Material", "diffuseColor", "SFColor", 'e', "0.8 0.8 0.8"},
    {"Material", "emissiveColor", "SFColor", 'e', "0 0 0"},
    {"Material", "shininess", "SFFloat", 'e', "0.2"},
    {"Material", "specularColor", "SFColor", 'e', "0 0 0"},
    {"Material", "transparency", "SFFloat", 'e', "0"},

    {"MovieTexture", "loop", "SFBool", 'e', "FALSE"},
    {"MovieTexture", "speed", "SFFloat", 'e', "1"},
    {"MovieTexture", "startTime", "SFTime", 'e', "0"},
    {"MovieTexture", "stopTime", "SFTime", 'e', "0"},
    {"MovieTexture", "url", "MFString", 'e', "[]"},
    {"MovieTexture", "repeatS", "SFBool", 'f', "TRUE"},
    {"MovieTexture", "repeatT", "SFBool", 'f', "TRUE"},
    {"MovieTexture", "duration_changed", "SFTime", 'o', ""},
    {"MovieTexture", "isActive", "SFBool", 'o', ""},

    {"NavigationInfo", "set_bind", "SFBool", 'i', ""},
    {"NavigationInfo", "avatarSize", "MFFloat", 'e', "[0.25, 1.6, 0.75]"},
    {"NavigationInfo", "headlight", "SFBool", 'e', "TRUE"},
    {"NavigationInfo", "speed", "SFFloat", 'e', "1"},
    {"NavigationInfo", "type", "MFString", 'e', "[\"WALK\", \"ANY\"]"},
    {"NavigationInfo", "visibilityLimit", "SFFloat", 'e', "0"},
    {"NavigationInfo", "isBound", "SFBool", 'o', ""},

    {"Normal", "vector", "MFVec3f", 'e', "[]"},

    INTERPOLATOR("NormalInterpolator", "MFVec3f", "MFVec3f"),
    INTERPOLATOR("OrientationInterpolator", "MFRotation", "SFRotation"),

    {"PixelTexture", "image", "SFImage", 'e', "0 0 0"},
    {"PixelTexture", "repeatS", "SFBool", 'f', "TRUE"},
    {"PixelTexture", "repeatT", "SFBool", 'f', "TRUE"},

    {"PlaneSensor", "autoOffset", "SFBool", 'e', "TRUE"},
    {"PlaneSensor", "enabled", "SFBool", 'e', "TRUE"},
    {"PlaneSensor", "maxPosition", "SFVec2f", 'e', "-1 -1"},
    {"PlaneSensor", "minPosition", "SFVec2f", 'e', "0 0"},
    {"PlaneSensor", "offset", "SFVec3f", 'e', "0 0 0"},
    {"PlaneSensor", "isActive", "SFBool", 'o', ""},
    {"PlaneSensor", "trackPoint_changed", "SFVec3f", 'o', ""},
    {"PlaneSensor", "translation_changed", "SFVec3f", 'o', ""},

    {"PointLight", "ambientIntensity", "SFFloat", 'e', "0"},
    {"PointLight", "attenuation", "SFVec3f", 'e', "1 0 0"},
    {"PointLight", "color", "SFColor", 'e', "1 1 1"},
    {"PointLight", "intensity", "SFFloat", 'e', "1"},
    {"PointLight", "location", "SFVec3f", 'e', "0 0 0"},
    {"PointLight", "on", "SFBool", 'e', "TRUE"},
    {"PointLight", "radius", "SFFloat", 'e', "100"},

    {"PointSet", "color", "SFNode", 'e', "NULL"},
    {"PointSet", "coord", "SFNode", 'e', "NULL"},

    INTERPOLATOR("PositionInterpolator", "MFVec3f", "SFVec3f"),

    {"ProximitySensor", "center", "SFVec3f", 'e', "0 0 0"},
    {"ProximitySensor", "size", "SFVec3f", 'e', "0 0 0"},
    {"ProximitySensor", "enabled", "SFBool", 'e', "TRUE"},
    {"ProximitySensor", "isActive", "SFBool", 'o', ""},
    {"ProximitySensor", "position_changed", "SFVec3f", 'o', ""},
    {"ProximitySensor", "orientation_changed", "SFRotation", 'o', ""},
    {"ProximitySensor", "enterTime", "SFTime", 'o', ""},
    {"ProximitySensor", "exitTime", "SFTime", 'o', ""},

    INTERPOLATOR("ScalarInterpolator", "MFFloat", "SFFloat"),

    {"Script", "url", "MFString", 'e', "[]"},
    {"Script", "directOutput", "SFBool", 'f', "FALSE"},
    {"Script", "mustEvaluate", "SFBool", 'f', "FALSE"},

    {"Shape", "appearance", "SFNode", 'e', "NULL"},
    {"Shape", "geometry", "SFNode", 'e', "NULL"},

    {"Sound", "direction", "SFVec3f", 'e', "0 0 1"},
    {"Sound", "intensity", "SFFloat", 'e', "1"},
    {"Sound", "location", "SFVec3f", 'e', "0 0 0"},
    {"Sound", "maxBack", "SFFloat", 'e', "10"},
    {"Sound", "maxFront", "SFFloat", 'e', "10"},
    {"Sound", "minBack", "SFFloat", 'e', "1"},
    {"Sound", "minFront", "SFFloat", 'e', "1"},
    {"Sound", "priority", "SFFloat", 'e', "0"},
    {"Sound", "source", "SFNode", 'e', "NULL"},
    {"Sound", "spatialize", "SFBool", 'f', "TRUE"},

    {"Sphere", "radius", "SFFloat", 'f', "1"},

    {"SphereSensor", "autoOffset", "SFBool", 'e', "TRUE"},
    {"SphereSensor", "enabled", "SFBool", 'e', "TRUE"},
    {"SphereSensor", "offset", "SFRotation", 'e', "0 1 0 0"},
    {"SphereSensor", "isActive", "SFBool", 'o', ""},
    {"SphereSensor", "rotation_changed", "SFRotation", 'o', ""},
    {"SphereSensor", "trackPoint_changed", "SFVec3f", 'o', ""},

    {"SpotLight", "ambientIntensity", "SFFloat", 'e', "0"},
    {"SpotLight", "attenuation", "SFVec3f", 'e', "1 0 0"},
    {"SpotLight", "beamWidth", "SFFloat", 'e', "1.570796"},
    {"SpotLight", "color", "SFColor", 'e', "1 1 1"},
    {"SpotLight", "cutOffAngle", "SFFloat", 'e', "0.785398"},
    {"SpotLight", "direction", "SFVec3f", 'e', "0 0 -1"},
    {"SpotLight", "intensity", "SFFloat", 'e', "1"},
    {"SpotLight", "location", "SFVec3f", 'e', "0 0 0"},
    {"SpotLight", "on", "SFBool", 'e', "TRUE"},
    {"SpotLight", "radius", "SFFloat", 'e', "100"},

    {"Switch", "choice", "MFNode", 'e', "[]"},
    {"Switch", "whichChoice", "SFInt32", 'e', "-1"},

    {"Text", "string", "MFString", 'e', "[]"},
    {"Text", "fontStyle", "SFNode", 'e', "NULL"},
    {"Text", "length", "MFFloat", 'e', "[]"},
    {"Text", "maxExtent", "SFFloat", 'e', "0"},

    {"Text3D", "string", "MFString", 'e', "[]"},
    {"Text3D", "fontStyle", "SFNode", 'e', "NULL"},
    {"Text3D", "depth", "SFFloat", 'e', "0.1"},
    {"Text3D", "maxExtent", "SFFloat", 'e', "0"},
    {"Text3D", "length", "MFFloat", 'e', "[]"},

    {"TextureCoordinate", "point", "MFVec2f", 'e', "[]"},

    {"TextureTransform", "center", "SFVec2f", 'e', "0 0"},
    {"TextureTransform", "rotation", "SFFloat", 'e', "0"},
    {"TextureTransform", "scale", "SFVec2f", 'e', "1 1"},
    {"TextureTransform", "translation", "SFVec2f", 'e', "0 0"},

    {"TimeSensor", "cycleInterval", "SFTime", 'e', "1"},
    {"TimeSensor", "enabled", "SFBool", 'e', "TRUE"},
    {"TimeSensor", "loop", "SFBool", 'e', "FALSE"},
    {"TimeSensor", "startTime", "SFTime", 'e', "0"},
    {"TimeSensor", "stopTime", "SFTime", 'e', "0"},
    {"TimeSensor", "cycleTime", "SFTime", 'o', ""},
    {"TimeSensor", "fraction_changed", "SFFloat", 'o', ""},
    {"TimeSensor", "isActive", "SFBool", 'o', ""},
    {"TimeSensor", "time", "SFTime", 'o', ""},

    {"TouchSensor", "enabled", "SFBool", 'e', "TRUE"},
    {"TouchSensor", "hitNormal_changed", "SFVec3f", 'o', ""},
    {"TouchSensor", "hitPoint_changed", "SFVec3f", 'o', ""},
    {"TouchSensor", "hitTexCoord_changed", "SFVec2f", 'o', ""},
    {"TouchSensor", "isActive", "SFBool", 'o', ""},
    {"TouchSensor", "isOver", "SFBool", 'o', ""},
    {"TouchSensor", "touchTime", "SFTime", 'o', ""},

    GROUPING_EVENTS("Transform"),
    {"Transform", "center", "SFVec3f", 'e', "0 0 0"},
    {"Transform", "rotation", "SFRotation", 'e', "0 0 1 0"},
    {"Transform", "scale", "SFVec3f", 'e', "1 1 1"},
    {"Transform", "scaleOrientation", "SFRotation", 'e', "0 0 1 0"},
    {"Transform", "translation", "SFVec3f", 'e', "0 0 0"},
    BBOX("Transform"),

    {"Viewpoint", "set_bind", "SFBool", 'i', ""},
    {"Viewpoint", "fieldOfView", "SFFloat", 'e', "0.785398"},
    {"Viewpoint", "jump", "SFBool", 'e', "TRUE"},
    {"Viewpoint", "orientation", "SFRotation", 'e', "0 0 1 0"},
    {"Viewpoint", "position", "SFVec3f", 'e', "0 0 10"},
    {"Viewpoint", "description", "SFString", 'f', "\"\""},
    {"Viewpoint", "bindTime", "SFTime", 'o', ""},
    {"Viewpoint", "isBound", "SFBool", 'o', ""},

    {"VisibilitySensor", "center", "SFVec3f", 'e', "0 0 0"},
    {"VisibilitySensor", "enabled", "SFBool", 'e', "TRUE"},
    {"VisibilitySensor", "size", "SFVec3f", 'e', "0 0 0"},
    {"VisibilitySensor", "enterTime", "SFTime", 'o', ""},
    {"VisibilitySensor", "exitTime", "SFTime", 'o', ""},
    {"VisibilitySensor", "isActive", "SFBool", 'o', ""},

    {"WorldInfo", "info", "MFString", 'f', "[]"},
    {"WorldInfo", "title", "SFString", 'f', "\"\""},
};

#undef GROUPING_EVENTS
#undef BBOX
#undef INTERPOLATOR

Access accessOf(char code) {
  switch (code) {
    case 'e': return Access::ExposedField;
    case 'i': return Access::EventIn;
    case 'o': return Access::EventOut;
    default: return Access::Field;
  }
}

constexpr std::string_view kKindNames[] = {
#define KESTREL_NODE_KIND_NAME(name) #name,
    KESTREL_BUILT_IN_NODE_TYPES(KESTREL_NODE_KIND_NAME)
#undef KESTREL_NODE_KIND_NAME
};
static_assert(std::size(kKindNames) == size_t(NodeKind::Declared));

// The kind named NAME; Declared for a name that is no built-in type.
NodeKind kindNamed(std::string_view name) {
  auto it = std::lower_bound(std::begin(kKindNames), std::end(kKindNames), name);
  if (it == std::end(kKindNames) || *it != name) return NodeKind::Declared;
  return NodeKind(it - std::begin(kKindNames));
}

// Whether A and B are the same name, compared in place: names are short,
// and the call to memcmp that == makes costs more than the comparison.
// Eight bytes at a time, the last eight overlapping the ones before.
bool sameName(std::string_view a, std::string_view b) {
  const size_t n = a.size();
  if (n != b.size()) return false;
  if (n < 8) {
    for (size_t i = 0; i < n; ++i) {
      if (a[i] != b[i]) return false;
    }
    return true;
  }
  for (size_t i = 0; i + 8 < n; i += 8) {
    if (number_scan::load8(a.data() + i) != number_scan::load8(b.data() + i)) return false;
  }
  return number_scan::load8(a.data() + n - 8) == number_scan::load8(b.data() + n - 8);
}

// The built-in types by name. The parser looks a type up for every node it
// reads; an open-addressed table keyed by a few bytes of the name is a
// handful of instructions where std::hash would first read the whole name.
class TypeIndex {
 public:
  void add(const NodeTypePtr& type) {
    size_t i = slotOf(type->name);
    while (slots_[i].type) i = (i + 1) % kSlots;
    slots_[i] = {type->name, type};
  }
  const NodeTypePtr* find(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (size_t i = slotOf(name); slots_[i].type; i = (i + 1) % kSlots) {
      if (sameName(slots_[i].name, name)) return &slots_[i].type;
    }
    return nullptr;
  }

 private:
  // Well over the number of built-in types, so that probes stay short and
  // an empty slot always ends one.
  static constexpr size_t kSlots = 256;
  // Length, first and last byte tell the built-in names nearly apart.
  static size_t slotOf(std::string_view name) {
    const uint32_t key = static_cast<uint32_t>(name.size()) << 16 |
                         uint32_t{static_cast<unsigned char>(name.front())} << 8 |
                         static_cast<unsigned char>(name.back());
    return (key * 0x9E3779B1u) >> 24;
  }
  // The name beside the type, so that a probe reads no type it passes by.
  struct Slot {
    std::string_view name;  // the type's own name, which lives as long
    NodeTypePtr type;
  };
  std::array<Slot, kSlots> slots_;
};

struct Registry {
  std::vector<NodeTypePtr> ordered;
  TypeIndex byName;
};

// Builds the built-in types from the table. The table is trusted data: a
// default that fails to read is a programming error caught by the tests,
// which check every default against its type.
Registry buildRegistry() {
  Registry r;
  std::vector<std::shared_ptr<NodeType>> building;
  for (const RawField& raw : kRawFields) {
    if (building.empty() || building.back()->name != raw.node) {
      auto t = std::make_shared<NodeType>();
      t->name = raw.node;
      t->standard = true;
      t->kind = kindNamed(t->name);
      t->script = t->name == "Script";
      building.push_back(t);
    }
    FieldDecl decl;
    decl.name = raw.name;
    fieldTypeFromName(raw.type, decl.type);
    decl.access = accessOf(raw.access);
    decl.defaultValue = FieldValue::zeroOf(decl.type);
    if (raw.value[0] != '\0' && decl.type != FieldType::SFNode &&
        decl.type != FieldType::MFNode) {
      Lexer lexer(raw.value);
      ParseError error;
      readFieldValue(lexer, decl.type, decl.defaultValue, error);
    }
    building.back()->fields.push_back(std::move(decl));
  }
  for (auto& t : building) {
    r.ordered.push_back(t);
  }
  for (auto& t : r.ordered) r.byName.add(t);
  return r;
}

const Registry& registry() {
  static const Registry* r = new Registry(buildRegistry());
  return *r;
}

bool exposedNamed(const FieldDecl& f, std::string_view name) {
  return f.access == Access::ExposedField && f.name == name;
}

}  // namespace

std::string_view accessName(Access access) {
  switch (access) {
    case Access::Field: return "field";
    case Access::ExposedField: return "exposedField";
    case Access::EventIn: return "eventIn";
    case Access::EventOut: return "eventOut";
  }
  return "field";
}

std::string_view kindName(NodeKind kind) {
  return kind < NodeKind::Declared ? kKindNames[size_t(kind)] : std::string_view{};
}

MemberKey memberKey(NodeKind kind, std::string_view name) {
  MemberKey key;
  key.kind = kind;
  if (NodeTypePtr type = findStandardType(kindName(kind))) key.index = type->findField(name);
  return key;
}

int NodeType::findField(std::string_view wanted) const {
  // The parser looks a member up for every field it reads.
  for (size_t i = 0; i < fields.size(); ++i) {
    if (sameName(fields[i].name, wanted)) return static_cast<int>(i);
  }
  return -1;
}

int NodeType::findEventIn(std::string_view wanted) const {
  int i = findField(wanted);
  if (i >= 0) {
    Access a = fields[static_cast<size_t>(i)].access;
    return a == Access::EventIn || a == Access::ExposedField ? i : -1;
  }
  if (wanted.starts_with("set_")) {
    std::string_view base = wanted.substr(4);
    for (size_t k = 0; k < fields.size(); ++k) {
      if (exposedNamed(fields[k], base)) return static_cast<int>(k);
    }
  }
  return -1;
}

int NodeType::findEventOut(std::string_view wanted) const {
  int i = findField(wanted);
  if (i >= 0) {
    Access a = fields[static_cast<size_t>(i)].access;
    return a == Access::EventOut || a == Access::ExposedField ? i : -1;
  }
  if (wanted.ends_with("_changed")) {
    std::string_view base = wanted.substr(0, wanted.size() - 8);
    for (size_t k = 0; k < fields.size(); ++k) {
      if (exposedNamed(fields[k], base)) return static_cast<int>(k);
    }
  }
  return -1;
}

const NodeTypePtr& findStandardType(std::string_view name) {
  static const NodeTypePtr kNone;
  const NodeTypePtr* type = registry().byName.find(name);
  return type != nullptr ? *type : kNone;
}

const std::vector<NodeTypePtr>& standardTypes() { return registry().ordered; }

}  // namespace kestrel
