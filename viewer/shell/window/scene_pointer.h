// ScenePointer: the mouse as a pointing device in the scene. Each mouse
// event picks the geometry under the pointer (through the camera of the
// picture) and drives the browser's pointing-device sensors and Anchors; a
// press that sensors or an Anchor take is not the navigator's. A clicked
// Anchor is followed: "#Name" binds that Viewpoint, another VRML world
// replaces the scene only when confirmWorld agrees (nobody asked: never),
// anything else goes to openElsewhere (the desktop). GUI thread only.
//
// Free of Qt (the browser's event code uses a name Qt takes for a macro):
// the widgets show cursor and status from what it reports.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "viewer/browser/render/core/camera.h"
#include "viewer/browser/url_resolver.h"
#include "viewer/browser/vrml_browser.h"

class ScenePointer {
 public:
  ScenePointer(kestrel::CVrmlBrowser& browser, const kestrel::UrlResolver& resolver);
  ~ScenePointer();
  ScenePointer(const ScenePointer&) = delete;
  ScenePointer& operator=(const ScenePointer&) = delete;

  // The camera the user sees now, in a WIDTH x HEIGHT widget.
  void setCamera(const kestrel::Camera& camera, int width, int height);
  // Points into BROWSER's scene from now on (a replay's fresh engine);
  // sensors and kept meshes of the last one are forgotten, sending nothing.
  void show(kestrel::CVrmlBrowser& browser);

  // Pointer events at X, Y (widget pixels). press() is true when the
  // scene took it (the view must not move until the release).
  void move(int x, int y);
  bool press(int x, int y);
  void release(int x, int y);
  bool active() const;

  // For the cursor and the status line: over a sensor or an Anchor, and
  // the description of the Anchor under the pointer (else its url; empty
  // when there is none).
  bool overSensorOrAnchor() const;
  std::string anchorText() const;

  // Asked before another world replaces this one (URL as written, PATH the
  // file): true to go ahead. Unset: the world stays.
  std::function<bool(const std::string& url, const std::string& path)> confirmWorld;
  // Replaces the scene with the world in the file PATH.
  std::function<void(const std::string& path)> openWorld;
  // Hands a URL that is not a VRML world to the desktop; relative URLs
  // are relative to BASEDIR.
  std::function<void(const std::string& url, const std::string& baseDir)> openElsewhere;

 private:
  struct State;
  void follow(const kestrel::Node& anchor);
  void followWorld(const std::string& url);

  kestrel::CVrmlBrowser* browser_;
  const kestrel::UrlResolver& resolver_;
  std::unique_ptr<State> state_;
};
