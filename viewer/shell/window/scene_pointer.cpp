#include "viewer/shell/window/scene_pointer.h"

#include "viewer/browser/anchor_links.h"
#include "viewer/browser/pointing_sensors.h"
#include "viewer/intake/diagnostic_log.h"

using kestrel::AnchorLink;

struct ScenePointer::State {
  kestrel::Picker picker;
  kestrel::PointingSensors sensors;
  kestrel::SceneChanges seen;  // the counters when the picker's meshes were made
  kestrel::Camera camera;
  int width = 1, height = 1;
  std::vector<kestrel::NodePtr> roots;
  std::string hitDir;  // where the last hit's relative URLs resolve

  kestrel::PointerSample sample(kestrel::CVrmlBrowser& browser, int x, int y) {
    const kestrel::SceneChanges& now = browser.changes();
    if (now.geometry != seen.geometry) picker.clearCache();
    if (now.replaced != seen.replaced) sensors.reset();
    seen = now;
    roots = browser.scene().rootNodes();
    kestrel::PointerSample s;
    s.ray = kestrel::rayThroughPixel(camera, float(x) + 0.5f, float(y) + 0.5f, width, height);
    s.hit = picker.pick(roots, browser.scene().baseDir, camera.viewer, s.ray);
    s.roots = &roots;
    if (s.hit.hit()) hitDir = s.hit.baseDir;
    return s;
  }
};

ScenePointer::ScenePointer(kestrel::CVrmlBrowser& browser, const kestrel::UrlResolver& resolver)
    : browser_(&browser), resolver_(resolver), state_(std::make_unique<State>()) {}

ScenePointer::~ScenePointer() = default;

void ScenePointer::show(kestrel::CVrmlBrowser& browser) {
  browser_ = &browser;
  kestrel::Camera camera = state_->camera;
  int width = state_->width, height = state_->height;
  state_ = std::make_unique<State>();
  setCamera(camera, width, height);
}

void ScenePointer::setCamera(const kestrel::Camera& camera, int width, int height) {
  state_->camera = camera;
  state_->width = std::max(width, 1);
  state_->height = std::max(height, 1);
}

void ScenePointer::move(int x, int y) {
  kestrel::PointerSample s = state_->sample(*browser_, x, y);
  kestrel::Cascade cascade = browser_->cascade();
  state_->sensors.move(s, cascade);
}

bool ScenePointer::press(int x, int y) {
  kestrel::PointerSample s = state_->sample(*browser_, x, y);
  kestrel::Cascade cascade = browser_->cascade();
  return state_->sensors.press(s, cascade);
}

void ScenePointer::release(int x, int y) {
  kestrel::PointerSample s = state_->sample(*browser_, x, y);
  kestrel::NodePtr anchor;
  {
    kestrel::Cascade cascade = browser_->cascade();
    anchor = state_->sensors.release(s, cascade);
  }
  if (anchor) follow(*anchor);
}

bool ScenePointer::active() const { return state_->sensors.active(); }

bool ScenePointer::overSensorOrAnchor() const {
  return state_->sensors.overSensor() || state_->sensors.anchorUnder() != nullptr;
}

std::string ScenePointer::anchorText() const {
  const kestrel::NodePtr& anchor = state_->sensors.anchorUnder();
  if (!anchor) return {};
  AnchorLink link = kestrel::anchorLink(*anchor);
  return link.description.empty() ? link.url : link.description;
}

void ScenePointer::follow(const kestrel::Node& anchor) {
  AnchorLink link = kestrel::anchorLink(anchor);
  switch (link.target) {
    case AnchorLink::Target::Viewpoint: {
      kestrel::NodeHandle viewpoint;
      kestrel::Cascade cascade = browser_->cascade();
      if (!browser_->findNode(link.url, viewpoint) ||
          !kestrel::bindViewpoint(viewpoint.node(), cascade)) {
        kestrel::logText("an Anchor names no Viewpoint:", link.url.c_str());
      }
      break;
    }
    case AnchorLink::Target::World: followWorld(link.url); break;
    case AnchorLink::Target::Elsewhere:
      if (openElsewhere) openElsewhere(link.url, state_->hitDir);
      break;
    case AnchorLink::Target::None: break;
  }
}

void ScenePointer::followWorld(const std::string& url) {
  std::string path;
  std::string file = url.substr(0, url.find('#'));
  if (!resolver_.resolve(file, state_->hitDir, path)) {
    kestrel::logText("an Anchor's world cannot be found:", url.c_str());
    return;
  }
  // The scene the commands built is the user's work: only the user may
  // throw it away.
  if (confirmWorld && openWorld && confirmWorld(url, path)) openWorld(path);
}
