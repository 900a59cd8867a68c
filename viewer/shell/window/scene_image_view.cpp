#include "viewer/shell/window/scene_image_view.h"

#include <QKeyEvent>
#include <algorithm>
#include <QOpenGLContext>
#include <QPainter>
#include <QWheelEvent>

#include "viewer/browser/render/gl/egl_context.h"
#include "viewer/intake/diagnostic_log.h"

SceneImageView::SceneImageView(kestrel::CVrmlBrowser& browser, const std::string& renderRoot,
                               QWidget* parent)
    : QWidget(parent), picture_(browser, renderRoot) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);  // the scene's sensors see the pointer without a button held
  setObjectName("sceneView");
}

SceneImageView::~SceneImageView() {
  // The renderer's buffers belong to the context. Should it not become
  // current, no context is: freeing them then touches nothing else.
  if (renderer_) makeCurrent();
  renderer_.reset();
  context_.reset();
}

bool SceneImageView::makeCurrent() {
  if (failed_) return false;
  // One thread has one current context: a Qt one would stand in the way.
  if (QOpenGLContext* qt = QOpenGLContext::currentContext()) qt->doneCurrent();
  if (context_) return context_->makeCurrent();
  context_ = kestrel::EglContext::create(&problem_);
  auto renderer = std::make_unique<kestrel::GlRenderer>();
  if (!context_ || !renderer->init(&problem_)) {
    failed_ = true;
    kestrel::logText("cannot draw the scene:", problem_.c_str());
    return false;
  }
  picture_.setUp(*renderer);
  renderer_ = std::move(renderer);
  return true;
}

void SceneImageView::drawFrame() {
  if (!makeCurrent()) return;
  kestrel::CameraSource camera = picture_.begin(*renderer_, width(), height());
  qreal ratio = devicePixelRatioF();
  int w = std::max(1, int(width() * ratio)), h = std::max(1, int(height() * ratio));
  kestrel::RgbaImage frame;
  std::string error;
  if (renderer_->render(picture_.roots(), picture_.baseDir(), w, h, camera, frame, &error)) {
    image_ = QImage(frame.pixels.data(), w, h, QImage::Format_RGBA8888).copy();
    image_.setDevicePixelRatio(ratio);
  }
  picture_.end(error);
}

void SceneImageView::paintEvent(QPaintEvent*) {
  drawFrame();
  QPainter painter(this);
  if (image_.isNull()) {
    painter.fillRect(rect(), Qt::black);
  } else {
    painter.drawImage(QPoint(0, 0), image_);
  }
}

void SceneImageView::resizeEvent(QResizeEvent* event) {
  picture_.resized();
  QWidget::resizeEvent(event);
}

void SceneImageView::wheelEvent(QWheelEvent* event) {
  picture_.wheel(*event);
  event->accept();
}

void SceneImageView::keyPressEvent(QKeyEvent* event) {
  if (!picture_.key(*event)) QWidget::keyPressEvent(event);
}
