// Expanding a PROTO instance: a fresh copy of the PROTO's body for one
// instance, with IS'd members set from the instance and joined to it by
// routes in both directions.
#pragma once

#include <cstddef>

#include "viewer/browser/node.h"

namespace kestrel {

// Builds INSTANCE->protoBody from its type's PROTO (nothing for an
// unresolved EXTERNPROTO). NODES and CELLS (values copied) are running
// totals shared with the caller; false when either passes its limit, in
// which case the instance is left without a body.
// A Script copied with a field that holds an enclosing node of the body is
// added to HOLDERS, so the owner of the scene can break that cycle.
bool instantiateProto(const NodePtr& instance, size_t& cells, size_t cellLimit,
                      size_t& nodes, size_t nodeLimit,
                      std::vector<std::weak_ptr<Node>>& holders);

}  // namespace kestrel
