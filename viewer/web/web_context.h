// WebContext: what the page and form code of the web server reach: the page
// directory, the primary command queue, the engine's thread-safe read side,
// the configuration table, the map region, the engine task queue and the
// live view's hub (null: no live view or API) and the replay shown (null:
// the scene is live; else commands and forms are refused, since the scene
// is the journal's, and pages do not read the engine, which a seek back
// replaces).
//
// None of the pointers is owned; all outlive the server. Connection threads
// use only the thread-safe members of each (see their headers).
#pragma once

#include <string>
#include <vector>

namespace kestrel {

class ConfigTable;
class Engine;
class EngineTasks;
class InternalCommandQueue;
class LiveHub;
class MapRegion;
class ReplayRemote;

struct WebContext {
  std::string root = ".";  // the directory of the page files
  InternalCommandQueue* queue = nullptr;
  Engine* engine = nullptr;
  ConfigTable* config = nullptr;
  MapRegion* map = nullptr;
  EngineTasks* tasks = nullptr;
  LiveHub* live = nullptr;
  ReplayRemote* replay = nullptr;
  // Where three.js is installed (Debian's libjs-three), served as /three/.
  std::string threeDir = "/usr/share/javascript/three";
  // Host names besides loopback and this machine's addresses under which
  // forms are accepted (see host_check.h).
  std::vector<std::string> trustedHosts;
  // Files never served besides the logs and *.state (see page_files.h).
  std::vector<std::string> privateFiles;
};

}  // namespace kestrel
