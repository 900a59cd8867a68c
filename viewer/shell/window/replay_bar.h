// ReplayBar: the controls of a replay in the window, below the picture:
// play/pause, the speed, and a time slider with the current and the last
// time ("12.5 s / 60.0 s"). Moving the slider seeks (on release while it is
// dragged). GUI thread only.
#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QSlider;
class QToolButton;
class ReplayPlayer;

class ReplayBar : public QWidget {
  Q_OBJECT
 public:
  // PLAYER must outlive the bar.
  explicit ReplayBar(ReplayPlayer& player, QWidget* parent = nullptr);

 private:
  void showPosition(qint64 ms);
  void showPlaying(bool playing);
  // The speed set elsewhere (the live view's bar) is shown here too.
  void showSpeed(double speed);
  void seekToSlider();

  ReplayPlayer& player_;
  QToolButton* play_;
  QComboBox* speed_;
  QSlider* slider_;
  QLabel* time_;
  bool showing_ = false;  // the slider is being set from the replay, not the user
};
