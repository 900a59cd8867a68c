#include "viewer/browser/render/core/mesh.h"

#include <algorithm>

namespace kestrel {

bool Mesh::bounds(Vec3f& lo, Vec3f& hi) const {
  for (const Vec3f& p : positions) {
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
  return !positions.empty();
}

}  // namespace kestrel
