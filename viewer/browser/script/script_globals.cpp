#include "viewer/browser/script/script_globals.h"

#include <string>

#include "viewer/browser/script/script_context.h"
#include "viewer/browser/script/script_fields.h"

namespace kestrel {
namespace {

// url, directOutput and mustEvaluate come first in every Script's type;
// the members the script declared follow.
constexpr size_t kOwnMembers = 3;
// The objects handed out for fields, by member index.
constexpr const char* kFieldObjects = "\xFF" "fieldObjects";

bool isObjectType(FieldType t) {
  return isMultiple(t) || t == FieldType::SFVec2f || t == FieldType::SFVec3f ||
         t == FieldType::SFColor || t == FieldType::SFRotation || t == FieldType::SFImage;
}

}  // namespace

ScriptGlobals::ScriptGlobals(const NodePtr& script)
    : script_(script), assigned_(script->valueCount()), touched_(script->valueCount()) {}

ScriptGlobals& ScriptGlobals::of(duk_context* ctx) { return *scriptContextOf(ctx).globals; }

void ScriptGlobals::define(duk_context* ctx) {
  duk_push_global_stash(ctx);
  duk_push_array(ctx);
  fieldObjects_ = duk_get_heapptr(ctx, -1);  // the stash keeps it alive
  duk_put_prop_string(ctx, -2, kFieldObjects);
  duk_pop(ctx);
  NodePtr n = script_.lock();
  if (!n) return;
  duk_push_global_object(ctx);
  for (size_t i = kOwnMembers; i < n->type->fields.size() && i < 32767; ++i) {
    const FieldDecl& d = n->type->fields[i];
    if (d.access == Access::EventIn) continue;
    duk_push_string(ctx, d.name.c_str());
    duk_push_c_function(ctx, get, 0);
    duk_set_magic(ctx, -1, static_cast<duk_int_t>(i));
    duk_push_c_function(ctx, set, 1);
    duk_set_magic(ctx, -1, static_cast<duk_int_t>(i));
    duk_def_prop(ctx, -4, DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_HAVE_SETTER |
                              DUK_DEFPROP_SET_ENUMERABLE);
  }
  duk_pop(ctx);
}

duk_ret_t ScriptGlobals::get(duk_context* ctx) {
  ScriptGlobals& r = of(ctx);
  NodePtr n = r.script_.lock();
  if (!n) return 0;
  const auto i = static_cast<size_t>(duk_get_current_magic(ctx));
  const FieldValue& value = n->value(i);
  if (!isObjectType(value.type)) {
    pushFieldValue(ctx, value);
    return 1;
  }
  duk_push_heapptr(ctx, r.fieldObjects_);
  if (!duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(i))) {
    duk_pop(ctx);
    pushFieldValue(ctx, value);
    duk_dup_top(ctx);
    duk_put_prop_index(ctx, -3, static_cast<duk_uarridx_t>(i));
  }
  r.touched_[i] = 1;
  r.anyTouched_ = true;
  return 1;
}

duk_ret_t ScriptGlobals::set(duk_context* ctx) {
  ScriptGlobals& r = of(ctx);
  NodePtr n = r.script_.lock();
  if (!n) return 0;
  const auto i = static_cast<size_t>(duk_get_current_magic(ctx));
  const FieldDecl& d = n->type->fields[i];
  FieldValue value;
  if (!readFieldValue(ctx, 0, d.type, value)) {
    return duk_type_error(ctx, "%s needs an %s", d.name.c_str(),
                          std::string(fieldTypeName(d.type)).c_str());
  }
  n->editValue(i) = std::move(value);
  if (isObjectType(d.type)) {
    // The assigned object is copied; a later read makes a new one.
    duk_push_heapptr(ctx, r.fieldObjects_);
    duk_del_prop_index(ctx, -1, static_cast<duk_uarridx_t>(i));
    r.touched_[i] = 0;
  }
  if (d.access == Access::EventOut) r.assigned_[i] = 1;
  return 0;
}

// Fields whose objects the script read may have been changed through them.
void ScriptGlobals::takeBackObjects(duk_context* ctx) {
  if (!anyTouched_) return;
  anyTouched_ = false;
  NodePtr n = script_.lock();
  if (!n) return;
  duk_push_heapptr(ctx, fieldObjects_);
  for (size_t i = 0; i < touched_.size(); ++i) {
    if (!touched_[i]) continue;
    touched_[i] = 0;
    if (!duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(i))) {
      duk_pop(ctx);
      continue;
    }
    FieldValue value;
    if (readFieldValue(ctx, -1, n->value(i).type, value) && !sameValue(value, n->value(i))) {
      n->editValue(i) = std::move(value);
      if (n->type->fields[i].access == Access::EventOut) assigned_[i] = 1;
    }
    duk_pop(ctx);
  }
  duk_pop(ctx);
}

}  // namespace kestrel
