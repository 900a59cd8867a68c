// ReplayPlayer: a journal replayed in the window. It plays the replay at the
// recorded pace times a speed, pauses, and seeks: forward by running the
// steps up to the time, back by starting over on a fresh engine and running
// fast to it. The window's picture is kept on the replay's scene (a fresh
// engine brings a fresh browser). The world clock follows the replay's time.
// GUI thread only.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "viewer/shell/replay_session.h"
#include "viewer/shell/viewer_options.h"

class ScenePicture;

class ReplayPlayer : public QObject {
  Q_OBJECT
 public:
  // Opens the journal OPTIONS.replayPath names and runs it to --from, paused
  // there; null with the reason in *ERROR when it cannot be read. PICTURE
  // shows the replay's scene from then on and must outlive the player.
  static std::unique_ptr<ReplayPlayer> open(const kestrel::ViewerOptions& options,
                                            ScenePicture& picture, std::string* error);
  ~ReplayPlayer() override;

  int64_t endTime() const { return session_->endTime(); }
  // Where playing stops: --to when given, else the journal's end.
  int64_t stopTime() const { return std::min(stopMs_, endTime()); }
  int64_t position() const { return session_->position(); }
  bool playing() const { return playing_; }
  double speed() const { return speed_; }
  kestrel::ReplaySession& session() { return *session_; }

  void play();
  void pause();
  void setSpeed(double speed);
  // Moves the replay to MS (clamped to the journal's span).
  void seekTo(int64_t ms);

 signals:
  void positionChanged(qint64 ms);
  void playingChanged(bool playing);
  void speedChanged(double speed);

 private:
  ReplayPlayer(std::unique_ptr<kestrel::ReplaySession> session, ScenePicture& picture,
               double speed, int64_t stopMs);
  // While playing, about every 16 ms: on by the time passed times the speed.
  void onTick();
  void showCurrentCore();

  std::unique_ptr<kestrel::ReplaySession> session_;
  ScenePicture& picture_;
  QTimer timer_;
  QElapsedTimer sinceAnchor_;
  int64_t anchorMs_ = 0;  // the position when playing (re)started
  double speed_ = 1.0;
  int64_t stopMs_ = INT64_MAX;
  bool playing_ = false;
};
