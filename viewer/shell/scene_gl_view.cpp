#include "viewer/shell/scene_gl_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <QWheelEvent>

#include "viewer/browser/render/gl_renderer.h"
#include "viewer/browser/render/traversal.h"
#include "viewer/intake/diagnostic_log.h"

using kestrel::Navigator;

namespace {

int buttonBits(Qt::MouseButtons buttons) {
  int bits = 0;
  if (buttons & Qt::LeftButton) bits |= Navigator::kLeft;
  if (buttons & Qt::MiddleButton) bits |= Navigator::kMiddle;
  if (buttons & Qt::RightButton) bits |= Navigator::kRight;
  return bits;
}

int modifierBits(Qt::KeyboardModifiers modifiers) {
  int bits = 0;
  if (modifiers & Qt::ShiftModifier) bits |= Navigator::kShift;
  if (modifiers & Qt::ControlModifier) bits |= Navigator::kControl;
  return bits;
}

}  // namespace

SceneGlView::SceneGlView(kestrel::CVrmlBrowser& browser, const std::string& renderRoot,
                         QWidget* parent)
    : QOpenGLWidget(parent), browser_(browser), resolver_(renderRoot) {
  QSurfaceFormat format;
  format.setVersion(3, 3);
  format.setProfile(QSurfaceFormat::CoreProfile);
  format.setDepthBufferSize(24);
  format.setStencilBufferSize(8);
  setFormat(format);
  setFocusPolicy(Qt::StrongFocus);
  setObjectName("sceneView");
}

SceneGlView::~SceneGlView() { releaseRenderer(); }

void SceneGlView::releaseRenderer() {
  if (!renderer_) return;
  // The renderer's buffers belong to this widget's context.
  makeCurrent();
  renderer_.reset();
  doneCurrent();
}

void SceneGlView::initializeGL() {
  renderer_.reset();
  QSurfaceFormat got = context()->format();
  contextDescription_ = std::to_string(got.majorVersion()) + "." +
                        std::to_string(got.minorVersion()) +
                        (got.profile() == QSurfaceFormat::CoreProfile ? " core" : " compatibility");
  if (got.majorVersion() * 10 + got.minorVersion() < 33) {
    problem_ = "OpenGL 3.3 is not available (got " + contextDescription_ + ")";
    kestrel::errorLine(problem_.c_str());
    return;
  }
  auto renderer = std::make_unique<kestrel::GlRenderer>();
  if (!renderer->init(&problem_)) {
    kestrel::errorLine(("cannot draw the scene: " + problem_).c_str());
    return;
  }
  renderer->setResolver([this](const std::string& url, const std::string& dir, std::string& path) {
    return resolver_.resolve(url, dir, path);
  });
  renderer_ = std::move(renderer);
  problem_.clear();
  // A new context (the widget moved to another window) has none of the old meshes.
  drawn_ = kestrel::SceneChanges{};
  connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &SceneGlView::releaseRenderer,
          Qt::UniqueConnection);
}

void SceneGlView::resizeGL(int, int) { sizeChanged_ = true; }

void SceneGlView::frame() {
  bool changed = browser_.changes().any != drawn_.any ||
                 navigator_.revision() != drawnNavigation_ || sizeChanged_;
  if (changed && !repaintAsked_) {
    repaintAsked_ = true;
    update();
  }
}

void SceneGlView::paintGL() {
  repaintAsked_ = false;
  sizeChanged_ = false;
  if (!renderer_) return;
  const kestrel::SceneChanges& now = browser_.changes();
  if (now.geometry != drawn_.geometry) renderer_->clearCaches();
  if (now.replaced != drawn_.replaced) navigator_.reset();
  drawn_ = now;

  const kestrel::Scene& scene = browser_.scene();
  const std::vector<kestrel::NodePtr> roots = scene.rootNodes();
  int w = int(width() * devicePixelRatioF()), h = int(height() * devicePixelRatioF());
  navigator_.setViewport(w, h);
  navigator_.bind(kestrel::findBindings(roots));
  kestrel::Vec3f centre;
  float radius = 1;
  kestrel::CameraSource camera = [&](const kestrel::Bindings& bound, int fw, int fh,
                                     kestrel::Vec3f c, float r) {
    centre = c;
    radius = r;
    return navigator_.camera(bound, fw, fh, c, r);
  };
  std::string error;
  if (!renderer_->drawInto(defaultFramebufferObject(), roots, scene.baseDir, w, h, camera,
                           &error)) {
    if (error != problem_) kestrel::errorLine(("cannot draw the scene: " + error).c_str());
    problem_ = error;
  } else {
    problem_.clear();
  }
  navigator_.setSceneBounds(centre, radius);
  drawnNavigation_ = navigator_.revision();
  ++framesDrawn_;
}

void SceneGlView::mousePressEvent(QMouseEvent* event) {
  QPoint p = event->position().toPoint();
  navigator_.press(buttonBits(event->button()), p.x(), p.y(), modifierBits(event->modifiers()));
}

void SceneGlView::mouseMoveEvent(QMouseEvent* event) {
  QPoint p = event->position().toPoint();
  navigator_.move(p.x(), p.y(), modifierBits(event->modifiers()));
}

void SceneGlView::mouseReleaseEvent(QMouseEvent* event) {
  navigator_.release(buttonBits(event->button()));
}

void SceneGlView::wheelEvent(QWheelEvent* event) {
  navigator_.wheel(float(event->angleDelta().y()) / 120.0f);
  event->accept();
}

void SceneGlView::keyPressEvent(QKeyEvent* event) {
  using Key = Navigator::Key;
  Key key;
  switch (event->key()) {
    case Qt::Key_Home: key = Key::Home; break;
    case Qt::Key_Up: key = Key::Up; break;
    case Qt::Key_Down: key = Key::Down; break;
    case Qt::Key_Left: key = Key::Left; break;
    case Qt::Key_Right: key = Key::Right; break;
    case Qt::Key_PageUp: key = Key::PageUp; break;
    case Qt::Key_PageDown: key = Key::PageDown; break;
    default: QOpenGLWidget::keyPressEvent(event); return;
  }
  if (!navigator_.key(key)) QOpenGLWidget::keyPressEvent(event);
}
