// CPrismView: the view of the window. It owns the viewer's core (the engine
// and through it the browser and the scene, the command ports, the
// services), starts it and ticks the engine from a 1 ms timer on the GUI
// thread, and handles the toolbar's
// object commands exactly as the command language does. Its whole area is
// the live picture of the scene (SceneGlView); a frame timer of about
// 16 ms advances the browser clock, so animations play, and lets the
// picture redraw when something changed.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>

#include "viewer/engine/engine.h"
#include "viewer/shell/viewer_core.h"
#include "viewer/shell/viewer_options.h"
#include "viewer/shell/viewer_services.h"

namespace kestrel { class ReplayWeb; }
class ReplayBar;
class ReplayPlayer;
class SceneGlView;
class ScenePicture;
class ScenePointer;

class CPrismView : public QWidget {
  Q_OBJECT
 public:
  explicit CPrismView(const kestrel::ViewerOptions& options, QWidget* parent = nullptr);
  ~CPrismView() override;

  // Binds the command ports and starts their threads and the engine timer;
  // false with the reason in *error when a port is taken. With --replay the
  // view replays the journal instead, with a replay bar below the picture,
  // and serves no command port (the web port serves the live view and the
  // replay's controls): false when the journal cannot be read.
  bool start(std::string* error);
  // The end of the run: what is queued runs and --save-state is written
  // (of the replay, when replaying). False when the state cannot be written.
  bool finish();
  // The replay shown, or null when the view shows the live engine.
  ReplayPlayer* replay() { return replay_.get(); }
  kestrel::Engine& engine() { return core_.engine(); }
  kestrel::ViewerCore& core() { return core_; }

  // The command ids of the toolbar (and "Clear space!", the colour change).
  void runCommand(int id);
  bool sceneContent() const { return core_.engine().view().hasSceneContent(); }
  // The Search command's request for TEXT; false when the service is not there.
  bool search(const std::string& text) { return services().search(engine(), text); }
  kestrel::ViewerServices& services() { return core_.services(); }
  // The picture of the scene (owned by this view): an OpenGL widget, or
  // where the window system has no OpenGL 3.3 core, an off-screen drawn
  // image (then sceneView() is null).
  SceneGlView* sceneView() { return sceneView_; }
  QWidget* sceneWidget() { return sceneWidget_; }
  ScenePicture& picture() { return *picture_; }

 signals:
  // The scene-content flag changed: the frame enables its commands anew.
  void sceneContentChanged(bool content);

 private:
  void onTimer();
  // The snapshot of --snapshot-every from the OpenGL view, fitted into
  // WIDTH x HEIGHT, written beside PATH and renamed over it.
  bool writeWindowSnapshot(int width, int height, const std::string& path, std::string* error);
  void onFrame();
  bool startReplay(std::string* error);
  // The web port of a replay: its requests run here, on the GUI thread, and
  // the live view and /api/replay follow every change of the replay.
  void startReplayWeb();
  void runWebRequests();
  void showReplayOnWeb();
  // What a clicked Anchor does in the window: asks before another world
  // replaces the scene, hands other URLs to the desktop.
  void followAnchors(ScenePointer& pointer);

  kestrel::ViewerCore core_;
  SceneGlView* sceneView_ = nullptr;
  QWidget* sceneWidget_ = nullptr;
  ScenePicture* picture_ = nullptr;
  QTimer timer_;
  QTimer frameTimer_;
  QElapsedTimer clock_;  // the browser clock: seconds since start()
  bool lastContent_ = false;
  std::unique_ptr<ReplayPlayer> replay_;
  ReplayBar* replayBar_ = nullptr;
  std::unique_ptr<kestrel::ReplayWeb> replayWeb_;
};
