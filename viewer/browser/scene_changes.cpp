#include "viewer/browser/scene_changes.h"

#include <array>
#include <string_view>

namespace kestrel {

bool shapesMeshOrTexture(const NodeType& type) {
  static constexpr std::array<std::string_view, 20> kNames = {
      "Box",        "Sphere",         "Cone",          "Cylinder",          "IndexedFaceSet",
      "IndexedLineSet", "PointSet",   "ElevationGrid", "Extrusion",         "Text",
      "Text3D",     "Coordinate",     "Normal",        "Color",             "TextureCoordinate",
      "FontStyle",  "ImageTexture",   "PixelTexture",  "MovieTexture",      "TextureTransform"};
  for (std::string_view name : kNames) {
    if (type.name == name) return true;
  }
  return false;
}

namespace {

// True when AFTER holds every node of BEFORE in the same places, with
// perhaps more after them.
bool onlyGainsNodes(const FieldValue& before, const FieldValue& after) {
  if (const auto* one = before.as<NodePtr>()) return *one == nullptr;
  const auto* was = before.as<std::vector<NodePtr>>();
  const auto* now = after.as<std::vector<NodePtr>>();
  if (was == nullptr || now == nullptr || now->size() < was->size()) return false;
  for (size_t i = 0; i < was->size(); ++i) {
    if ((*was)[i] != (*now)[i]) return false;
  }
  return true;
}

}  // namespace

void SceneChanges::noteField(const Node& node, const FieldValue& before,
                             const FieldValue& after) {
  ++any;
  bool nodes = after.type == FieldType::SFNode || after.type == FieldType::MFNode;
  const bool lost = nodes && !onlyGainsNodes(before, after);
  if (lost || (!nodes && shapesMeshOrTexture(*node.type))) ++geometry;
  if (lost) ++detached;
}

}  // namespace kestrel
