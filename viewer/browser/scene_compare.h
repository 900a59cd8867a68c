// Structural equality of scenes: same statements, node types, names,
// values, IS links and routes, and the same sharing of nodes (a USE in one
// is a USE of the corresponding node in the other). Used to check that
// writing a scene and reading it back gives the same graph.
#pragma once

#include <string>

#include "viewer/browser/scene.h"

namespace kestrel {

// True when A and B are the same graph; otherwise WHY (if given) names the
// first difference.
bool sameScene(const Scene& a, const Scene& b, std::string* why = nullptr);

}  // namespace kestrel
