// One ECMAScript interpreter (a Duktape heap) for one Script node, with the
// limits that keep a script from hurting the viewer: a time budget per call
// (a runaway loop is stopped and the heap stays usable), a memory cap, and
// no global that reaches files, the network or processes (Duktape has no
// require, no I/O and no timers unless the host adds them).
//
// Errors and timeouts are written to kestrel.log, one line each, naming the
// Script and its source. Window thread only.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>

#include <duktape.h>

namespace kestrel {

// Longest one call into a script may run.
inline constexpr std::chrono::milliseconds kScriptCallBudget{100};
// Most memory one script's heap may hold.
inline constexpr size_t kScriptMemoryBytes = size_t{32} << 20;

// What the heap's allocator and timeout check share with the engine.
struct ScriptHeapState {
  size_t used = 0;
  size_t cap = kScriptMemoryBytes;
  std::chrono::steady_clock::time_point deadline{};
  bool armed = false;
  bool expired = false;
  void* host = nullptr;  // the owner's context, for native functions
};

class ScriptEngine {
 public:
  // NAME: the Script's DEF name or "Script"; SOURCE: its file or "inline".
  // HOST is handed to native functions through hostOf().
  ScriptEngine(std::string name, std::string source, void* host);
  ~ScriptEngine();
  ScriptEngine(const ScriptEngine&) = delete;
  ScriptEngine& operator=(const ScriptEngine&) = delete;

  duk_context* context() const { return ctx_; }
  bool ready() const { return ctx_ != nullptr; }

  // Runs the script's program text (its function declarations); false,
  // logged, when it does not compile or throws.
  bool run(std::string_view program);
  // Whether the global NAME is a function.
  bool hasFunction(const char* name) const;
  // Runs WORK within the time budget, catching what it throws; false,
  // logged with WHAT, when it throws or runs out of time. Every use of the
  // heap goes through here: even reading a value may run script code (a
  // toString, a getter).
  // WORK is called in place, never copied (no allocation per call).
  template <class Work>
  bool guarded(const char* what, Work&& work) {
    return guardedCall(what, [](duk_context* ctx, void* udata) -> duk_ret_t {
      (*static_cast<std::remove_reference_t<Work>*>(udata))(ctx);
      return 0;
    }, const_cast<void*>(static_cast<const void*>(&work)));
  }
  // Calls the global function NAME (when there is one) with the arguments
  // PUSHARGS pushes and returns the count of, guarded.
  bool call(const char* name, const std::function<int(duk_context*)>& pushArgs);

  const std::string& name() const { return name_; }
  const std::string& source() const { return source_; }

  // The HOST pointer given to the engine that runs CTX.
  static void* hostOf(duk_context* ctx);

 private:
  bool guardedCall(const char* what, duk_safe_call_function body, void* udata);
  void logFailure(const char* what);

  std::string name_;
  std::string source_;
  ScriptHeapState state_;
  duk_context* ctx_ = nullptr;
};

}  // namespace kestrel
