// Turning one geometry node into a Mesh. Plain code, no OpenGL, so it can
// be tested (and run) anywhere.
#pragma once

#include "viewer/browser/node.h"
#include "viewer/browser/render/core/mesh.h"

namespace kestrel {

// The mesh of GEOMETRY (Box, Sphere, Cone, Cylinder, IndexedFaceSet,
// IndexedLineSet, PointSet, ElevationGrid, Extrusion, Text, Text3D). Unknown or
// unsupported node types give an empty mesh.
Mesh tessellate(const Node& geometry);

Mesh elevationGridMesh(const Node& grid);
Mesh extrusionMesh(const Node& extrusion);

}  // namespace kestrel
