#include "viewer/browser/node.h"

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
  node->values.reserve(type->fields.size());
  for (const FieldDecl& f : type->fields) {
    if (f.access == Access::Field || f.access == Access::ExposedField) {
      node->values.push_back(f.defaultValue);
    } else {
      node->values.push_back(FieldValue::zeroOf(f.type));
    }
  }
  node->type = std::move(type);
  return node;
}

FieldValue* Node::field(std::string_view memberName) {
  int i = type->findField(memberName);
  return i < 0 ? nullptr : &values[static_cast<size_t>(i)];
}

const FieldValue* Node::field(std::string_view memberName) const {
  int i = type->findField(memberName);
  return i < 0 ? nullptr : &values[static_cast<size_t>(i)];
}

}  // namespace kestrel
