#include "viewer/browser/script/script_classes.h"

namespace kestrel {
namespace {

bool evaluate(duk_context* ctx, std::string_view source, const char* name) {
  duk_push_lstring(ctx, source.data(), source.size());
  duk_push_string(ctx, name);
  if (duk_pcompile(ctx, 0) != 0) return false;
  if (duk_pcall(ctx, 0) != DUK_EXEC_SUCCESS) return false;
  duk_pop(ctx);
  return true;
}

}  // namespace

bool installScriptClasses(duk_context* ctx) {
  return evaluate(ctx, sfClassesSource(), "sf_classes") &&
         evaluate(ctx, mfClassesSource(), "mf_classes") &&
         evaluate(ctx, vrmlMatrixSource(), "vrml_matrix");
}

}  // namespace kestrel
