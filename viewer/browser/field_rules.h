// What a standard node's fields may hold beyond their type: which kinds of
// node a node field accepts (a Shape's appearance is an Appearance, its
// geometry one of the geometry nodes...) and the ranges of numeric fields
// (colours and intensities within [0, 1], sizes and radii above 0...).
//
// The lenient file reader uses these to drop a node of the wrong kind and
// to bring a value back into range, each with a warning.
#pragma once

#include <optional>
#include <string>

#include "viewer/browser/node_type.h"

namespace kestrel {

// Whether CHILD may be a value of OWNER's node field FIELD. PROTO types
// count as the kind of their first body node; an unresolved EXTERNPROTO,
// Script fields and fields of declared types accept any node.
bool nodeFitsField(const NodeType& owner, const FieldDecl& field, const NodeType& child);

// Brings VALUE of OWNER's field FIELD into its range: clamps colours and
// intensities into [0, 1] and resets a size, radius or interval that must
// be positive to the field's default. Returns what was changed ("clamped
// into [0, 1]", "reset to its default: it must be above 0"), or nothing
// when VALUE was already in range or the field has no range.
std::optional<std::string> fixRange(const NodeType& owner, const FieldDecl& field,
                                    FieldValue& value);

}  // namespace kestrel
