// SceneGlView: the live picture of the browser's scene in the window, an
// OpenGL 3.3 core widget. It only draws and hands the user's mouse, wheel
// and keys to its Navigator; the scene belongs to the browser it was given.
//
// Drawing is paced by frame(): the owner calls it once per frame (about
// 16 ms), and the widget asks for a repaint only when the scene changed
// (the browser's change counters), the user navigated or the size changed,
// so any number of field changes between two frames cost one redraw.
// Cached meshes are dropped when geometry changed or the scene was
// replaced; a replaced scene also brings the eye back to the bound
// viewpoint. GUI thread only.
#pragma once

#include <QOpenGLWidget>
#include <memory>
#include <string>

#include "viewer/browser/render/navigator.h"
#include "viewer/browser/scene_changes.h"
#include "viewer/browser/url_resolver.h"
#include "viewer/browser/vrml_browser.h"

namespace kestrel {
class GlRenderer;
}

class SceneGlView : public QOpenGLWidget {
  Q_OBJECT
 public:
  // BROWSER must outlive the widget. RENDERROOT: where texture paths under
  // "c:/corvid/render/" lead.
  SceneGlView(kestrel::CVrmlBrowser& browser, const std::string& renderRoot,
              QWidget* parent = nullptr);
  ~SceneGlView() override;

  // One frame's worth of time went by: repaint if anything changed.
  void frame();

  kestrel::Navigator& navigator() { return navigator_; }
  // Frames drawn so far, and why drawing failed (empty while it works).
  unsigned framesDrawn() const { return framesDrawn_; }
  const std::string& problem() const { return problem_; }
  // The OpenGL version the window system gave, e.g. "3.3 core".
  const std::string& contextDescription() const { return contextDescription_; }

 protected:
  void initializeGL() override;
  void resizeGL(int width, int height) override;
  void paintGL() override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void releaseRenderer();

  kestrel::CVrmlBrowser& browser_;
  kestrel::UrlResolver resolver_;
  std::unique_ptr<kestrel::GlRenderer> renderer_;
  kestrel::Navigator navigator_;
  kestrel::SceneChanges drawn_;  // the counters when the last frame was drawn
  unsigned drawnNavigation_ = 0;
  bool sizeChanged_ = true;
  bool repaintAsked_ = false;
  unsigned framesDrawn_ = 0;
  std::string problem_;
  std::string contextDescription_;
};
