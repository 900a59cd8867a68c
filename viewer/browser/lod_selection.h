// Which level an LOD shows: the first range the viewer's distance from
// CENTER (both in the LOD's coordinates) is below; past the last range the
// last level. Shared by the renderer and the sensors so both agree on
// what is in the scene.
#pragma once

#include <cstddef>
#include <vector>

#include "viewer/browser/render/core/math3d.h"

namespace kestrel {

// LEVELS > 0: the number of levels the LOD has.
size_t lodLevel(const std::vector<float>& range, Vec3f center, Vec3f viewerLocal,
                size_t levels);

}  // namespace kestrel
