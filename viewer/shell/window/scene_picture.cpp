#include "viewer/shell/window/scene_picture.h"

#include <QKeyEvent>
#include <QMainWindow>
#include <QMouseEvent>
#include <QStatusBar>
#include <QWheelEvent>
#include <algorithm>

#include "viewer/browser/render/core/traversal.h"
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

// Whether a Sound in the scene has a MovieTexture as its source (and so
// plays the movie's sound track).
bool soundsPlayMovies(const std::vector<kestrel::NodePtr>& roots) {
  bool found = false;
  kestrel::forEachNode(roots, [&](const kestrel::NodePtr& n) {
    if (found || n->type->kind != kestrel::NodeKind::Sound) return;
    const kestrel::FieldValue* v = n->field("source");
    const kestrel::NodePtr* source = v ? v->as<kestrel::NodePtr>() : nullptr;
    const kestrel::Node* clip = source ? kestrel::actualNode(source->get()) : nullptr;
    found = clip && clip->type->kind == kestrel::NodeKind::MovieTexture;
  });
  return found;
}

}  // namespace

ScenePicture::ScenePicture(kestrel::CVrmlBrowser& browser, const std::string& renderRoot)
    : browser_(&browser), resolver_(renderRoot), pointer_(browser, resolver_),
      viewpoints_(browser) {
  clock_.start();
}

void ScenePicture::show(kestrel::CVrmlBrowser& browser) {
  browser_ = &browser;
  browserChanged_ = true;
  if (player_) player_->reset();  // its sources belong to the other scene
  movieSoundsSeenAt_ = ~uint64_t{0};
  pointer_.show(browser);
  viewpoints_.show(browser);
  pointerHeld_ = false;
}

void ScenePicture::setUp(kestrel::GlRenderer& renderer) {
  renderer.setBindingSource([this] { return browser_->boundNodes(); });
  renderer.setResolver([this](const std::string& url, const std::string& dir, std::string& path) {
    return resolver_.resolve(url, dir, path);
  });
  renderer.setMediaPositions(
      [this](const kestrel::Node& clip) { return browser_->mediaPosition(clip); });
}

bool ScenePicture::soundWanted() {
  if (browser_->clipsRunning(kestrel::NodeKind::AudioClip)) return true;
  if (!browser_->clipsRunning(kestrel::NodeKind::MovieTexture)) return false;
  if (soundTried_) return player_ != nullptr;
  // A running movie opens the device only when a Sound plays it: looked
  // for again when the scene changed.
  if (movieSoundsSeenAt_ != browser_->changes().any) {
    movieSoundsSeenAt_ = browser_->changes().any;
    movieSounds_ = soundsPlayMovies(browser_->scene().rootNodes());
  }
  return movieSounds_;
}

void ScenePicture::playSounds() {
  const bool audio = soundWanted();
  if (!audio && (!player_ || player_->playing() == 0)) return;
  if (!soundTried_) {
    soundTried_ = true;
    if (kestrel::MediaCodecs* codecs = kestrel::mediaCodecs())
      player_ = codecs->openSound(resolver_.renderRoot());
  }
  if (!player_) return;
  const auto& roots = browser_->scene().rootNodes();
  player_->update(*browser_, navigator_.camera(kestrel::findBindings(roots),
                                               std::max(viewWidth_, 1), std::max(viewHeight_, 1),
                                               centre_, radius_));
}

void ScenePicture::frame(QWidget& widget, bool commandsWaiting) {
  playSounds();
  bool changed = browserChanged_ || browser_->changes().any != drawn_.any ||
                 navigator_.revision() != drawnNavigation_ || sizeChanged_ ||
                 navigator_.gliding() ||
                 browser_->clipsRunning(kestrel::NodeKind::MovieTexture);
  qint64 took = drawEnd_ - drawStart_;
  qint64 pause = commandsWaiting ? took : took / 4;
  if (changed && !repaintAsked_ && clock_.nsecsElapsed() >= drawEnd_ + pause) {
    repaintAsked_ = true;
    widget.update();
  }
}

kestrel::CameraSource ScenePicture::begin(kestrel::GlRenderer& renderer, int width,
                                          int height) {
  repaintAsked_ = false;
  sizeChanged_ = false;
  drawStart_ = clock_.nsecsElapsed();
  const bool fresh = browserChanged_;  // a replay's seek brought another browser
  browserChanged_ = false;
  if (fresh || browser_->changes().replaced != drawn_.replaced) navigator_.reset();
  if (fresh) collisionBuiltAt_ = collisionMeshesAt_ = ~uint64_t{0};
  roots_ = browser_->scene().rootNodes();
  navigator_.setViewport(width, height);
  viewWidth_ = width;
  viewHeight_ = height;
  placeViewer(width, height);
  const kestrel::SceneChanges& now = browser_->changes();
  if (fresh || now.geometry != drawn_.geometry) renderer.clearCaches();
  drawn_ = now;
  // The renderer asks twice a frame; the last call has the scene's bounds.
  return [this](const kestrel::Bindings& bound, int w, int h, kestrel::Vec3f c, float r) {
    centre_ = c;
    radius_ = r;
    return navigator_.camera(bound, w, h, c, r);
  };
}

void ScenePicture::placeViewer(int width, int height) {
  const kestrel::BoundNodes bound = browser_->boundNodes();
  const kestrel::Bindings bindings = kestrel::findBindings(roots_, &bound);
  navigator_.bind(bindings, double(clock_.nsecsElapsed()) / 1e9);
  prepareCollisions();
  // Sensors that follow the viewer (a heads-up display) answer before drawing.
  browser_->viewerMoved(kestrel::viewerPose(navigator_.eyeToWorld(), navigator_.fieldOfView(),
                                           bindings, width, height));
}

void ScenePicture::prepareCollisions() {
  for (const kestrel::Node* group : navigator_.takeCollisions())
    if (group) browser_->viewerCollided(group);
  const Navigator::Mode mode = navigator_.mode();
  if (mode != Navigator::Mode::Walk && mode != Navigator::Mode::Fly) {
    navigator_.setCollisionScene(nullptr);
    return;
  }
  const kestrel::SceneChanges& now = browser_->changes();
  if (now.geometry != collisionMeshesAt_) collision_.forgetMeshes();
  if (now.any != collisionBuiltAt_) collision_.build(roots_, navigator_.position());
  collisionMeshesAt_ = now.geometry;
  collisionBuiltAt_ = now.any;
  navigator_.setCollisionScene(&collision_);
  navigator_.settle();
}

void ScenePicture::end(const std::string& problem) {
  if (!problem.empty() && problem != problem_) {
    kestrel::logText("cannot draw the scene:", problem.c_str());
  }
  problem_ = problem;
  navigator_.setSceneBounds(centre_, radius_);
  drawnNavigation_ = navigator_.revision();
  roots_.clear();
  ++framesDrawn_;
  drawEnd_ = clock_.nsecsElapsed();
}

void ScenePicture::aimPointer() {
  const kestrel::BoundNodes stacks = browser_->boundNodes();
  kestrel::Bindings bound = kestrel::findBindings(browser_->scene().rootNodes(), &stacks);
  pointer_.setCamera(navigator_.camera(bound, viewWidth_, viewHeight_, centre_, radius_),
                     viewWidth_, viewHeight_);
}

void ScenePicture::mousePress(const QMouseEvent& event, QWidget& view) {
  QPoint p = event.position().toPoint();
  if (pointing_ && event.button() == Qt::LeftButton && !pointerHeld_) {
    aimPointer();
    pointerHeld_ = pointer_.press(p.x(), p.y());
  }
  if (!pointerHeld_ || event.button() != Qt::LeftButton) {
    navigator_.press(buttonBits(event.button()), p.x(), p.y(), modifierBits(event.modifiers()));
  }
  showPointer(view);
}

void ScenePicture::mouseMove(const QMouseEvent& event, QWidget& view) {
  QPoint p = event.position().toPoint();
  if (pointing_) {
    aimPointer();
    pointer_.move(p.x(), p.y());
  }
  navigator_.move(p.x(), p.y(), modifierBits(event.modifiers()));
  showPointer(view);
}

void ScenePicture::mouseRelease(const QMouseEvent& event, QWidget& view) {
  QPoint p = event.position().toPoint();
  if (event.button() == Qt::LeftButton && pointerHeld_) {
    pointerHeld_ = false;
    aimPointer();
    pointer_.release(p.x(), p.y());
  } else {
    navigator_.release(buttonBits(event.button()));
  }
  showPointer(view);
}

void ScenePicture::wheel(const QWheelEvent& event) {
  navigator_.wheel(float(event.angleDelta().y()) / 120.0f);
}

bool ScenePicture::key(const QKeyEvent& event) {
  // A world with Viewpoints steps through them; without, the navigator
  // looks up and down.
  if (pointing_ && event.key() == Qt::Key_PageDown && viewpoints_.step(1)) return true;
  if (pointing_ && event.key() == Qt::Key_PageUp && viewpoints_.step(-1)) return true;
  using Key = Navigator::Key;
  Key key;
  switch (event.key()) {
    case Qt::Key_Home: key = Key::Home; break;
    case Qt::Key_Up: key = Key::Up; break;
    case Qt::Key_Down: key = Key::Down; break;
    case Qt::Key_Left: key = Key::Left; break;
    case Qt::Key_Right: key = Key::Right; break;
    case Qt::Key_PageUp: key = Key::PageUp; break;
    case Qt::Key_PageDown: key = Key::PageDown; break;
    default: return false;
  }
  return navigator_.key(key);
}

void ScenePicture::showPointer(QWidget& view) {
  view.setCursor(pointer_.overSensorOrAnchor() ? Qt::PointingHandCursor : Qt::ArrowCursor);
  auto* frame = qobject_cast<QMainWindow*>(view.window());
  if (!frame) return;
  std::string text = pointer_.anchorText();
  if (!text.empty()) {
    frame->statusBar()->showMessage(QString::fromStdString(text));
    anchorShown_ = true;
  } else if (anchorShown_) {
    frame->statusBar()->clearMessage();
    anchorShown_ = false;
  }
}
