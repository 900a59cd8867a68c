#include "viewer/browser/script/script_node_runner.h"

#include <unordered_set>

#include "viewer/browser/events.h"
#include "viewer/browser/script/browser_object.h"
#include "viewer/browser/script/script_context.h"
#include "viewer/browser/script/script_engine.h"
#include "viewer/browser/script/script_fields.h"
#include "viewer/browser/script/script_source.h"
#include "viewer/browser/script/sfnode_binding.h"
#include "viewer/browser/world.h"

namespace kestrel {
namespace {

// url, directOutput and mustEvaluate come first in every Script's type;
// the members the script declared follow.
constexpr size_t kOwnMembers = 3;
// Objects handed out for the script's fields, so that changing a member
// (position.x = 1) changes the field.
constexpr const char* kFieldObjects = "\xFF" "fieldObjects";

bool isObjectType(FieldType t) {
  return isMultiple(t) || t == FieldType::SFVec2f || t == FieldType::SFVec3f ||
         t == FieldType::SFColor || t == FieldType::SFRotation || t == FieldType::SFImage;
}

class ScriptRunner final : public EventReceiver, public ScriptContext {
 public:
  ScriptRunner(World& w, const NodePtr& node, const ScriptOrigin& origin);

  // Runs the program; false when it has none or it fails.
  bool load(const ScriptSource& source);
  void initialize(double time) { callOutsideCascade("initialize", time); }
  void shutdown(double time) { callOutsideCascade("shutdown", time); }

  void receive(Cascade& running, const NodePtr& node, int field,
               const FieldValue& value) override;
  void settle(Cascade& running) override;

  static ScriptRunner& of(duk_context* ctx) {
    return static_cast<ScriptRunner&>(scriptContextOf(ctx));
  }
  static duk_ret_t getField(duk_context* ctx);
  static duk_ret_t setField(duk_context* ctx);

 private:
  void defineFields(duk_context* ctx);
  void callOutsideCascade(const char* function, double time);
  void callIn(Cascade& running, const char* function,
              const std::function<int(duk_context*)>& pushArgs);
  void takeBackObjects(duk_context* ctx);
  void sendAssigned(Cascade& running);

  NodePtr node() const { return self.lock(); }

  std::unique_ptr<ScriptEngine> engine_;
  std::vector<uint8_t> assigned_;  // eventOuts assigned in this call
  std::vector<uint8_t> touched_;   // fields whose objects the script has read
  bool anyTouched_ = false;
};

ScriptRunner::ScriptRunner(World& w, const NodePtr& node, const ScriptOrigin& origin) {
  world = &w;
  self = node;
  name = node->name.empty() ? "Script" : node->name;
  baseDir = origin.baseDir;
  worldUrl = origin.url;
  const bool* direct = node->field("directOutput")->as<bool>();
  directOutput = direct && *direct;
  assigned_.assign(node->values.size(), 0);
  touched_.assign(node->values.size(), 0);
}

bool ScriptRunner::load(const ScriptSource& source) {
  std::string where = source.file.empty() ? (worldUrl.empty() ? "inline" : worldUrl) : source.file;
  engine_ = std::make_unique<ScriptEngine>(name, where, static_cast<ScriptContext*>(this));
  if (!engine_->ready()) return false;
  bool installed = engine_->guarded("setting up", [this](duk_context* ctx) {
    installSFNode(ctx);
    installBrowserObject(ctx);
    defineFields(ctx);
  });
  return installed && engine_->run(source.program);
}

void ScriptRunner::defineFields(duk_context* ctx) {
  duk_push_global_stash(ctx);
  duk_push_array(ctx);
  duk_put_prop_string(ctx, -2, kFieldObjects);
  duk_pop(ctx);
  NodePtr n = node();
  duk_push_global_object(ctx);
  for (size_t i = kOwnMembers; i < n->type->fields.size() && i < 32767; ++i) {
    const FieldDecl& d = n->type->fields[i];
    if (d.access == Access::EventIn) continue;
    duk_push_string(ctx, d.name.c_str());
    duk_push_c_function(ctx, getField, 0);
    duk_set_magic(ctx, -1, static_cast<duk_int_t>(i));
    duk_push_c_function(ctx, setField, 1);
    duk_set_magic(ctx, -1, static_cast<duk_int_t>(i));
    duk_def_prop(ctx, -4, DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_HAVE_SETTER |
                              DUK_DEFPROP_SET_ENUMERABLE);
  }
  duk_pop(ctx);
}

duk_ret_t ScriptRunner::getField(duk_context* ctx) {
  ScriptRunner& r = of(ctx);
  NodePtr n = r.node();
  if (!n) return 0;
  const auto i = static_cast<size_t>(duk_get_current_magic(ctx));
  const FieldValue& value = n->values[i];
  if (!isObjectType(value.type)) {
    pushFieldValue(ctx, value);
    return 1;
  }
  duk_push_global_stash(ctx);
  duk_get_prop_string(ctx, -1, kFieldObjects);
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

duk_ret_t ScriptRunner::setField(duk_context* ctx) {
  ScriptRunner& r = of(ctx);
  NodePtr n = r.node();
  if (!n) return 0;
  const auto i = static_cast<size_t>(duk_get_current_magic(ctx));
  const FieldDecl& d = n->type->fields[i];
  FieldValue value;
  if (!readFieldValue(ctx, 0, d.type, value)) {
    return duk_type_error(ctx, "%s needs an %s", d.name.c_str(),
                          std::string(fieldTypeName(d.type)).c_str());
  }
  n->values[i] = std::move(value);
  if (isObjectType(d.type)) {
    // The assigned object is copied; a later read makes a new one.
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, kFieldObjects);
    duk_del_prop_index(ctx, -1, static_cast<duk_uarridx_t>(i));
    r.touched_[i] = 0;
  }
  if (d.access == Access::EventOut) r.assigned_[i] = 1;
  return 0;
}

// Fields whose objects the script read may have been changed through them.
void ScriptRunner::takeBackObjects(duk_context* ctx) {
  if (!anyTouched_) return;
  anyTouched_ = false;
  NodePtr n = node();
  duk_push_global_stash(ctx);
  duk_get_prop_string(ctx, -1, kFieldObjects);
  for (size_t i = 0; i < touched_.size(); ++i) {
    if (!touched_[i]) continue;
    touched_[i] = 0;
    if (!duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(i))) {
      duk_pop(ctx);
      continue;
    }
    FieldValue value;
    if (readFieldValue(ctx, -1, n->values[i].type, value) && !sameValue(value, n->values[i])) {
      n->values[i] = std::move(value);
      if (n->type->fields[i].access == Access::EventOut) assigned_[i] = 1;
    }
    duk_pop(ctx);
  }
  duk_pop_2(ctx);
}

void ScriptRunner::sendAssigned(Cascade& running) {
  NodePtr n = node();
  for (size_t i = 0; i < assigned_.size(); ++i) {
    if (!assigned_[i]) continue;
    assigned_[i] = 0;
    if (n) running.emit(n, static_cast<int>(i), n->values[i]);
  }
}

void ScriptRunner::callIn(Cascade& running, const char* function,
                          const std::function<int(duk_context*)>& pushArgs) {
  if (!engine_) return;
  Cascade* outer = cascade;
  cascade = &running;
  engine_->guarded(function, [&](duk_context* ctx) {
    duk_get_global_string(ctx, function);
    if (duk_is_function(ctx, -1)) {
      duk_call(ctx, pushArgs(ctx));
    }
    duk_pop(ctx);
    takeBackObjects(ctx);
  });
  cascade = outer;
  sendAssigned(running);
}

void ScriptRunner::callOutsideCascade(const char* function, double time) {
  Cascade own(time, &world->changes());
  own.hold([&] {
    callIn(own, function, [time](duk_context* ctx) {
      duk_push_number(ctx, time);
      return 1;
    });
  });
}

void ScriptRunner::receive(Cascade& running, const NodePtr& n, int field,
                           const FieldValue& value) {
  const std::string& function = n->type->fields[static_cast<size_t>(field)].name;
  callIn(running, function.c_str(), [&](duk_context* ctx) {
    pushFieldValue(ctx, value);
    duk_push_number(ctx, running.time());
    return 2;
  });
}

void ScriptRunner::settle(Cascade& running) {
  callIn(running, "eventsProcessed", [](duk_context*) { return 0; });
}

}  // namespace

ScriptContext& scriptContextOf(duk_context* ctx) {
  return *static_cast<ScriptContext*>(ScriptEngine::hostOf(ctx));
}

void startScripts(World& world, const std::vector<NodePtr>& scripts, const ScriptOrigin& origin) {
  std::vector<std::shared_ptr<ScriptRunner>> started;
  for (const NodePtr& n : scripts) {
    if (n->receiver) continue;  // already running (a USE met again)
    auto runner = std::make_shared<ScriptRunner>(world, n, origin);
    ScriptSource source;
    const auto* urls = n->field("url")->as<std::vector<std::string>>();
    if (!findScriptSource(*urls, world.resolver(), origin.baseDir, runner->name, source)) continue;
    if (!runner->load(source)) continue;
    n->receiver = runner;
    started.push_back(runner);
  }
  for (const auto& runner : started) runner->initialize(world.now());
}

void stopScripts(World& world, const std::vector<std::weak_ptr<Node>>& scripts) {
  std::unordered_set<const Node*> done;  // a USE'd Script is listed more than once
  for (const auto& weak : scripts) {
    NodePtr n = weak.lock();
    if (!n || !n->receiver || !done.insert(n.get()).second) continue;
    auto* runner = dynamic_cast<ScriptRunner*>(n->receiver.get());
    if (runner != nullptr) runner->shutdown(world.now());
  }
  for (const auto& weak : scripts) {
    if (NodePtr n = weak.lock()) n->receiver.reset();
  }
}

}  // namespace kestrel
