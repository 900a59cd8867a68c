#include "viewer/browser/scene_compare.h"

#include <algorithm>
#include <unordered_map>

namespace kestrel {
namespace {

class Comparer {
 public:
  std::string why;

  bool items(const std::vector<SceneItem>& a, const std::vector<SceneItem>& b) {
    if (a.size() != b.size()) return differ("statement count");
    for (size_t i = 0; i < a.size(); ++i) {
      if (a[i].kind() != b[i].kind()) return differ("statement kind");
      switch (a[i].kind()) {
        case SceneItem::Kind::Node:
          if (!node(a[i].node(), b[i].node())) return false;
          break;
        case SceneItem::Kind::Proto:
          if (!proto(*a[i].proto(), *b[i].proto())) return false;
          break;
        case SceneItem::Kind::Route:
          if (!route(*a[i].route(), *b[i].route())) return false;
          break;
      }
    }
    return true;
  }

 private:
  bool differ(const std::string& what) {
    if (why.empty()) why = what;
    return false;
  }

  bool route(const RouteDecl& a, const RouteDecl& b) {
    auto it = map_.find(a.from.get());
    auto jt = map_.find(a.to.get());
    if (it == map_.end() || it->second != b.from.get() || jt == map_.end() ||
        jt->second != b.to.get() || a.fromField != b.fromField || a.toField != b.toField) {
      return differ("ROUTE " + a.from->name + "." + a.fromField);
    }
    return true;
  }

  bool decls(const std::vector<FieldDecl>& a, const std::vector<FieldDecl>& b) {
    if (a.size() != b.size()) return differ("interface size");
    for (size_t i = 0; i < a.size(); ++i) {
      if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].access != b[i].access) {
        return differ("interface member " + a[i].name);
      }
      if (!value(a[i].defaultValue, b[i].defaultValue)) return false;
    }
    return true;
  }

  bool proto(const ProtoDecl& a, const ProtoDecl& b) {
    if (a.name != b.name || a.external != b.external || a.urls != b.urls) {
      return differ("PROTO " + a.name);
    }
    return decls(a.interface, b.interface) && items(a.body, b.body);
  }

  bool value(const FieldValue& a, const FieldValue& b) {
    if (a.type != b.type) return differ("value type");
    if (const NodePtr* na = a.as<NodePtr>()) return node(*na, *b.as<NodePtr>());
    if (const auto* la = a.as<std::vector<NodePtr>>()) {
      const auto& lb = *b.as<std::vector<NodePtr>>();
      if (la->size() != lb.size()) return differ("node list size");
      for (size_t i = 0; i < la->size(); ++i) {
        if (!node((*la)[i], lb[i])) return false;
      }
      return true;
    }
    return sameValue(a, b) || differ("value");
  }

  bool node(const NodePtr& a, const NodePtr& b) {
    if (!a || !b) return (a == nullptr && b == nullptr) || differ("NULL against a node");
    auto it = map_.find(a.get());
    if (it != map_.end()) return it->second == b.get() || differ("sharing of " + a->name);
    map_.emplace(a.get(), b.get());
    if (a->type->name != b->type->name || a->name != b->name) {
      return differ("node " + a->type->name + " " + a->name);
    }
    if (a->type->script || !a->type->standard) {
      if (!decls(a->type->fields, b->type->fields)) return false;
    }
    if (a->valueCount() != b->valueCount()) return differ("member count");
    if (links(*a) != links(*b)) return differ("IS links of " + a->type->name);
    for (size_t i = 0; i < a->valueCount(); ++i) {
      if (!value(a->value(i), b->value(i))) {
        return differ(a->type->name + "." + a->type->fields[i].name);
      }
    }
    return true;
  }

  // IS links in member order (the text may list them in any order).
  static std::vector<std::pair<int, std::string>> links(const Node& n) {
    std::vector<std::pair<int, std::string>> out;
    for (const IsLink& l : n.extras().isLinks) out.emplace_back(l.field, l.interfaceName);
    std::sort(out.begin(), out.end());
    return out;
  }

  std::unordered_map<const Node*, const Node*> map_;
};

}  // namespace

bool sameScene(const Scene& a, const Scene& b, std::string* why) {
  Comparer c;
  bool same = c.items(a.items, b.items);
  if (!same && why != nullptr) *why = c.why;
  return same;
}

}  // namespace kestrel
