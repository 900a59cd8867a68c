// Adding runtime routes between node members.
#pragma once

#include "viewer/browser/node.h"

namespace kestrel {

// Adds a route from member FROMFIELD of FROM to member TOFIELD of TO, unless
// the same route already exists. The caller has checked that the members
// exist, send and receive, and have the same type.
void addRoute(Node& from, int fromField, const NodePtr& to, int toField);

}  // namespace kestrel
