// What the native parts of one script (field conversions, SFNode, Browser)
// share: the world it runs in, its own node, the nodes it holds and the
// cascade of the call running now.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <duktape.h>

#include "viewer/browser/node.h"

namespace kestrel {

class Cascade;
class ScriptGlobals;
class World;

struct ScriptContext {
  World* world = nullptr;
  std::weak_ptr<Node> self;
  std::string name;     // DEF name or "Script"
  std::string baseDir;  // where its relative URLs lead
  std::string worldUrl; // the file its scene came from, if any
  bool directOutput = false;
  bool toldDirectOutput = false;  // the log has said it writes without directOutput
  Cascade* cascade = nullptr;     // set while a call runs
  ScriptGlobals* globals = nullptr;  // the Script's own fields, when it has them

  // Nodes reached by the script, by the id their SFNode objects carry.
  std::vector<NodePtr> nodes;
  std::unordered_map<const Node*, int> nodeIds;
};

// The context of the script running in CTX.
ScriptContext& scriptContextOf(duk_context* ctx);

}  // namespace kestrel
