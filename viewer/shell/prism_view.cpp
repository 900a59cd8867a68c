#include "viewer/shell/prism_view.h"

#include <QImage>
#include <filesystem>

#include <QColorDialog>
#include <QVBoxLayout>
#include <cstdio>

#include "viewer/intake/command_codes.h"
#include "viewer/intake/command_queue.h"
#include "viewer/shell/command_ids.h"
#include "viewer/shell/headless_run.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/shell/scene_gl_view.h"
#include "viewer/shell/scene_image_view.h"

CPrismView::CPrismView(const kestrel::ViewerOptions& options, QWidget* parent)
    : QWidget(parent),
      options_(options),
      engine_(kestrel::primaryQueue(), kestrel::secondaryQueue(),
              kestrel::chooseRenderRoot(options.renderRoot)),
      builders_(engine_, kestrel::primaryQueue(), kestrel::chooseRenderRoot(options.renderRoot)),
      primary_(kestrel::primaryPortConfig(options.commandPort, options.bindAddress)),
      secondary_(kestrel::secondaryPortConfig(options.secondaryPort, options.bindAddress)) {
  setObjectName("control101");
  setMinimumSize(320, 240);
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(1);
  connect(&timer_, &QTimer::timeout, this, &CPrismView::onTimer);
  frameTimer_.setTimerType(Qt::PreciseTimer);
  frameTimer_.setInterval(16);
  connect(&frameTimer_, &QTimer::timeout, this, &CPrismView::onFrame);
  engine_.setBuilders(&builders_);
  std::string renderRoot = kestrel::chooseRenderRoot(options.renderRoot), got;
  if (SceneGlView::coreContextAvailable(&got)) {
    sceneView_ = new SceneGlView(engine_.browser(), renderRoot, this);
    sceneWidget_ = sceneView_;
    picture_ = &sceneView_->picture();
    // The periodic snapshot is the window's own picture: no second OpenGL
    // context beside the window's, and the page sees what the user sees.
    services_.setSnapshotWriter([this](kestrel::Engine&, int width, int height,
                                       const std::string& path, std::string* error) {
      return writeWindowSnapshot(width, height, path, error);
    });
  } else {
    kestrel::logText("no OpenGL 3.3 core context in the window, drawing off screen; got:",
                     got.c_str());
    std::fprintf(stderr, "kestrel: no OpenGL 3.3 core context in the window (%s); the scene is "
                 "drawn off screen\n", got.c_str());
    auto* view = new SceneImageView(engine_.browser(), renderRoot, this);
    sceneWidget_ = view;
    picture_ = &view->picture();
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(sceneWidget_);
  setFocusProxy(sceneWidget_);
}

CPrismView::~CPrismView() {
  frameTimer_.stop();
  timer_.stop();
  services_.stop();
  delete sceneWidget_;  // before the browser it draws goes with the engine
  sceneWidget_ = nullptr;
  sceneView_ = nullptr;
  picture_ = nullptr;
  primary_.stop();
  secondary_.stop();
}

bool CPrismView::start(std::string* error) {
  if (!primary_.open(error) || !secondary_.open(error)) return false;
  services_.start(engine_, builders_, options_);
  primary_.start();
  secondary_.start();
  clock_.start();
  timer_.start();
  frameTimer_.start();
  return true;
}

void CPrismView::onTimer() {
  engine_.onTimer();
  services_.afterTick(engine_);
  bool content = sceneContent();
  if (content != lastContent_) {
    lastContent_ = content;
    emit sceneContentChanged(content);
  }
}

void CPrismView::runCommand(int id) {
  using namespace kestrel;
  ObjectOperations& r = engine_.operations();
  switch (id) {
    case 32773: r.move(1, -0.2f); break;
    case 32774: r.move(1, 0.2f); break;
    case 32775: r.move(0, 0.2f); break;
    case 32776: r.move(0, -0.2f); break;
    case 32777: r.move(2, 0.2f); break;
    case 32778: r.move(2, -0.2f); break;
    case 32781: r.scaleCommand(cmd::kTaller); break;
    case 32782: r.scaleCommand(cmd::kShorter); break;
    case 32783: r.scaleCommand(cmd::kFatter); break;
    case 32784: r.scaleCommand(cmd::kThinner); break;
    case 32785: engine_.cycleObjects(); break;
    case 32788: r.fadeOut(); break;
    case 32789: r.fadeIn(); break;
    case 32792: r.rotate(1, true); break;
    case 32793: r.rotate(1, false); break;
    case 32794: r.rotate(0, true); break;
    case 32795: r.rotate(0, false); break;
    case 32796: r.rotate(2, true); break;
    case 32797: r.rotate(2, false); break;
    case 32798: engine_.functions().execute(primaryQueue(), "jiggle"); break;
    case 32799:
      r.markToMarker(0);
      r.markToMarker(2);
      break;
    case 32772: engine_.view().ClearScene(); break;
    case 32780:
      engine_.view().ChangeObjectColor([this](std::array<int, 3> initial) {
        QColor chosen = QColorDialog::getColor(QColor(initial[0], initial[1], initial[2]), this);
        return chosen.isValid()
                   ? std::optional<std::array<int, 3>>({chosen.red(), chosen.green(), chosen.blue()})
                   : std::nullopt;
      });
      break;
    default: break;
  }
}

void CPrismView::onFrame() {
  engine_.browser().advanceTime(static_cast<double>(clock_.nsecsElapsed()) / 1e9);
  picture_->frame(*sceneWidget_, kestrel::primaryQueue().waiting() != 0 ||
                                     kestrel::secondaryQueue().waiting() != 0);
}

bool CPrismView::writeWindowSnapshot(int width, int height, const std::string& path,
                                     std::string* error) {
  QImage picture = sceneView_->grabFramebuffer();
  if (picture.isNull()) {
    *error = "the window's picture could not be read";
    return false;
  }
  picture = picture.scaled(width, height, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  QString partial = QString::fromStdString(path + ".part.png");
  if (!picture.save(partial, "PNG")) {
    *error = "cannot write " + partial.toStdString();
    return false;
  }
  std::error_code renameError;
  std::filesystem::rename(partial.toStdString(), path, renameError);
  if (renameError) {
    std::filesystem::remove(partial.toStdString());
    *error = "cannot replace " + path + ": " + renameError.message();
    return false;
  }
  return true;
}
