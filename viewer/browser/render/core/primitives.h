// Triangle meshes of the four VRML primitives, centred on the origin, with
// the texture coordinates the standard gives them.
#pragma once

#include "viewer/browser/render/core/mesh.h"

namespace kestrel {

// SEGMENTS: slices around the Y axis for Sphere, Cone and Cylinder.
Mesh boxMesh(Vec3f size);
Mesh sphereMesh(float radius, int segments = 32);
Mesh coneMesh(float bottomRadius, float height, bool side, bool bottom, int segments = 32);
Mesh cylinderMesh(float radius, float height, bool side, bool top, bool bottom,
                  int segments = 32);

}  // namespace kestrel
