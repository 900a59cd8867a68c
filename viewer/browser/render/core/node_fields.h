// Reading a node's members with a fallback, for the renderer: by a
// MemberKey found once (render_keys.h) where it reads often, by name
// elsewhere. A missing member, a node of another type or a value of
// another type yields the fallback, so a malformed scene draws what it can
// instead of failing.
#pragma once

#include <string_view>
#include <vector>

#include "viewer/browser/node.h"

namespace kestrel {

// MEMBER is a std::string_view name or a MemberKey.
template <class T, class Member>
T fieldOr(const Node& node, Member member, T fallback) {
  const FieldValue* v = node.field(member);
  if (!v) return fallback;
  const T* p = v->as<T>();
  return p ? *p : fallback;
}

// The list member of type std::vector<T>, or an empty list.
template <class T, class Member>
const std::vector<T>& listOf(const Node& node, Member member) {
  static const std::vector<T> empty;
  const FieldValue* v = node.field(member);
  if (!v) return empty;
  const auto* p = v->template as<std::vector<T>>();
  return p ? *p : empty;
}

// The node held by an SFNode member, or null.
template <class Member>
NodePtr nodeOf(const Node& node, Member member) {
  return fieldOr<NodePtr>(node, member, nullptr);
}

// Which built-in type NODE is (Declared for PROTO types).
inline NodeKind kindOf(const Node& node) { return node.type->kind; }

// The type name of NODE ("Shape", "Transform", or a PROTO's name).
inline const std::string& typeName(const Node& node) { return node.type->name; }

}  // namespace kestrel
