#include "viewer/shell/window/replay_player.h"

#include <algorithm>
#include <cmath>

#include "viewer/shell/viewer_core.h"
#include "viewer/shell/window/scene_picture.h"

std::unique_ptr<ReplayPlayer> ReplayPlayer::open(const kestrel::ViewerOptions& options,
                                                 ScenePicture& picture, std::string* error) {
  std::unique_ptr<kestrel::ReplaySession> session = kestrel::ReplaySession::open(options, error);
  if (!session) return nullptr;
  std::unique_ptr<ReplayPlayer> player(
      new ReplayPlayer(std::move(session), picture, options.replaySpeed,
                       options.replayToMs >= 0 ? options.replayToMs : INT64_MAX));
  player->showCurrentCore();
  player->seekTo(options.replayFromMs);
  return player;
}

ReplayPlayer::ReplayPlayer(std::unique_ptr<kestrel::ReplaySession> session,
                           ScenePicture& picture, double speed, int64_t stopMs)
    : session_(std::move(session)), picture_(picture), speed_(speed), stopMs_(stopMs) {
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(16);
  connect(&timer_, &QTimer::timeout, this, &ReplayPlayer::onTick);
}

ReplayPlayer::~ReplayPlayer() = default;

void ReplayPlayer::play() {
  if (playing_) return;
  if (position() >= stopTime()) seekTo(0);  // at the end, play starts again
  playing_ = true;
  anchorMs_ = position();
  sinceAnchor_.start();
  timer_.start();
  emit playingChanged(true);
}

void ReplayPlayer::pause() {
  if (!playing_) return;
  playing_ = false;
  timer_.stop();
  emit playingChanged(false);
}

void ReplayPlayer::setSpeed(double speed) {
  if (!(speed > 0)) return;
  // The time played so far stays; only what follows goes faster or slower.
  anchorMs_ = position();
  sinceAnchor_.restart();
  speed_ = speed;
  emit speedChanged(speed);
}

void ReplayPlayer::seekTo(int64_t ms) {
  ms = std::clamp<int64_t>(ms, 0, endTime());
  const bool back = ms < position();
  session_->seekTo(ms);
  anchorMs_ = ms;
  sinceAnchor_.restart();
  // Going back started over on a fresh engine, whose browser may even sit
  // where the old one did: the picture is told in any case.
  if (back) showCurrentCore();
  emit positionChanged(ms);
}

void ReplayPlayer::onTick() {
  const double played = static_cast<double>(sinceAnchor_.elapsed()) * speed_;
  const int64_t target = anchorMs_ + static_cast<int64_t>(std::llround(played));
  if (target >= stopTime()) {
    session_->seekTo(stopTime());
    emit positionChanged(stopTime());
    pause();
    return;
  }
  session_->seekTo(target);
  emit positionChanged(target);
}

void ReplayPlayer::showCurrentCore() { picture_.show(session_->core().engine().browser()); }
