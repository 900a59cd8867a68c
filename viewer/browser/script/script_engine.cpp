#include "viewer/browser/script/script_engine.h"

#include <cstdlib>
#include <cstring>

#include "viewer/browser/script/script_classes.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

// Each block carries its size in front, so the heap's total is known and
// capped.
constexpr size_t kHeader = alignof(std::max_align_t);

void* capAlloc(void* udata, duk_size_t size) {
  auto* state = static_cast<ScriptHeapState*>(udata);
  if (size == 0) return nullptr;
  if (size > state->cap - state->used) return nullptr;
  auto* block = static_cast<char*>(std::malloc(size + kHeader));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &size, sizeof size);
  state->used += size;
  return block + kHeader;
}

void capFree(void* udata, void* ptr) {
  if (ptr == nullptr) return;
  auto* state = static_cast<ScriptHeapState*>(udata);
  char* block = static_cast<char*>(ptr) - kHeader;
  size_t size = 0;
  std::memcpy(&size, block, sizeof size);
  state->used -= size;
  std::free(block);
}

void* capRealloc(void* udata, void* ptr, duk_size_t size) {
  if (ptr == nullptr) return capAlloc(udata, size);
  if (size == 0) {
    capFree(udata, ptr);
    return nullptr;
  }
  auto* state = static_cast<ScriptHeapState*>(udata);
  char* block = static_cast<char*>(ptr) - kHeader;
  size_t old = 0;
  std::memcpy(&old, block, sizeof old);
  if (size > old && size - old > state->cap - state->used) return nullptr;
  auto* grown = static_cast<char*>(std::realloc(block, size + kHeader));
  if (grown == nullptr) return nullptr;
  std::memcpy(grown, &size, sizeof size);
  state->used = state->used - old + size;
  return grown + kHeader;
}

// Only reached for an error outside any protected call, which this code
// never makes; Duktape cannot continue after it.
void fatal(void*, const char* message) {
  logText("Script engine fatal error:", message);
  std::abort();
}

}  // namespace

ScriptEngine::ScriptEngine(std::string name, std::string source, void* host)
    : name_(std::move(name)), source_(std::move(source)) {
  state_.host = host;
  ctx_ = duk_create_heap(capAlloc, capRealloc, capFree, &state_, fatal);
  if (ctx_ == nullptr) {
    logText("Script engine could not start for", name_.c_str());
    return;
  }
  if (!installScriptClasses(ctx_)) {
    logFailure("its classes");
    duk_destroy_heap(ctx_);
    ctx_ = nullptr;
  }
}

ScriptEngine::~ScriptEngine() {
  if (ctx_ != nullptr) duk_destroy_heap(ctx_);
}

void* ScriptEngine::hostOf(duk_context* ctx) {
  duk_memory_functions funcs;
  duk_get_memory_functions(ctx, &funcs);
  return static_cast<ScriptHeapState*>(funcs.udata)->host;
}

bool ScriptEngine::run(std::string_view program) {
  return guarded("its program", [program, this](duk_context* ctx) {
    duk_push_lstring(ctx, program.data(), program.size());
    duk_push_string(ctx, source_.c_str());
    duk_compile(ctx, 0);
    duk_call(ctx, 0);
    duk_pop(ctx);
  });
}

bool ScriptEngine::hasFunction(const char* name) const {
  if (ctx_ == nullptr) return false;
  duk_get_global_string(ctx_, name);
  bool is = duk_is_function(ctx_, -1) != 0;
  duk_pop(ctx_);
  return is;
}

bool ScriptEngine::call(const char* name, const std::function<int(duk_context*)>& pushArgs) {
  return guarded(name, [name, &pushArgs](duk_context* ctx) {
    duk_get_global_string(ctx, name);
    if (!duk_is_function(ctx, -1)) return;
    duk_call(ctx, pushArgs(ctx));
  });
}

bool ScriptEngine::guardedCall(const char* what, duk_safe_call_function body, void* udata) {
  if (ctx_ == nullptr) return false;
  // A native function of this script may lead back into it (a Script it
  // creates sends it an event); the outer call keeps its own budget.
  const ScriptHeapState outer = state_;
  state_.deadline = std::chrono::steady_clock::now() + kScriptCallBudget;
  state_.expired = false;
  state_.armed = true;
  const duk_idx_t top = duk_get_top(ctx_);
  duk_int_t rc = duk_safe_call(ctx_, body, udata, 0, 1);
  state_.armed = false;
  if (rc != DUK_EXEC_SUCCESS) {
    if (state_.expired) {
      std::string line = name_ + " (" + source_ + ") in " + what;
      logText("Script stopped after running 100 ms:", line.c_str());
    } else {
      logFailure(what);
    }
  }
  state_.deadline = outer.deadline;
  state_.armed = outer.armed;
  state_.expired = outer.expired;
  duk_set_top(ctx_, top);
  return rc == DUK_EXEC_SUCCESS;
}

// The line of the script's own code where the error on top of the stack
// arose: the first frame of its traceback in SOURCE (an error thrown by a
// native function carries the native code's line as lineNumber).
int scriptLine(duk_context* ctx, const std::string& source) {
  duk_get_prop_string(ctx, -1, "stack");
  std::string stack = duk_is_string(ctx, -1) ? duk_get_string(ctx, -1) : "";
  duk_pop(ctx);
  const std::string mark = "(" + source + ":";
  size_t at = stack.find(mark);
  if (at != std::string::npos) return std::atoi(stack.c_str() + at + mark.size());
  duk_get_prop_string(ctx, -1, "lineNumber");
  int line = duk_is_number(ctx, -1) ? duk_get_int(ctx, -1) : 0;
  duk_pop(ctx);
  return line;
}

// The error on top of the stack, with its line, named after the Script.
void ScriptEngine::logFailure(const char* what) {
  std::string line = name_ + " (" + source_ + ") in " + what;
  if (duk_is_error(ctx_, -1)) {
    if (int at = scriptLine(ctx_, source_); at > 0) line += " line " + std::to_string(at);
  }
  line += ": ";
  line += duk_safe_to_string(ctx_, -1);
  logText("Script error:", line.c_str());
}

}  // namespace kestrel
