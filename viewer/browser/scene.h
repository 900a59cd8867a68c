// A parsed scene: its top-level statements in their order, its DEF names
// and the directory its relative URLs resolve against. Also the PROTO
// declarations, whose bodies are scopes of the same shape.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "viewer/browser/name_table.h"
#include "viewer/browser/node.h"

namespace kestrel {

struct ProtoDecl;

// A ROUTE statement as written, kept for writing the scene back out.
struct RouteDecl {
  NodePtr from;
  std::string fromField;
  NodePtr to;
  std::string toField;
};

// One top-level statement of a scope: a node, a PROTO or a ROUTE. Most
// statements of a large scene are nodes, so an item is one shared pointer
// and its kind (24 bytes), whatever it holds.
class SceneItem {
 public:
  enum class Kind : uint8_t { Node, Proto, Route };

  explicit SceneItem(NodePtr node) : what_(std::move(node)) {}
  explicit SceneItem(std::shared_ptr<ProtoDecl> proto) : what_(std::move(proto)) {}
  explicit SceneItem(std::shared_ptr<const RouteDecl> route) : what_(std::move(route)) {}

  Kind kind() const { return static_cast<Kind>(what_.index()); }
  // What the item holds; null when it holds another kind.
  const NodePtr& node() const { return held<NodePtr>(); }
  const std::shared_ptr<ProtoDecl>& proto() const { return held<std::shared_ptr<ProtoDecl>>(); }
  const std::shared_ptr<const RouteDecl>& route() const {
    return held<std::shared_ptr<const RouteDecl>>();
  }

 private:
  template <class Ptr>
  const Ptr& held() const {
    static const Ptr none;
    const Ptr* p = std::get_if<Ptr>(&what_);
    return p ? *p : none;
  }
  std::variant<NodePtr, std::shared_ptr<ProtoDecl>, std::shared_ptr<const RouteDecl>> what_;
};

struct ProtoDecl {
  std::string name;
  bool external = false;
  std::vector<FieldDecl> interface;
  std::vector<SceneItem> body;        // PROTO only
  std::vector<std::string> urls;      // EXTERNPROTO only
  std::shared_ptr<ProtoDecl> resolved;  // EXTERNPROTO: the PROTO it names, once loaded

  // The declaration whose body instances are made of: this one, the
  // resolved one, or null for an unresolved EXTERNPROTO.
  const ProtoDecl* implementation() const;
};

struct Scene {
  Scene() = default;
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;
  Scene(Scene&& other) noexcept = default;
  Scene& operator=(Scene&& other) noexcept;
  ~Scene();

  std::vector<SceneItem> items;
  // DEF name -> node; a name defined twice maps to its latest node.
  NameTable names;
  std::string baseDir;  // empty: the current directory
  std::string url;      // the file it was read from, empty for text
  // Scripts whose fields hold an enclosing node; their node fields are
  // cleared when the scene goes away so the cycle is freed.
  std::vector<std::weak_ptr<Node>> cycleHolders;

  // The top-level nodes, in order.
  std::vector<NodePtr> rootNodes() const;
  // The first top-level node, or null.
  NodePtr firstNode() const;
};

// Clears the node-valued fields of every live node in HOLDERS.
void breakCycles(std::vector<std::weak_ptr<Node>>& holders);

// Calls VISIT(node) once for every node reachable from ROOTS through node
// fields (not through PROTO bodies or Inline scenes), parents first;
// VISIT takes a const NodePtr&.
template <class Visit>
void forEachNode(const std::vector<NodePtr>& roots, Visit&& visit);

}  // namespace kestrel

#include "viewer/browser/scene_walk.h"
