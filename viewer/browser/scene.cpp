#include "viewer/browser/scene.h"

namespace kestrel {

const ProtoDecl* ProtoDecl::implementation() const {
  if (!external) return this;
  return resolved ? resolved->implementation() : nullptr;
}

void breakCycles(std::vector<std::weak_ptr<Node>>& holders) {
  for (auto& weak : holders) {
    NodePtr n = weak.lock();
    if (!n) continue;
    for (size_t i = 0; i < n->valueCount(); ++i) {
      const FieldType type = n->value(i).type;
      if (type == FieldType::SFNode) n->editValue(i).data = NodePtr{};
      if (type == FieldType::MFNode) n->editValue(i).data = std::vector<NodePtr>{};
    }
  }
  holders.clear();
}

Scene& Scene::operator=(Scene&& other) noexcept {
  if (this != &other) {
    breakCycles(cycleHolders);
    items = std::move(other.items);
    names = std::move(other.names);
    baseDir = std::move(other.baseDir);
    url = std::move(other.url);
    cycleHolders = std::move(other.cycleHolders);
  }
  return *this;
}

Scene::~Scene() { breakCycles(cycleHolders); }

std::vector<NodePtr> Scene::rootNodes() const {
  std::vector<NodePtr> roots;
  for (const SceneItem& item : items) {
    if (item.kind() == SceneItem::Kind::Node && item.node()) roots.push_back(item.node());
  }
  return roots;
}

NodePtr Scene::firstNode() const {
  for (const SceneItem& item : items) {
    if (item.kind() == SceneItem::Kind::Node && item.node()) return item.node();
  }
  return nullptr;
}

}  // namespace kestrel
