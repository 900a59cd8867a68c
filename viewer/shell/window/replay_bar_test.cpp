// A journal replayed in the real window (Xvfb): the replay bar plays it to
// its end, and moving the time slider back and forth leaves the replay as a
// replay stopped at that time leaves it; the picture follows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include "testing/test_support.h"
#include "viewer/engine/state_file.h"
#include "viewer/shell/replay_test_support.h"
#include "viewer/shell/window/main_frame.h"
#include "viewer/shell/window/prism_doc.h"
#include "viewer/shell/window/prism_view.h"
#include "viewer/shell/window/replay_player.h"
#include "viewer/shell/window/scene_gl_view.h"
#include "viewer/shell/window/window_test_support.h"

namespace {

using kestrel::testing::replayedTo;

// The mean column of the red pixels, as a share of the width; -1 when none.
double redShare(const QImage& image) {
  double sum = 0;
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      QColor c = image.pixelColor(x, y);
      if (c.red() > 120 && c.green() < 60 && c.blue() < 60) sum += x, ++count;
    }
  }
  return count ? sum / count / image.width() : -1;
}

TEST(ReplayBar, PlaysAndSeeksBackAndForthToTheStateOfAReplayStoppedThere) {
  kestrel::testing::TempDir dir;
  kestrel::testing::writeBallJournal(dir);
  kestrel::ViewerOptions options = windowTestOptions();
  options.replayPath = dir.file("run.journal");
  auto* view = new CPrismView(options);
  CPrismDoc doc(*view);
  CMainFrame frame(view, &doc);
  std::string error;
  ASSERT_TRUE(view->start(&error)) << error;
  frame.show();
  ReplayPlayer* player = view->replay();
  ASSERT_NE(player, nullptr);
  auto* play = frame.findChild<QToolButton*>("replayPlay");
  auto* speed = frame.findChild<QComboBox*>("replaySpeed");
  auto* slider = frame.findChild<QSlider*>("replaySlider");
  auto* time = frame.findChild<QLabel*>("replayTime");
  ASSERT_TRUE(play && speed && slider && time);
  EXPECT_EQ(slider->maximum(), 2000);
  auto stateNow = [&](const std::string& name) {
    EXPECT_TRUE(kestrel::saveState(player->session().core().engine().registry(), dir.file(name)));
    return kestrel::testing::readFile(dir.file(name));
  };
  // The picture redraws once after a change; grabbing draws it again.
  auto settledPicture = [&] {
    unsigned drawn = view->sceneView()->framesDrawn();
    EXPECT_TRUE(processUntil([&] { return view->sceneView()->framesDrawn() > drawn; }));
    return view->sceneView()->grabFramebuffer();
  };

  // It plays at once; the button pauses it.
  EXPECT_TRUE(player->playing());
  EXPECT_EQ(play->text(), "Pause");
  QTest::mouseClick(play, Qt::LeftButton);
  EXPECT_FALSE(player->playing());
  EXPECT_EQ(play->text(), "Play");

  slider->setValue(1500);
  EXPECT_EQ(player->position(), 1500);
  EXPECT_EQ(time->text(), "1.5 s / 2.0 s");
  EXPECT_EQ(stateNow("a.state"), replayedTo(dir, "1.5"));
  double right = redShare(settledPicture());  // x = 1
  slider->setValue(500);  // back: a fresh engine, run fast to 0.5 s
  EXPECT_EQ(stateNow("b.state"), replayedTo(dir, "0.5"));
  double left = redShare(settledPicture());  // x = -1
  EXPECT_GT(right, 0.5);
  EXPECT_GT(left, 0);
  EXPECT_LT(left, 0.5);
  slider->setValue(1200);  // forward again from 0.5 s
  EXPECT_EQ(stateNow("c.state"), replayedTo(dir, "1.2"));

  // At 64 times the pace the rest plays in a moment and stops at the end.
  speed->setCurrentIndex(speed->findData(64.0));
  EXPECT_EQ(player->speed(), 64.0);
  player->setSpeed(3);  // as the live view's bar sets it: the bar shows it
  EXPECT_EQ(speed->currentData().toDouble(), 3.0);
  player->setSpeed(64);
  EXPECT_EQ(speed->currentData().toDouble(), 64.0);
  QTest::mouseClick(play, Qt::LeftButton);
  ASSERT_TRUE(processUntil([&] { return !player->playing(); }));
  EXPECT_EQ(slider->value(), 2000);
  EXPECT_EQ(stateNow("d.state"), replayedTo(dir, "2"));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
