// Reading a node's members by name with a fallback, for the renderer.
// A missing member or one of another type yields the fallback, so a
// malformed scene draws what it can instead of failing.
#pragma once

#include <string_view>
#include <vector>

#include "viewer/browser/node.h"

namespace kestrel {

template <class T>
T fieldOr(const Node& node, std::string_view name, T fallback) {
  const FieldValue* v = node.field(name);
  if (!v) return fallback;
  const T* p = v->as<T>();
  return p ? *p : fallback;
}

// A pointer to the list member NAME of type std::vector<T>, or to an
// empty list.
template <class T>
const std::vector<T>& listOf(const Node& node, std::string_view name) {
  static const std::vector<T> empty;
  const FieldValue* v = node.field(name);
  if (!v) return empty;
  const auto* p = v->template as<std::vector<T>>();
  return p ? *p : empty;
}

// The node held by the SFNode member NAME, or null.
inline NodePtr nodeOf(const Node& node, std::string_view name) {
  return fieldOr<NodePtr>(node, name, nullptr);
}

// The type name of NODE ("Shape", "Transform", or a PROTO's name).
inline const std::string& typeName(const Node& node) { return node.type->name; }

}  // namespace kestrel
