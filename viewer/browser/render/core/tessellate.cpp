#include "viewer/browser/render/core/tessellate.h"

#include <algorithm>

#include "viewer/browser/render/core/face_set.h"
#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/primitives.h"
#include "viewer/browser/render/core/text_mesh.h"

namespace kestrel {
namespace {

// The list member NAME of the node in the SFNode member HOLDER
// (e.g. coord.point), or null when either is missing.
template <class T>
const std::vector<T>* innerList(const Node& n, std::string_view holder, std::string_view name) {
  NodePtr inner = nodeOf(n, holder);
  if (!inner) return nullptr;
  const FieldValue* v = inner->field(name);
  return v ? v->as<std::vector<T>>() : nullptr;
}

Mesh indexedFaceSetMesh(const Node& n) {
  FaceSetInput in;
  in.coords = innerList<Vec3f>(n, "coord", "point");
  in.coordIndex = &listOf<int32_t>(n, "coordIndex");
  in.colors = innerList<Vec3f>(n, "color", "color");
  in.colorIndex = &listOf<int32_t>(n, "colorIndex");
  in.colorPerVertex = fieldOr(n, "colorPerVertex", true);
  in.normals = innerList<Vec3f>(n, "normal", "vector");
  in.normalIndex = &listOf<int32_t>(n, "normalIndex");
  in.normalPerVertex = fieldOr(n, "normalPerVertex", true);
  in.texCoords = innerList<Vec2f>(n, "texCoord", "point");
  in.texCoordIndex = &listOf<int32_t>(n, "texCoordIndex");
  in.ccw = fieldOr(n, "ccw", true);
  in.convex = fieldOr(n, "convex", true);
  in.solid = fieldOr(n, "solid", true);
  in.creaseAngle = fieldOr(n, "creaseAngle", 0.0f);
  return buildFaceSet(in);
}

Mesh indexedLineSetMesh(const Node& n) {
  Mesh m;
  m.kind = Mesh::Kind::Lines;
  const auto* coords = innerList<Vec3f>(n, "coord", "point");
  const auto* colors = innerList<Vec3f>(n, "color", "color");
  const auto& idx = listOf<int32_t>(n, "coordIndex");
  const auto& colorIndex = listOf<int32_t>(n, "colorIndex");
  bool perVertex = fieldOr(n, "colorPerVertex", true);
  if (!coords) return m;
  auto colorAt = [&](size_t pos, int32_t fallback) {
    int32_t i = fallback;
    if (!colorIndex.empty()) i = pos < colorIndex.size() ? colorIndex[pos] : -1;
    if (i < 0 || static_cast<size_t>(i) >= colors->size()) return Vec3f{1, 1, 1};
    return (*colors)[static_cast<size_t>(i)];
  };
  bool colored = colors && !colors->empty();
  int line = 0;
  for (size_t k = 0; k < idx.size(); ++k) {
    if (idx[k] < 0) {
      ++line;
      continue;
    }
    if (k + 1 >= idx.size() || idx[k + 1] < 0) continue;
    for (size_t e : {k, k + 1}) {
      int32_t ci = idx[e];
      if (static_cast<size_t>(ci) >= coords->size()) break;
      m.positions.push_back((*coords)[static_cast<size_t>(ci)]);
      if (colored)
        m.colors.push_back(perVertex ? colorAt(e, ci) : colorAt(static_cast<size_t>(line), line));
    }
    if (m.positions.size() % 2) {  // the segment's second end was out of range
      m.positions.pop_back();
      if (colored) m.colors.pop_back();
    }
  }
  return m;
}

Mesh pointSetMesh(const Node& n) {
  Mesh m;
  m.kind = Mesh::Kind::Points;
  if (const auto* coords = innerList<Vec3f>(n, "coord", "point")) m.positions = *coords;
  const auto* colors = innerList<Vec3f>(n, "color", "color");
  if (colors && !colors->empty()) {
    m.colors = *colors;
    m.colors.resize(m.positions.size(), Vec3f{1, 1, 1});
  }
  return m;
}

}  // namespace

Mesh elevationGridMesh(const Node& n) {
  int32_t xd = fieldOr(n, "xDimension", int32_t{0}), zd = fieldOr(n, "zDimension", int32_t{0});
  const auto& height = listOf<float>(n, "height");
  // A grid needs two rows each way. Missing heights lie flat, but a grid
  // far larger than its height list is refused rather than allocated.
  int64_t cells = static_cast<int64_t>(xd) * zd;
  if (xd < 2 || zd < 2 || cells > std::max<int64_t>(static_cast<int64_t>(height.size()), 65536))
    return {};
  float xs = fieldOr(n, "xSpacing", 1.0f), zs = fieldOr(n, "zSpacing", 1.0f);
  std::vector<Vec3f> coords;
  std::vector<Vec2f> tex;
  coords.reserve(static_cast<size_t>(xd) * static_cast<size_t>(zd));
  for (int32_t j = 0; j < zd; ++j)
    for (int32_t i = 0; i < xd; ++i) {
      size_t k = static_cast<size_t>(i + j * xd);
      float y = k < height.size() ? height[k] : 0.0f;  // missing heights lie flat
      coords.push_back({xs * float(i), y, zs * float(j)});
      tex.push_back({float(i) / float(xd - 1), float(j) / float(zd - 1)});
    }
  std::vector<int32_t> index;
  index.reserve(static_cast<size_t>(xd - 1) * static_cast<size_t>(zd - 1) * 5);
  for (int32_t j = 0; j + 1 < zd; ++j)
    for (int32_t i = 0; i + 1 < xd; ++i)
      index.insert(index.end(), {i + j * xd, i + (j + 1) * xd, i + 1 + (j + 1) * xd,
                                 i + 1 + j * xd, -1});
  FaceSetInput in;
  in.coords = &coords;
  in.coordIndex = &index;
  NodePtr colorNode = nodeOf(n, "color");
  in.colors = colorNode ? &listOf<Vec3f>(*colorNode, "color") : nullptr;
  in.colorPerVertex = fieldOr(n, "colorPerVertex", true);
  NodePtr normalNode = nodeOf(n, "normal");
  in.normals = normalNode ? &listOf<Vec3f>(*normalNode, "vector") : nullptr;
  in.normalPerVertex = fieldOr(n, "normalPerVertex", true);
  NodePtr texNode = nodeOf(n, "texCoord");
  in.texCoords = texNode ? &listOf<Vec2f>(*texNode, "point") : &tex;
  in.ccw = fieldOr(n, "ccw", true);
  in.solid = fieldOr(n, "solid", true);
  in.creaseAngle = fieldOr(n, "creaseAngle", 0.0f);
  return buildFaceSet(in);
}

Mesh tessellate(const Node& g) {
  switch (kindOf(g)) {
    case NodeKind::Box: return boxMesh(fieldOr(g, "size", Vec3f{2, 2, 2}));
    case NodeKind::Sphere: return sphereMesh(fieldOr(g, "radius", 1.0f));
    case NodeKind::Cone:
      return coneMesh(fieldOr(g, "bottomRadius", 1.0f), fieldOr(g, "height", 2.0f),
                      fieldOr(g, "side", true), fieldOr(g, "bottom", true));
    case NodeKind::Cylinder:
      return cylinderMesh(fieldOr(g, "radius", 1.0f), fieldOr(g, "height", 2.0f),
                          fieldOr(g, "side", true), fieldOr(g, "top", true),
                          fieldOr(g, "bottom", true));
    case NodeKind::IndexedFaceSet: return indexedFaceSetMesh(g);
    case NodeKind::IndexedLineSet: return indexedLineSetMesh(g);
    case NodeKind::PointSet: return pointSetMesh(g);
    case NodeKind::ElevationGrid: return elevationGridMesh(g);
    case NodeKind::Extrusion: return extrusionMesh(g);
    case NodeKind::Text:
    case NodeKind::Text3D: return textMesh(g);
    default: return {};
  }
}

}  // namespace kestrel
