#include "viewer/browser/lod_selection.h"

#include <algorithm>

namespace kestrel {

size_t lodLevel(const std::vector<float>& range, Vec3f center, Vec3f viewerLocal,
                size_t levels) {
  const float d = length(viewerLocal - center);
  size_t i = 0;
  while (i < range.size() && d >= range[i]) ++i;
  return std::min(i, levels - 1);
}

}  // namespace kestrel
