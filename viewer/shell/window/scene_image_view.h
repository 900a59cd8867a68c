// SceneImageView: the picture of the scene where the window system gives no
// OpenGL 3.3 core context. GlRenderer draws off screen in a context of its
// own (EGL on Mesa, no display needed) and the image is painted with
// QPainter. Slower than SceneGlView (every frame is read back), otherwise
// the same: input and pacing go through ScenePicture. GUI thread only.
#pragma once

#include <QImage>
#include <QWidget>
#include <memory>
#include <string>

#include "viewer/shell/window/scene_picture.h"

namespace kestrel {
class EglContext;
}

class SceneImageView : public QWidget {
  Q_OBJECT
 public:
  // BROWSER must outlive the widget. RENDERROOT: where texture paths under
  // "c:/corvid/render/" lead.
  SceneImageView(kestrel::CVrmlBrowser& browser, const std::string& renderRoot,
                 QWidget* parent = nullptr);
  ~SceneImageView() override;

  ScenePicture& picture() { return picture_; }
  // Why drawing is not possible or failed (empty while it works).
  const std::string& problem() const { return problem_.empty() ? picture_.problem() : problem_; }
  // The last frame drawn (null before the first).
  const QImage& image() const { return image_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override { picture_.mousePress(*event, *this); }
  void mouseMoveEvent(QMouseEvent* event) override { picture_.mouseMove(*event, *this); }
  void mouseReleaseEvent(QMouseEvent* event) override { picture_.mouseRelease(*event, *this); }
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool makeCurrent();
  void drawFrame();

  ScenePicture picture_;
  std::unique_ptr<kestrel::EglContext> context_;
  std::unique_ptr<kestrel::GlRenderer> renderer_;
  bool failed_ = false;  // no context or renderer: only the background is painted
  QImage image_;
  std::string problem_;
};
