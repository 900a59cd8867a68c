#include "viewer/shell/window/replay_bar.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <algorithm>
#include <cstdint>

#include "viewer/shell/window/replay_player.h"

namespace {

constexpr double kSpeeds[] = {0.25, 0.5, 1, 2, 4, 8, 16, 64, 256};

QString secondsText(qint64 ms) { return QString::number(static_cast<double>(ms) / 1000.0, 'f', 1); }

// A QSlider holds an int: journals longer than 24 days are shown in steps.
int sliderValue(qint64 ms) { return static_cast<int>(std::min<qint64>(ms, INT32_MAX)); }

}  // namespace

ReplayBar::ReplayBar(ReplayPlayer& player, QWidget* parent)
    : QWidget(parent),
      player_(player),
      play_(new QToolButton(this)),
      speed_(new QComboBox(this)),
      slider_(new QSlider(Qt::Horizontal, this)),
      time_(new QLabel(this)) {
  setObjectName("replayBar");
  play_->setObjectName("replayPlay");
  speed_->setObjectName("replaySpeed");
  slider_->setObjectName("replaySlider");
  time_->setObjectName("replayTime");
  for (double speed : kSpeeds) speed_->addItem(QString::number(speed) + "x", speed);
  showSpeed(player.speed());
  slider_->setRange(0, sliderValue(player.endTime()));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 2);
  layout->addWidget(play_);
  layout->addWidget(speed_);
  layout->addWidget(slider_, 1);
  layout->addWidget(time_);

  connect(play_, &QToolButton::clicked, this,
          [this] { player_.playing() ? player_.pause() : player_.play(); });
  connect(speed_, &QComboBox::currentIndexChanged, this,
          [this](int index) { player_.setSpeed(speed_->itemData(index).toDouble()); });
  connect(slider_, &QSlider::valueChanged, this, [this] {
    if (!showing_ && !slider_->isSliderDown()) seekToSlider();
  });
  connect(slider_, &QSlider::sliderReleased, this, &ReplayBar::seekToSlider);
  connect(&player, &ReplayPlayer::positionChanged, this, &ReplayBar::showPosition);
  connect(&player, &ReplayPlayer::playingChanged, this, &ReplayBar::showPlaying);
  connect(&player, &ReplayPlayer::speedChanged, this, &ReplayBar::showSpeed);
  showPosition(player.position());
  showPlaying(player.playing());
}

void ReplayBar::showPosition(qint64 ms) {
  showing_ = true;
  if (!slider_->isSliderDown()) slider_->setValue(sliderValue(ms));
  showing_ = false;
  time_->setText(secondsText(ms) + " s / " + secondsText(player_.endTime()) + " s");
}

void ReplayBar::showPlaying(bool playing) { play_->setText(playing ? "Pause" : "Play"); }

void ReplayBar::showSpeed(double speed) {
  int index = speed_->findData(speed);
  if (index < 0) {
    speed_->addItem(QString::number(speed) + "x", speed);
    index = speed_->count() - 1;
  }
  // Shown, not set again: the player already runs at it.
  QSignalBlocker quiet(speed_);
  speed_->setCurrentIndex(index);
}

void ReplayBar::seekToSlider() { player_.seekTo(slider_->value()); }
