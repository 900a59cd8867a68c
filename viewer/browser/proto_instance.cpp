#include "viewer/browser/proto_instance.h"

#include <unordered_map>
#include <unordered_set>

#include "viewer/browser/routes.h"
#include "viewer/browser/scene.h"

namespace kestrel {
namespace {

bool holdsValue(Access a) { return a == Access::Field || a == Access::ExposedField; }
bool receives(Access a) { return a == Access::EventIn || a == Access::ExposedField; }
bool sends(Access a) { return a == Access::EventOut || a == Access::ExposedField; }

size_t cellsOf(const FieldValue& v) {
  return visitData(
      [](const auto& d) -> size_t {
        using T = std::decay_t<decltype(d)>;
        if constexpr (std::is_same_v<T, Image>) {
          return d.pixels.size() + 1;
        } else if constexpr (requires { d.size(); } && !std::is_same_v<T, std::string>) {
          return d.size() + 1;
        } else if constexpr (std::is_same_v<T, std::string>) {
          return d.size() / 8 + 1;
        } else {
          return 1;
        }
      },
      v.data);
}

class Expander {
 public:
  Expander(size_t& cells, size_t cellLimit, size_t& nodes, size_t nodeLimit,
           std::vector<std::weak_ptr<Node>>& holders)
      : cells_(cells), cellLimit_(cellLimit), nodes_(nodes), nodeLimit_(nodeLimit),
        holders_(holders) {}

  bool expand(const NodePtr& instance) {
    const ProtoDecl* impl = instance->type->proto ? instance->type->proto->implementation()
                                                  : nullptr;
    if (impl == nullptr) return true;
    std::unordered_map<const Node*, NodePtr> copies;
    std::vector<NodePtr> body;
    for (const SceneItem& item : impl->body) {
      if (item.kind() != SceneItem::Kind::Node) continue;
      NodePtr copy;
      if (!clone(item.node(), *instance, instance, copies, copy)) return false;
      body.push_back(copy);
    }
    for (const SceneItem& item : impl->body) {
      if (item.kind() != SceneItem::Kind::Route) continue;
      auto from = copies.find(item.route()->from.get());
      auto to = copies.find(item.route()->to.get());
      if (from == copies.end() || to == copies.end()) continue;
      int f = from->second->type->findEventOut(item.route()->fromField);
      int t = to->second->type->findEventIn(item.route()->toField);
      if (f >= 0 && t >= 0) addRoute(*from->second, f, to->second, t);
    }
    instance->editExtras().protoBody = std::move(body);
    return true;
  }

 private:
  bool clone(const NodePtr& src, Node& instance, const NodePtr& instancePtr,
             std::unordered_map<const Node*, NodePtr>& copies, NodePtr& out) {
    if (!src) return true;
    if (auto it = copies.find(src.get()); it != copies.end()) {
      out = it->second;
      if (building_.count(out.get()) != 0 && holder_) holders_.push_back(holder_);
      return true;
    }
    if (++nodes_ > nodeLimit_ || depth_ >= kMaxDepth) return false;
    struct Deeper {
      size_t& d;
      explicit Deeper(size_t& depth) : d(depth) { ++d; }
      ~Deeper() { --d; }
    } deeper(depth_);
    auto dst = std::make_shared<Node>();
    dst->type = src->type;
    dst->name = src->name;
    copies.emplace(src.get(), dst);
    building_.insert(dst.get());
    NodePtr outerHolder = holder_;
    holder_ = dst->type->script ? dst : nullptr;
    bool ok = copyValues(*src, *dst, instance, instancePtr, copies);
    holder_ = outerHolder;
    building_.erase(dst.get());
    if (!ok) return false;
    for (const IsLink& link : src->extras().isLinks) join(*dst, dst, link, instance, instancePtr);
    if (dst->type->proto && !expand(dst)) return false;
    out = dst;
    return true;
  }

  bool copyValues(const Node& src, Node& dst, Node& instance, const NodePtr& instancePtr,
                  std::unordered_map<const Node*, NodePtr>& copies) {
    // The copy stores what the source stores, and every node value (a
    // default holding nodes is the type's: the copy gets nodes of its own).
    for (size_t i = 0; i < src.valueCount(); ++i) {
      const FieldValue& v = src.value(i);
      if (const NodePtr* one = v.as<NodePtr>()) {
        if (!*one && !src.storesValue(i)) continue;
        NodePtr c;
        if (!clone(*one, instance, instancePtr, copies, c)) return false;
        dst.storeValue(i, {v.type, c});
      } else if (const auto* many = v.as<std::vector<NodePtr>>()) {
        if (many->empty() && !src.storesValue(i)) continue;
        std::vector<NodePtr> list;
        list.reserve(many->size());
        for (const NodePtr& child : *many) {
          NodePtr c;
          if (!clone(child, instance, instancePtr, copies, c)) return false;
          if (c) list.push_back(c);
        }
        dst.storeValue(i, {v.type, std::move(list)});
      } else {
        cells_ += cellsOf(v);
        if (cells_ > cellLimit_) return false;
        if (src.storesValue(i)) dst.storeValue(i, v);
      }
    }
    return true;
  }

  // Applies one IS link of a copied body node: the value from the instance,
  // and routes so events cross between the instance and the body.
  static void join(Node& copy, const NodePtr& copyPtr, const IsLink& link, Node& instance,
                   const NodePtr& instancePtr) {
    int outer = instance.type->findField(link.interfaceName);
    if (outer < 0 || link.field < 0 || static_cast<size_t>(link.field) >= copy.valueCount()) {
      return;
    }
    const FieldDecl& o = instance.type->fields[static_cast<size_t>(outer)];
    const FieldDecl& inner = copy.type->fields[static_cast<size_t>(link.field)];
    if (o.type != inner.type) return;
    if (holdsValue(o.access) && holdsValue(inner.access)) {
      copy.storeValue(static_cast<size_t>(link.field), instance.value(static_cast<size_t>(outer)));
    }
    if (receives(o.access) && receives(inner.access)) {
      addRoute(instance, outer, copyPtr, link.field);
    }
    if (sends(o.access) && sends(inner.access)) {
      addRoute(copy, link.field, instancePtr, outer);
    }
  }

  // Bodies nest inside bodies; this bounds the recursion of the copy.
  static constexpr size_t kMaxDepth = 1000;
  size_t depth_ = 0;
  size_t& cells_;
  size_t cellLimit_;
  size_t& nodes_;
  size_t nodeLimit_;
  std::vector<std::weak_ptr<Node>>& holders_;
  std::unordered_set<const Node*> building_;  // copies whose values are being made
  NodePtr holder_;  // the Script whose values are being copied, if any
};

}  // namespace

bool instantiateProto(const NodePtr& instance, size_t& cells, size_t cellLimit, size_t& nodes,
                      size_t nodeLimit, std::vector<std::weak_ptr<Node>>& holders) {
  Expander expander(cells, cellLimit, nodes, nodeLimit, holders);
  if (expander.expand(instance)) return true;
  instance->editExtras().protoBody.clear();
  return false;
}

}  // namespace kestrel
