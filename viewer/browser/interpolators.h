// The six VRML97 interpolators: linear between keys, spherical for
// orientations, normalised for normals.
#pragma once

#include "viewer/browser/node.h"

namespace kestrel {

// True for the built-in *Interpolator types.
bool isInterpolator(const NodeType& type);

// The value interpolator N sends for fraction F (clamped to the first and
// last key), in OUT; false when N has no keys or too few key values.
bool interpolate(const Node& n, float f, FieldValue& out);

}  // namespace kestrel
