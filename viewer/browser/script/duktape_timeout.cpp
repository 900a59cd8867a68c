// Duktape's interrupt hook (see duk_config.h as built here), part of the
// Duktape library itself so that it links wherever Duktape does: true
// stops the running code with a RangeError, and keeps stopping it until the
// call has unwound and the engine disarms the budget.
#include "viewer/browser/script/script_engine.h"

int kestrelScriptTimedOut(void* udata) {
  auto* state = static_cast<kestrel::ScriptHeapState*>(udata);
  if (state == nullptr || !state->armed) return 0;
  if (!state->expired && std::chrono::steady_clock::now() > state->deadline) {
    state->expired = true;
  }
  return state->expired ? 1 : 0;
}
