#include "viewer/browser/script/script_node_runner.h"

#include <unordered_set>

#include "viewer/browser/events.h"
#include "viewer/browser/script/browser_object.h"
#include "viewer/browser/script/script_context.h"
#include "viewer/browser/script/script_engine.h"
#include "viewer/browser/script/script_fields.h"
#include "viewer/browser/script/script_globals.h"
#include "viewer/browser/script/script_source.h"
#include "viewer/browser/script/sfnode_binding.h"
#include "viewer/browser/world.h"

namespace kestrel {
namespace {

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

 private:
  void callOutsideCascade(const char* function, double time);
  // PUSHARGS(ctx) pushes the function's arguments and returns their count.
  template <class PushArgs>
  void callIn(Cascade& running, const char* function, const PushArgs& pushArgs);
  void sendAssigned(Cascade& running);

  NodePtr node() const { return self.lock(); }

  ScriptGlobals globals_;
  std::unique_ptr<ScriptEngine> engine_;
};

ScriptRunner::ScriptRunner(World& w, const NodePtr& node, const ScriptOrigin& origin)
    : globals_(node) {
  globals = &globals_;
  world = &w;
  self = node;
  name = node->name.empty() ? "Script" : node->name.str();
  baseDir = origin.baseDir;
  worldUrl = origin.url;
  const bool* direct = node->field("directOutput")->as<bool>();
  directOutput = direct && *direct;
}

bool ScriptRunner::load(const ScriptSource& source) {
  std::string where = source.file.empty() ? (worldUrl.empty() ? "inline" : worldUrl) : source.file;
  engine_ = std::make_unique<ScriptEngine>(name, where, static_cast<ScriptContext*>(this));
  if (!engine_->ready()) return false;
  bool installed = engine_->guarded("setting up", [this](duk_context* ctx) {
    installSFNode(ctx);
    installBrowserObject(ctx);
    globals_.define(ctx);
  });
  return installed && engine_->run(source.program);
}

void ScriptRunner::sendAssigned(Cascade& running) {
  NodePtr n = node();
  globals_.forEachAssigned([&](int i) {
    if (n) running.emit(n, i, n->value(static_cast<size_t>(i)));
  });
}

template <class PushArgs>
void ScriptRunner::callIn(Cascade& running, const char* function, const PushArgs& pushArgs) {
  if (!engine_) return;
  Cascade* outer = cascade;
  cascade = &running;
  engine_->guarded(function, [&](duk_context* ctx) {
    duk_get_global_string(ctx, function);
    if (duk_is_function(ctx, -1)) {
      duk_call(ctx, pushArgs(ctx));
    }
    duk_pop(ctx);
    globals_.takeBackObjects(ctx);
  });
  cascade = outer;
  sendAssigned(running);
}

void ScriptRunner::callOutsideCascade(const char* function, double time) {
  Cascade own(time, &world->changes(), world);
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
    if (n->extras().receiver) continue;  // already running (a USE met again)
    auto runner = std::make_shared<ScriptRunner>(world, n, origin);
    ScriptSource source;
    const auto* urls = n->field("url")->as<std::vector<std::string>>();
    if (!findScriptSource(*urls, world.resolver(), origin.baseDir, runner->name, source)) continue;
    if (!runner->load(source)) continue;
    n->editExtras().receiver = runner;
    started.push_back(runner);
  }
  for (const auto& runner : started) runner->initialize(world.now());
}

void stopScripts(World& world, const std::vector<std::weak_ptr<Node>>& scripts) {
  std::unordered_set<const Node*> done;  // a USE'd Script is listed more than once
  for (const auto& weak : scripts) {
    NodePtr n = weak.lock();
    if (!n || !n->extras().receiver || !done.insert(n.get()).second) continue;
    auto* runner = dynamic_cast<ScriptRunner*>(n->extras().receiver.get());
    if (runner != nullptr) runner->shutdown(world.now());
  }
  for (const auto& weak : scripts) {
    if (NodePtr n = weak.lock()) n->editExtras().receiver.reset();
  }
}

}  // namespace kestrel
