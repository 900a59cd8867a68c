// ViewerServices: what a running viewer offers besides its command ports:
// the web control server, the snapshot file that the control page shows,
// and the search service the Search command asks.
//
// Threads: everything here is called on the engine thread (the window
// thread, or the headless tick loop). The web server runs its own threads
// and hands engine work back through afterTick().
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "viewer/shell/viewer_options.h"
#include "viewer/web/search_client.h"
#include "viewer/web/web_server.h"

namespace kestrel {

class Engine;
class ShellBuilders;

// Writes the scene as a PNG at PATH; false with a reason in *error.
using SnapshotWriter =
    std::function<bool(Engine& engine, int width, int height, const std::string& path,
                       std::string* error)>;

// Renders ENGINE's scene off screen into PATH. The picture is written
// beside PATH first and renamed over it, so that a reader (the web page)
// never sees half a file.
bool writeSceneSnapshot(Engine& engine, int width, int height, const std::string& path,
                        std::string* error);

class ViewerServices {
 public:
  // Starts the web server on OPTIONS.webPort (none when 0), serving the
  // working directory, and takes the snapshot and search settings. Flat
  // maps of BUILDERS take their box from the web page's map form. A web
  // port that cannot be bound is reported on standard error and in
  // kestrel.err, and the viewer runs on without its web control.
  void start(Engine& engine, ShellBuilders& builders, const ViewerOptions& options);
  void stop() { web_.stop(); }

  // Once per engine tick: runs the work forms handed to the engine and
  // writes the periodic snapshot when it is due.
  void afterTick(Engine& engine);

  // The window draws its own picture; headless viewers render off screen.
  void setSnapshotWriter(SnapshotWriter writer) { writer_ = std::move(writer); }

  // The Search command: asks the search service about TEXT and shows the
  // answer. False when the service could not be reached.
  bool search(Engine& engine, const std::string& text);

  uint16_t webPort() const { return web_.port(); }
  const SearchEndpoint& searchEndpoint() const { return search_; }
  void setSearchEndpoint(const SearchEndpoint& endpoint) { search_ = endpoint; }

 private:
  void writeSnapshot(Engine& engine);

  WebServer web_;
  SearchEndpoint search_;
  SnapshotWriter writer_ = writeSceneSnapshot;
  std::string snapshotPath_;
  int width_ = 640, height_ = 480;
  std::chrono::milliseconds period_{0};
  std::chrono::steady_clock::time_point nextSnapshot_{};
  bool reportedFailure_ = false;
};

}  // namespace kestrel
