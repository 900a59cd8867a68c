#include "viewer/shell/window/prism_view.h"

#include <QImage>
#include <filesystem>

#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>

#include "viewer/intake/command_codes.h"
#include "viewer/intake/command_queue.h"
#include "viewer/shell/window/command_ids.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/shell/window/scene_gl_view.h"
#include "viewer/shell/window/scene_image_view.h"
#include "viewer/shell/window/replay_bar.h"
#include "viewer/shell/window/replay_player.h"
#include "viewer/shell/replay_web.h"

CPrismView::CPrismView(const kestrel::ViewerOptions& options, QWidget* parent)
    : QWidget(parent), core_(options) {
  setObjectName("control101");
  setMinimumSize(320, 240);
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(1);
  connect(&timer_, &QTimer::timeout, this, &CPrismView::onTimer);
  frameTimer_.setTimerType(Qt::PreciseTimer);
  frameTimer_.setInterval(16);
  connect(&frameTimer_, &QTimer::timeout, this, &CPrismView::onFrame);
  const std::string& renderRoot = core_.renderRoot();
  std::string got;
  if (SceneGlView::coreContextAvailable(&got)) {
    sceneView_ = new SceneGlView(engine().browser(), renderRoot, this);
    sceneWidget_ = sceneView_;
    picture_ = &sceneView_->picture();
    // The periodic snapshot is the window's own picture: no second OpenGL
    // context beside the window's, and the page sees what the user sees.
    services().setSnapshotWriter([this](kestrel::Engine&, int width, int height,
                                       const std::string& path, std::string* error) {
      return writeWindowSnapshot(width, height, path, error);
    });
  } else {
    kestrel::logText("no OpenGL 3.3 core context in the window, drawing off screen; got:",
                     got.c_str());
    std::fprintf(stderr, "kestrel: no OpenGL 3.3 core context in the window (%s); the scene is "
                 "drawn off screen\n", got.c_str());
    auto* view = new SceneImageView(engine().browser(), renderRoot, this);
    sceneWidget_ = view;
    picture_ = &view->picture();
  }
  followAnchors(picture_->pointer());
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(sceneWidget_);
  setFocusProxy(sceneWidget_);
}

void CPrismView::followAnchors(ScenePointer& pointer) {
  pointer.confirmWorld = [this](const std::string& url, const std::string&) {
    QString question = QString("Replace the scene with the world %1?\nThe objects in the scene "
                               "now will be gone.").arg(QString::fromStdString(url));
    return QMessageBox::question(this, "Kestrel", question) == QMessageBox::Yes;
  };
  pointer.openWorld = [this](const std::string& path) {
    engine().view().ClearScene();
    engine().builders().openFile(path);
  };
  pointer.openElsewhere = [](const std::string& url, const std::string& baseDir) {
    QString dir = QString::fromStdString(baseDir.empty() ? "." : baseDir);
    QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(url),
                                                  QDir(dir).absolutePath(),
                                                  QUrl::AssumeLocalFile));
  };
}

CPrismView::~CPrismView() {
  // First: no web thread may hand this view work from now on.
  if (replayWeb_) replayWeb_->stop();
  frameTimer_.stop();
  timer_.stop();
  services().stop();
  delete replayBar_;
  replayBar_ = nullptr;
  delete sceneWidget_;  // before the browser it draws goes with the engine
  sceneWidget_ = nullptr;
  sceneView_ = nullptr;
  picture_ = nullptr;
}

bool CPrismView::start(std::string* error) {
  if (!core_.options().replayPath.empty()) return startReplay(error);
  uint16_t port = 0;
  if (!core_.openJournal(error)) return false;
  if (!core_.openPorts(error, &port)) return false;
  core_.start();
  clock_.start();
  timer_.start();
  frameTimer_.start();
  return true;
}

// A replay takes nothing from the command ports (they are not opened), the
// journal or the services: the window only shows what the journal did.
bool CPrismView::startReplay(std::string* error) {
  replay_ = ReplayPlayer::open(core_.options(), *picture_, error);
  if (!replay_) return false;
  picture_->setPointing(false);  // the journal's world reacts to nobody's mouse
  replayBar_ = new ReplayBar(*replay_, this);
  layout()->addWidget(replayBar_);
  frameTimer_.start();
  replay_->play();
  startReplayWeb();
  return true;
}

void CPrismView::startReplayWeb() {
  replayWeb_ = std::make_unique<kestrel::ReplayWeb>();
  showReplayOnWeb();  // the state is there before the first request
  replayWeb_->start(replay_->session().core().engine(), core_.options(), [this] {
    QMetaObject::invokeMethod(this, &CPrismView::runWebRequests, Qt::QueuedConnection);
  });
  connect(replay_.get(), &ReplayPlayer::positionChanged, this, &CPrismView::showReplayOnWeb);
  connect(replay_.get(), &ReplayPlayer::playingChanged, this, &CPrismView::showReplayOnWeb);
  connect(replay_.get(), &ReplayPlayer::speedChanged, this, &CPrismView::showReplayOnWeb);
  showReplayOnWeb();
}

void CPrismView::runWebRequests() {
  for (const kestrel::ReplayRequest& request : replayWeb_->take()) {
    if (request.speed) replay_->setSpeed(*request.speed);
    if (request.seekMs) replay_->seekTo(*request.seekMs);
    if (request.play) *request.play ? replay_->play() : replay_->pause();
  }
}

void CPrismView::showReplayOnWeb() {
  kestrel::ReplaySession& session = replay_->session();
  kestrel::ReplayState state{replay_->position(), replay_->endTime(), replay_->playing(),
                             replay_->speed()};
  replayWeb_->show(session.core().engine(), session.coresMade(), state);
}

bool CPrismView::finish() {
  if (replay_) return replay_->session().finish();
  return core_.finish();
}

void CPrismView::onTimer() {
  core_.tick();
  bool content = sceneContent();
  if (content != lastContent_) {
    lastContent_ = content;
    emit sceneContentChanged(content);
  }
}

void CPrismView::runCommand(int id) {
  using namespace kestrel;
  using namespace kestrel::shell;
  if (replay_) return;  // a replay only shows what the journal did
  Engine& engine = core_.engine();
  ObjectOperations& r = engine.operations();
  switch (id) {
    case kMoveDown: r.move(1, -0.2f); break;
    case kMoveUp: r.move(1, 0.2f); break;
    case kMoveRight: r.move(0, 0.2f); break;
    case kMoveLeft: r.move(0, -0.2f); break;
    case kZoomIn: r.move(2, 0.2f); break;
    case kZoomOut: r.move(2, -0.2f); break;
    case kTaller: r.scaleCommand(cmd::kTaller); break;
    case kShorter: r.scaleCommand(cmd::kShorter); break;
    case kFatter: r.scaleCommand(cmd::kFatter); break;
    case kThinner: r.scaleCommand(cmd::kThinner); break;
    case kCycle: engine.cycleObjects(); break;
    case kFadeOut: r.fadeOut(); break;
    case kFadeIn: r.fadeIn(); break;
    case kRotateLeft: r.rotate(1, true); break;
    case kRotateRight: r.rotate(1, false); break;
    case kRotateTowards: r.rotate(0, true); break;
    case kRotateAway: r.rotate(0, false); break;
    case kRotateLeftZ: r.rotate(2, true); break;
    case kRotateRightZ: r.rotate(2, false); break;
    case kJiggle: engine.functions().execute(core_.primary(), "jiggle"); break;
    case kMoveToMarker:
      r.markToMarker(0);
      r.markToMarker(2);
      break;
    case kClearSpace: engine.view().ClearScene(); break;
    case kChangeColor:
      engine.view().ChangeObjectColor([this](std::array<int, 3> initial) {
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
  // A replay's world clock follows the replay's time (ReplayPlayer).
  if (!replay_) engine().browser().advanceTime(static_cast<double>(clock_.nsecsElapsed()) / 1e9);
  picture_->frame(*sceneWidget_, !replay_ && core_.busy());
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
