// ScenePicture: what a widget showing the browser's scene needs besides
// drawing itself: the user's Navigator fed from Qt's mouse, wheel and key
// events, and the pacing of redraws.
//
// The left button belongs to the scene's pointing-device sensors and Anchors
// when it goes down on them (ScenePointer), to the navigator otherwise.
//
// Pacing: frame() is called once per frame (about 16 ms) and asks the
// widget for a repaint only when the scene changed (the browser's change
// counters), the user navigated, the eye glides to a new viewpoint or the
// size changed, so any number of
// field changes between two frames cost one redraw. While commands wait
// for the engine (whose ticks share the thread), a frame is followed by a
// pause as long as itself, so the engine keeps at least half of the time
// however slow drawing gets; otherwise by a quarter of that. begin() drops the
// renderer's cached meshes when geometry changed or the scene was replaced
// (which also brings the eye back to the bound viewpoint). A running
// MovieTexture repaints every frame. Sound: while an AudioClip plays, each
// frame moves the scene's Sounds relative to the navigator's eye; the
// audio device is opened when the first clip plays (none: one log line,
// silence). GUI thread only.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "viewer/browser/render/gl/gl_renderer.h"
#include "viewer/browser/render/core/navigator.h"
#include "viewer/browser/url_resolver.h"
#include "viewer/browser/vrml_browser.h"
#include "viewer/media/media_codecs.h"
#include "viewer/shell/window/scene_pointer.h"
#include "viewer/shell/window/viewpoint_choice.h"

class QKeyEvent;
class QMouseEvent;
class QWheelEvent;

class ScenePicture {
 public:
  // BROWSER must outlive the picture. RENDERROOT: where texture paths under
  // "c:/corvid/render/" lead.
  ScenePicture(kestrel::CVrmlBrowser& browser, const std::string& renderRoot);

  // From the next frame on, shows BROWSER's scene instead (a replay that
  // started over on a fresh engine); BROWSER must outlive the picture or
  // the next call. The renderer's caches go and the eye returns to the
  // bound viewpoint, as for a replaced scene.
  void show(kestrel::CVrmlBrowser& browser);

  // Gives RENDERER this picture's texture lookup.
  void setUp(kestrel::GlRenderer& renderer);
  // One frame's worth of time went by: repaints WIDGET if anything changed.
  // COMMANDSWAITING: the engine has queued work.
  void frame(QWidget& widget, bool commandsWaiting = false);
  void resized() { sizeChanged_ = true; }

  // Around drawing one frame into a widget of WIDTH x HEIGHT (in mouse
  // coordinates): begin() returns the camera source for the renderer and
  // fills roots(); end() records what the frame showed.
  kestrel::CameraSource begin(kestrel::GlRenderer& renderer, int width, int height);
  void end(const std::string& problem);
  const std::vector<kestrel::NodePtr>& roots() const { return roots_; }
  const std::string& baseDir() const { return browser_->scene().baseDir; }

  // Qt's input, handed to the navigator; false when the key was not used.
  // Mouse events, which also reach the scene's sensors; VIEW (the widget
  // they came to) then shows what the pointer is over (showPointer).
  void mousePress(const QMouseEvent& event, QWidget& view);
  void mouseMove(const QMouseEvent& event, QWidget& view);
  void mouseRelease(const QMouseEvent& event, QWidget& view);
  void wheel(const QWheelEvent& event);
  bool key(const QKeyEvent& event);

  kestrel::Navigator& navigator() { return navigator_; }
  ScenePointer& pointer() { return pointer_; }
  // Whether the mouse reaches the scene's sensors and Anchors (not in a
  // replay, which only shows what the journal did); on at first.
  void setPointing(bool on) { pointing_ = on; }
  // Shows on VIEW what the pointer is over: a pointing hand over sensors
  // and Anchors, the Anchor's text in the status bar of VIEW's main window.
  void showPointer(QWidget& view);
  // The world's Viewpoints (Page Up / Page Down step through them).
  ViewpointChoice& viewpoints() { return viewpoints_; }
  // Frames drawn so far, and why the last one failed (empty when it worked).
  unsigned framesDrawn() const { return framesDrawn_; }
  const std::string& problem() const { return problem_; }

 private:
  // Whether the sound player should run this frame: an AudioClip runs, or
  // a movie that a Sound plays.
  bool soundWanted();
  void playSounds();
  // Points the pointer's picking through the camera the user sees now.
  void aimPointer();
  // Brings the navigator to the bound nodes and tells the browser where the
  // viewer now is.
  void placeViewer(int width, int height);
  // WALK and FLY collide with the scene's surfaces (rebuilt when it changed).
  void prepareCollisions();

  kestrel::CVrmlBrowser* browser_;
  bool browserChanged_ = false;
  kestrel::UrlResolver resolver_;
  kestrel::Navigator navigator_;
  kestrel::CollisionScene collision_;
  // changes().any and .geometry when collision_ was built.
  uint64_t collisionBuiltAt_ = ~uint64_t{0}, collisionMeshesAt_ = ~uint64_t{0};
  ScenePointer pointer_;
  ViewpointChoice viewpoints_;
  bool pointing_ = true;
  bool pointerHeld_ = false;  // the left button went down on sensors or an Anchor
  bool anchorShown_ = false;  // the status bar shows an Anchor's text
  int viewWidth_ = 1, viewHeight_ = 1;
  kestrel::SceneChanges drawn_;  // the counters when the last frame was drawn
  unsigned drawnNavigation_ = 0;
  bool sizeChanged_ = true;
  bool repaintAsked_ = false;
  unsigned framesDrawn_ = 0;
  std::string problem_;
  std::vector<kestrel::NodePtr> roots_;
  QElapsedTimer clock_;
  qint64 drawStart_ = 0, drawEnd_ = 0;  // of the last frame, nanoseconds on clock_
  kestrel::Vec3f centre_;
  float radius_ = 1;
  bool soundTried_ = false;
  std::unique_ptr<kestrel::SoundOutput> player_;  // null without the media codecs
  // Whether a Sound plays a MovieTexture, as of changes().any then.
  uint64_t movieSoundsSeenAt_ = ~uint64_t{0};
  bool movieSounds_ = false;
};
