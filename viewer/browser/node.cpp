#include "viewer/browser/node.h"

#include <algorithm>

namespace kestrel {

const NodeExtras& Node::noExtras() {
  // Made on first use: its strings and vectors have no constant initializer
  // everywhere, and a namespace-scope one could be read before it is made.
  static const NodeExtras none;
  return none;
}

NodeExtras& Node::editExtras() {
  if (!extras_) extras_ = std::make_unique<NodeExtras>();
  return *extras_;
}

NodePtr Node::create(NodeTypePtr type) {
  auto node = std::make_shared<Node>();
  node->type = std::move(type);
  // A Script's interface grows as it is read, and a sparse list names only
  // so many members: those nodes hold every value from the start.
  if (node->type->script || node->valueCount() > FieldValues::kMaxSparseMembers) {
    node->makeDense();
  }
  return node;
}

void Node::makeDense(size_t members) {
  values_.makeDense(members, [this](size_t i) -> const FieldValue& {
    return type->initialValue(i);
  });
}

FieldValue& Node::editValue(size_t i) {
  makeDense();
  return values_[i];
}

void Node::storeValue(size_t i, FieldValue value) {
  if (values_.isSparse() && i >= FieldValues::kMaxSparseMembers) makeDense();
  values_.store(i, std::move(value));
}

void Node::storeValues(std::pair<size_t, FieldValue>* members, size_t count) {
  const bool fresh = values_.isSparse() && values_.storedCount() == 0;
  const bool fits = std::all_of(members, members + count, [](const auto& member) {
    return member.first < FieldValues::kMaxSparseMembers;
  });
  if (fresh && fits) {
    values_.storeAll(members, count);
    return;
  }
  for (size_t i = 0; i < count; ++i) storeValue(members[i].first, std::move(members[i].second));
}

void Node::appendValue(FieldValue value) {
  // The type has grown already: make the members before it dense, then add.
  makeDense(valueCount() - 1);
  values_.push_back(std::move(value));
}

const FieldValue* Node::field(std::string_view memberName) const {
  int i = type->findField(memberName);
  return i < 0 ? nullptr : &value(static_cast<size_t>(i));
}

FieldValue* Node::editField(std::string_view memberName) {
  int i = type->findField(memberName);
  return i < 0 ? nullptr : &editValue(static_cast<size_t>(i));
}

}  // namespace kestrel
