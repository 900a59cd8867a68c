#include "viewer/shell/window/scene_gl_view.h"

#include <QKeyEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QSurfaceFormat>
#include <QWheelEvent>

#include "viewer/intake/diagnostic_log.h"

namespace {

QSurfaceFormat coreFormat() {
  QSurfaceFormat format;
  format.setVersion(3, 3);
  format.setProfile(QSurfaceFormat::CoreProfile);
  format.setDepthBufferSize(24);
  format.setStencilBufferSize(8);
  return format;
}

std::string describe(const QSurfaceFormat& got) {
  return std::to_string(got.majorVersion()) + "." + std::to_string(got.minorVersion()) +
         (got.profile() == QSurfaceFormat::CoreProfile ? " core" : " compatibility");
}

bool isCore33(const QSurfaceFormat& got) {
  return got.majorVersion() * 10 + got.minorVersion() >= 33 &&
         got.profile() == QSurfaceFormat::CoreProfile;
}

}  // namespace

SceneGlView::SceneGlView(kestrel::CVrmlBrowser& browser, const std::string& renderRoot,
                         QWidget* parent)
    : QOpenGLWidget(parent), picture_(browser, renderRoot) {
  setFormat(coreFormat());
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);  // the scene's sensors see the pointer without a button held
  setObjectName("sceneView");
}

SceneGlView::~SceneGlView() {
  // The base class destroys the context later, when this object is gone.
  if (QOpenGLContext* c = context()) disconnect(c, nullptr, this, nullptr);
  releaseRenderer();
}

bool SceneGlView::coreContextAvailable(std::string* description) {
  QOpenGLContext probe;
  probe.setFormat(coreFormat());
  if (!probe.create()) {
    if (description) *description = "no OpenGL context";
    return false;
  }
  if (description) *description = describe(probe.format());
  return isCore33(probe.format());
}

void SceneGlView::releaseRenderer() {
  if (!renderer_) return;
  // The renderer's buffers belong to this widget's context.
  makeCurrent();
  renderer_.reset();
  doneCurrent();
}

void SceneGlView::initializeGL() {
  renderer_.reset();
  contextDescription_ = describe(context()->format());
  if (!isCore33(context()->format())) {
    problem_ = "OpenGL 3.3 core is not available (got " + contextDescription_ + ")";
    kestrel::logLine(problem_.c_str());
    return;
  }
  auto renderer = std::make_unique<kestrel::GlRenderer>();
  if (!renderer->init(&problem_)) {
    kestrel::logText("cannot draw the scene:", problem_.c_str());
    return;
  }
  picture_.setUp(*renderer);
  renderer_ = std::move(renderer);
  problem_.clear();
  connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &SceneGlView::releaseRenderer,
          Qt::UniqueConnection);
}

void SceneGlView::resizeGL(int, int) { picture_.resized(); }

void SceneGlView::paintGL() {
  if (!renderer_) {
    QOpenGLFunctions* gl = context()->functions();
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    return;
  }
  kestrel::CameraSource camera = picture_.begin(*renderer_, width(), height());
  int w = int(width() * devicePixelRatioF()), h = int(height() * devicePixelRatioF());
  std::string error;
  renderer_->drawInto(defaultFramebufferObject(), picture_.roots(), picture_.baseDir(), w, h,
                      camera, &error);
  // Done here rather than later in the window's compositing, so that the
  // picture's pacing sees what the frame really cost.
  context()->functions()->glFinish();
  picture_.end(error);
}

void SceneGlView::wheelEvent(QWheelEvent* event) {
  picture_.wheel(*event);
  event->accept();
}

void SceneGlView::keyPressEvent(QKeyEvent* event) {
  if (!picture_.key(*event)) QOpenGLWidget::keyPressEvent(event);
}
