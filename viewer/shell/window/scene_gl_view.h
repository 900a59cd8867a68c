// SceneGlView: the live picture of the browser's scene in the window, an
// OpenGL 3.3 core widget drawn by GlRenderer straight into the widget's
// framebuffer. It only draws and hands input to its ScenePicture (the
// navigator and the pacing of redraws). GUI thread only.
#pragma once

#include <QOpenGLWidget>
#include <memory>
#include <string>

#include "viewer/shell/window/scene_picture.h"

class SceneGlView : public QOpenGLWidget {
  Q_OBJECT
 public:
  // BROWSER must outlive the widget. RENDERROOT: where texture paths under
  // "c:/corvid/render/" lead.
  SceneGlView(kestrel::CVrmlBrowser& browser, const std::string& renderRoot,
              QWidget* parent = nullptr);
  ~SceneGlView() override;

  // True when the window system gives OpenGL 3.3 core contexts; DESCRIPTION
  // tells what it gives (e.g. "4.5 core").
  static bool coreContextAvailable(std::string* description);

  ScenePicture& picture() { return picture_; }
  kestrel::Navigator& navigator() { return picture_.navigator(); }
  unsigned framesDrawn() const { return picture_.framesDrawn(); }
  // Why drawing is not possible or failed (empty while it works).
  const std::string& problem() const { return problem_.empty() ? picture_.problem() : problem_; }
  // The OpenGL version the window system gave, e.g. "3.3 core".
  const std::string& contextDescription() const { return contextDescription_; }

 protected:
  void initializeGL() override;
  void resizeGL(int width, int height) override;
  void paintGL() override;
  void mousePressEvent(QMouseEvent* event) override { picture_.mousePress(*event, *this); }
  void mouseMoveEvent(QMouseEvent* event) override { picture_.mouseMove(*event, *this); }
  void mouseReleaseEvent(QMouseEvent* event) override { picture_.mouseRelease(*event, *this); }
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void releaseRenderer();

  ScenePicture picture_;
  std::unique_ptr<kestrel::GlRenderer> renderer_;
  std::string problem_;  // set when the context or the renderer cannot be had
  std::string contextDescription_;
};
