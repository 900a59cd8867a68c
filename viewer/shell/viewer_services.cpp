#include "viewer/shell/viewer_services.h"

#include <cstdio>
#include <filesystem>

#include "viewer/browser/render/gl/snapshot.h"
#include "viewer/engine/engine.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/shell/shell_builders.h"
#include "viewer/web/map_region.h"

namespace kestrel {
namespace {

MapInputs mapInputsFrom(const MapBox& box) {
  MapInputs inputs;
  inputs.width = box.width;
  inputs.height = box.height;
  inputs.longitudeStart = box.longitudeStart;
  inputs.longitudeEnd = box.longitudeEnd;
  inputs.latitudeStart = box.latitudeStart;
  inputs.latitudeEnd = box.latitudeEnd;
  inputs.longitudeLetter = box.longitudeLetter;
  inputs.latitudeLetter = box.latitudeLetter;
  return inputs;
}

}  // namespace

bool writeSceneSnapshot(Engine& engine, int width, int height, const std::string& path,
                        std::string* error) {
  std::string partial = path + ".part.png";
  if (renderSnapshot(engine.browser(), width, height, partial, error) != 0) {
    std::filesystem::remove(partial);
    return false;
  }
  std::error_code renameError;
  std::filesystem::rename(partial, path, renameError);
  if (renameError) {
    *error = "cannot replace " + path + ": " + renameError.message();
    std::filesystem::remove(partial);
    return false;
  }
  return true;
}

void ViewerServices::start(Engine& engine, ShellBuilders& builders,
                           const ViewerOptions& options) {
  search_.host = options.searchHost;
  snapshotPath_ = options.snapshotEveryPath;
  width_ = options.snapshotWidth;
  height_ = options.snapshotHeight;
  period_ = std::chrono::milliseconds(options.snapshotEveryMs);
  nextSnapshot_ = std::chrono::steady_clock::now();
  builders.textBuilders().setMapSource([] { return mapInputsFrom(mapRegion().get()); });
  std::string reason;
  WebServerOptions web;
  web.bindAddress = options.bindAddress;
  web.trustedHosts = options.webHosts;
  if (!options.saveStatePath.empty()) web.privateFiles.push_back(options.saveStatePath);
  if (options.webPort != 0 && !web_.start(options.webPort, engine, web, &reason)) {
    std::fprintf(stderr, "kestrel: no web control: %s\n", reason.c_str());
  }
}

void ViewerServices::afterTick(Engine& engine) {
  web_.runEngineTasks(engine);
  if (period_.count() == 0 || snapshotPath_.empty()) return;
  auto now = std::chrono::steady_clock::now();
  if (now < nextSnapshot_) return;
  writeSnapshot(engine);
  // A slow render must not make snapshots back up: the next one is a whole
  // period after this one ended.
  nextSnapshot_ = std::chrono::steady_clock::now() + period_;
}

void ViewerServices::writeSnapshot(Engine& engine) {
  std::string reason;
  if (writer_(engine, width_, height_, snapshotPath_, &reason)) {
    reportedFailure_ = false;
    return;
  }
  if (reportedFailure_) return;  // said once until it works again
  reportedFailure_ = true;
  std::string message = "cannot write the snapshot " + snapshotPath_ + ": " + reason;
  errorLine(message.c_str());
  std::fprintf(stderr, "kestrel: %s\n", message.c_str());
}

bool ViewerServices::search(Engine& engine, const std::string& text) {
  return runSearch(engine, search_, text);
}

}  // namespace kestrel
