#include "viewer/browser/script/sfnode_binding.h"

#include "viewer/browser/events.h"
#include "viewer/browser/script/script_context.h"
#include "viewer/browser/script/script_fields.h"
#include "viewer/browser/world.h"
#include "viewer/browser/writer.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

// Hidden members (Duktape keeps names starting with 0xFF from scripts).
constexpr const char* kIdKey = "\xFF" "nodeId";
constexpr const char* kWrappers = "\xFF" "nodeObjects";
constexpr const char* kPrototype = "\xFF" "nodeProto";

NodePtr thisNode(duk_context* ctx) {
  duk_push_this(ctx);
  NodePtr node;
  if (!readSFNode(ctx, -1, node) || !node) (void)duk_type_error(ctx, "not an SFNode");
  duk_pop(ctx);
  return node;
}

duk_ret_t getMember(duk_context* ctx) {
  NodePtr node = thisNode(ctx);
  pushFieldValue(ctx, node->value(static_cast<size_t>(duk_get_current_magic(ctx))));
  return 1;
}

duk_ret_t setMember(duk_context* ctx) {
  NodePtr node = thisNode(ctx);
  const int field = duk_get_current_magic(ctx);
  const FieldDecl& decl = node->type->fields[static_cast<size_t>(field)];
  FieldValue value;
  if (!readFieldValue(ctx, 0, decl.type, value)) {
    return duk_type_error(ctx, "%s needs an %s", decl.name.c_str(),
                          std::string(fieldTypeName(decl.type)).c_str());
  }
  if (decl.access == Access::EventOut) {
    return duk_type_error(ctx, "%s is an eventOut", decl.name.c_str());
  }
  if (decl.access == Access::Field) {
    node->editValue(static_cast<size_t>(field)) = std::move(value);
  } else {
    sendFromScript(ctx, node, field, std::move(value));
  }
  return 0;
}

duk_ret_t nodeToString(duk_context* ctx) {
  NodePtr node = thisNode(ctx);
  std::string text = writeNode(node).text;
  duk_push_lstring(ctx, text.data(), text.size());
  return 1;
}

void defineAccessor(duk_context* ctx, const std::string& name, int field, bool get, bool set) {
  duk_push_string(ctx, name.c_str());
  duk_uint_t flags = DUK_DEFPROP_SET_ENUMERABLE;
  if (get) {
    duk_push_c_function(ctx, getMember, 0);
    duk_set_magic(ctx, -1, field);
    flags |= DUK_DEFPROP_HAVE_GETTER;
  }
  if (set) {
    duk_push_c_function(ctx, setMember, 1);
    duk_set_magic(ctx, -1, field);
    flags |= DUK_DEFPROP_HAVE_SETTER;
  }
  duk_def_prop(ctx, -2 - (get ? 1 : 0) - (set ? 1 : 0), flags);
}

// Members of NODE as accessors of the object on top of the stack.
void defineMembers(duk_context* ctx, const Node& node) {
  const auto& fields = node.type->fields;
  for (size_t i = 0; i < fields.size() && i < 32767; ++i) {
    const FieldDecl& d = fields[i];
    const int f = static_cast<int>(i);
    defineAccessor(ctx, d.name, f, d.access != Access::EventIn, d.access != Access::EventOut);
    if (d.access == Access::ExposedField) {
      defineAccessor(ctx, "set_" + d.name, f, false, true);
      defineAccessor(ctx, d.name + "_changed", f, true, false);
    }
  }
}

void makeWrapper(duk_context* ctx, const NodePtr& node, int id) {
  duk_push_object(ctx);
  duk_push_global_stash(ctx);
  duk_get_prop_string(ctx, -1, kPrototype);
  duk_set_prototype(ctx, -3);
  duk_pop(ctx);
  duk_push_int(ctx, id);
  duk_put_prop_string(ctx, -2, kIdKey);
  defineMembers(ctx, *node);
}

duk_ret_t constructNode(duk_context* ctx) {
  if (!duk_is_constructor_call(ctx)) return duk_type_error(ctx, "SFNode needs new");
  ScriptContext& sc = scriptContextOf(ctx);
  const char* text = duk_require_string(ctx, 0);
  Scene content;
  ParseError error;
  if (sc.world == nullptr || !sc.world->parseContent(text, content, error)) {
    return duk_syntax_error(ctx, "SFNode text: %s", error.text().c_str());
  }
  NodePtr node = content.firstNode();
  if (!node) return duk_syntax_error(ctx, "SFNode text holds no node");
  content.baseDir = sc.baseDir;
  sc.world->adopt(content);
  pushSFNode(ctx, node);
  return 1;
}

}  // namespace

void installSFNode(duk_context* ctx) {
  duk_push_global_stash(ctx);
  duk_push_array(ctx);
  duk_put_prop_string(ctx, -2, kWrappers);
  duk_push_c_function(ctx, constructNode, 1);
  duk_push_object(ctx);
  duk_push_c_function(ctx, nodeToString, 0);
  duk_put_prop_string(ctx, -2, "toString");
  duk_dup_top(ctx);
  duk_put_prop_string(ctx, -4, kPrototype);  // into the stash
  duk_put_prop_string(ctx, -2, "prototype");
  duk_put_global_string(ctx, "SFNode");
  duk_pop(ctx);
}

void pushSFNode(duk_context* ctx, const NodePtr& node) {
  if (!node) {
    duk_push_null(ctx);
    return;
  }
  ScriptContext& sc = scriptContextOf(ctx);
  auto [at, added] = sc.nodeIds.try_emplace(node.get(), static_cast<int>(sc.nodes.size()));
  if (added) sc.nodes.push_back(node);
  duk_push_global_stash(ctx);
  duk_get_prop_string(ctx, -1, kWrappers);
  if (!duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(at->second))) {
    duk_pop(ctx);
    makeWrapper(ctx, node, at->second);
    duk_dup_top(ctx);
    duk_put_prop_index(ctx, -3, static_cast<duk_uarridx_t>(at->second));
  }
  duk_replace(ctx, -3);
  duk_pop(ctx);
}

bool readSFNode(duk_context* ctx, duk_idx_t idx, NodePtr& node) {
  node.reset();
  if (duk_is_null_or_undefined(ctx, idx)) return true;
  if (!duk_is_object(ctx, idx)) return false;
  if (!duk_get_prop_string(ctx, idx, kIdKey)) {
    duk_pop(ctx);
    return false;
  }
  ScriptContext& sc = scriptContextOf(ctx);
  const duk_int_t id = duk_get_int(ctx, -1);
  duk_pop(ctx);
  if (id < 0 || static_cast<size_t>(id) >= sc.nodes.size()) return false;
  node = sc.nodes[static_cast<size_t>(id)];
  return true;
}

void sendFromScript(duk_context* ctx, const NodePtr& node, int field, FieldValue value) {
  ScriptContext& sc = scriptContextOf(ctx);
  if (!sc.directOutput && !sc.toldDirectOutput) {
    sc.toldDirectOutput = true;
    logText("Script writes into nodes without directOutput TRUE (allowed):", sc.name.c_str());
  }
  if (sc.cascade != nullptr) {
    sc.cascade->send(node, field, std::move(value));
    return;
  }
  if (sc.world == nullptr) return;
  Cascade own(sc.world->now(), &sc.world->changes(), sc.world);
  own.send(node, field, std::move(value));
}

}  // namespace kestrel
