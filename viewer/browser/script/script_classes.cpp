#include "viewer/browser/script/script_classes.h"

#include <cstring>
#include <string>

namespace kestrel {
namespace {

duk_ret_t compileAndDump(duk_context* ctx, void*) {
  std::string program(sfClassesSource());
  program += mfClassesSource();
  program += vrmlMatrixSource();
  duk_push_lstring(ctx, program.data(), program.size());
  duk_push_string(ctx, "script_classes");
  duk_compile(ctx, 0);
  duk_dump_function(ctx);
  return 1;
}

// The classes compiled once into Duktape bytecode, which every new heap
// loads: much cheaper than compiling them again for each Script.
const std::string& classesBytecode() {
  static const std::string bytecode = [] {
    std::string bytes;
    duk_context* ctx = duk_create_heap_default();
    if (ctx == nullptr) return bytes;
    if (duk_safe_call(ctx, compileAndDump, nullptr, 0, 1) == DUK_EXEC_SUCCESS) {
      duk_size_t size = 0;
      const void* data = duk_get_buffer(ctx, -1, &size);
      bytes.assign(static_cast<const char*>(data), size);
    }
    duk_destroy_heap(ctx);
    return bytes;
  }();
  return bytecode;
}

duk_ret_t loadClasses(duk_context* ctx, void*) {
  const std::string& bytecode = classesBytecode();
  if (bytecode.empty()) return duk_error(ctx, DUK_ERR_ERROR, "script classes did not compile");
  void* buffer = duk_push_fixed_buffer(ctx, bytecode.size());
  std::memcpy(buffer, bytecode.data(), bytecode.size());
  duk_load_function(ctx);
  duk_call(ctx, 0);
  return 0;
}

}  // namespace

bool installScriptClasses(duk_context* ctx) {
  if (duk_safe_call(ctx, loadClasses, nullptr, 0, 1) != DUK_EXEC_SUCCESS) return false;
  duk_pop(ctx);
  return true;
}

}  // namespace kestrel
