// A parsed scene: its top-level statements in their order, its DEF names
// and the directory its relative URLs resolve against. Also the PROTO
// declarations, whose bodies are scopes of the same shape.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
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

// One top-level statement of a scope. Most statements of a large scene
// are nodes, so a ROUTE's text is kept out of line: an item is a few
// pointers, not the size of a RouteDecl.
struct SceneItem {
  enum class Kind : uint8_t { Node, Proto, Route } kind = Kind::Node;
  NodePtr node;
  std::shared_ptr<ProtoDecl> proto;
  std::shared_ptr<const RouteDecl> route;  // set for Kind::Route
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
