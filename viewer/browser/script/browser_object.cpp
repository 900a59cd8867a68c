#include "viewer/browser/script/browser_object.h"

#include <string>

#include "viewer/browser/routes.h"
#include "viewer/browser/script/script_context.h"
#include "viewer/browser/script/script_fields.h"
#include "viewer/browser/script/sfnode_binding.h"
#include "viewer/browser/world.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

// The arguments joined by spaces, as print shows them.
std::string joinedArguments(duk_context* ctx) {
  std::string text;
  for (duk_idx_t i = 0, n = duk_get_top(ctx); i < n; ++i) {
    if (i > 0) text += ' ';
    text += duk_to_string(ctx, i);
  }
  return text;
}

void logFromScript(duk_context* ctx, const char* what, const std::string& text) {
  logTexts(what, scriptContextOf(ctx).name.c_str(), text.c_str());
}

duk_ret_t print(duk_context* ctx) {
  logFromScript(ctx, "Script print:", joinedArguments(ctx));
  return 0;
}

duk_ret_t getName(duk_context* ctx) {
  duk_push_string(ctx, "Kestrel");
  return 1;
}

duk_ret_t getVersion(duk_context* ctx) {
  duk_push_string(ctx, KESTREL_VERSION);
  return 1;
}

duk_ret_t getCurrentSpeed(duk_context* ctx) {
  duk_push_number(ctx, 0);  // the browser core does not know the viewer's motion
  return 1;
}

duk_ret_t getCurrentFrameRate(duk_context* ctx) {
  World* world = scriptContextOf(ctx).world;
  duk_push_number(ctx, world ? world->frameRate() : 0);
  return 1;
}

duk_ret_t getWorldURL(duk_context* ctx) {
  duk_push_string(ctx, scriptContextOf(ctx).worldUrl.c_str());
  return 1;
}

// Makes CONTENT part of the world and pushes its top-level nodes.
void pushAdopted(duk_context* ctx, Scene& content) {
  ScriptContext& sc = scriptContextOf(ctx);
  if (content.baseDir.empty()) content.baseDir = sc.baseDir;
  sc.world->adopt(content);
  FieldValue nodes{FieldType::MFNode, content.rootNodes()};
  pushFieldValue(ctx, nodes);
}

duk_ret_t createVrmlFromString(duk_context* ctx) {
  ScriptContext& sc = scriptContextOf(ctx);
  Scene content;
  ParseError error;
  if (sc.world == nullptr || !sc.world->parseContent(duk_to_string(ctx, 0), content, error)) {
    return duk_syntax_error(ctx, "createVrmlFromString: %s", error.text().c_str());
  }
  pushAdopted(ctx, content);
  return 1;
}

// createVrmlFromURL(urls, node, eventIn): the first URL that loads is sent
// to the node's eventIn as an MFNode.
duk_ret_t createVrmlFromURL(duk_context* ctx) {
  ScriptContext& sc = scriptContextOf(ctx);
  FieldValue urls;
  NodePtr node;
  if (!readFieldValue(ctx, 0, FieldType::MFString, urls) || !readSFNode(ctx, 1, node) || !node) {
    return duk_type_error(ctx, "createVrmlFromURL(MFString, SFNode, String)");
  }
  const int field = node->type->findEventIn(duk_to_string(ctx, 2));
  if (field < 0 || node->type->fields[size_t(field)].type != FieldType::MFNode) {
    return duk_type_error(ctx, "createVrmlFromURL: no MFNode eventIn %s", duk_to_string(ctx, 2));
  }
  for (const std::string& url : *urls.as<std::vector<std::string>>()) {
    std::string path;
    Scene content;
    ParseError error;
    if (!sc.world->resolver().resolve(url, sc.baseDir, path)) continue;
    if (!sc.world->parseFile(path, content, error)) continue;
    sc.world->adopt(content);
    sendFromScript(ctx, node, field, FieldValue{FieldType::MFNode, content.rootNodes()});
    return 0;
  }
  logFromScript(ctx, "Script createVrmlFromURL found no file:", duk_to_string(ctx, 0));
  return 0;
}

// The members of a route: from NODE's eventOut to TO's eventIn.
struct RouteEnds {
  NodePtr from, to;
  int fromField = -1, toField = -1;
};

RouteEnds routeEnds(duk_context* ctx) {
  RouteEnds e;
  if (!readSFNode(ctx, 0, e.from) || !readSFNode(ctx, 2, e.to) || !e.from || !e.to) {
    (void)duk_type_error(ctx, "a route needs (SFNode, String, SFNode, String)");
  }
  e.fromField = e.from->type->findEventOut(duk_to_string(ctx, 1));
  e.toField = e.to->type->findEventIn(duk_to_string(ctx, 3));
  if (e.fromField < 0 || e.toField < 0 ||
      e.from->type->fields[size_t(e.fromField)].type != e.to->type->fields[size_t(e.toField)].type) {
    (void)duk_type_error(ctx, "no route from %s to %s", duk_to_string(ctx, 1), duk_to_string(ctx, 3));
  }
  return e;
}

duk_ret_t addRouteFromScript(duk_context* ctx) {
  RouteEnds e = routeEnds(ctx);
  addRoute(*e.from, e.fromField, e.to, e.toField);
  return 0;
}

duk_ret_t deleteRoute(duk_context* ctx) {
  RouteEnds e = routeEnds(ctx);
  std::erase_if(e.from->editExtras().routes, [&e](const Route& r) {
    return r.fromField == e.fromField && r.toField == e.toField && r.to.lock() == e.to;
  });
  return 0;
}

duk_ret_t loadURL(duk_context* ctx) {
  logFromScript(ctx, "Script loadURL ignored (the scene belongs to its commands):",
                duk_safe_to_string(ctx, 0));
  return 0;
}

duk_ret_t replaceWorld(duk_context* ctx) {
  logFromScript(ctx, "Script replaceWorld ignored (the scene belongs to its commands):", "");
  return 0;
}

duk_ret_t setDescription(duk_context* ctx) {
  logFromScript(ctx, "Script description:", duk_to_string(ctx, 0));
  return 0;
}

const duk_function_list_entry kBrowserFunctions[] = {
    {"getName", getName, 0},
    {"getVersion", getVersion, 0},
    {"getCurrentSpeed", getCurrentSpeed, 0},
    {"getCurrentFrameRate", getCurrentFrameRate, 0},
    {"getWorldURL", getWorldURL, 0},
    {"createVrmlFromString", createVrmlFromString, 1},
    {"createVrmlFromURL", createVrmlFromURL, 3},
    {"addRoute", addRouteFromScript, 4},
    {"deleteRoute", deleteRoute, 4},
    {"loadURL", loadURL, 2},
    {"replaceWorld", replaceWorld, 1},
    {"setDescription", setDescription, 1},
    {nullptr, nullptr, 0},
};

}  // namespace

void installBrowserObject(duk_context* ctx) {
  duk_push_object(ctx);
  duk_put_function_list(ctx, -1, kBrowserFunctions);
  duk_put_global_string(ctx, "Browser");
  duk_push_c_function(ctx, print, DUK_VARARGS);
  duk_put_global_string(ctx, "print");
}

}  // namespace kestrel
