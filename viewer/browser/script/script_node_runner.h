// Running Script nodes. When a Script enters the world its program is
// found (script_source), run once to define its functions, and then
// initialize() is called; each eventIn calls the function of the same name
// with (value, timestamp) inside the cascade that delivered the event, and
// eventsProcessed() follows once the cascade's events are all delivered.
// The script's fields and eventOuts are globals: reading gives the value,
// assigning stores it, and an assigned eventOut sends its value into the
// same cascade when the call returns. shutdown() is called when the world
// is cleared. mustEvaluate needs nothing here (events are never deferred);
// directOutput FALSE is noted in the log when the script writes into nodes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "viewer/browser/node.h"

namespace kestrel {

class World;

// Where the Scripts of one piece of content came from.
struct ScriptOrigin {
  std::string baseDir;  // relative URLs resolve against it
  std::string url;      // the scene file, empty for text
};

// Starts the Script nodes SCRIPTS, which just entered WORLD: runs every
// program first, then every initialize(). A Script without a usable
// program stays inert (one log line).
void startScripts(World& world, const std::vector<NodePtr>& scripts, const ScriptOrigin& origin);

// Calls shutdown() of each running Script in SCRIPTS and stops it.
void stopScripts(World& world, const std::vector<std::weak_ptr<Node>>& scripts);

}  // namespace kestrel
