// Time in pictures: kestrel --snapshot --at shows an animated world as it
// stands at the given time; a replayed journal can be moved back and forth
// and ends up as a replay stopped there; --replay --snapshot and --video
// show the scene of the journal at the recorded times.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "testing/child_process.h"
#include "testing/test_support.h"
#include "viewer/browser/render/gl/image_io.h"
#include "viewer/engine/state_file.h"
#include "viewer/shell/replay_session.h"
#include "viewer/shell/replay_test_support.h"
#include "viewer/shell/viewer_core.h"

namespace kestrel {
namespace {

using testing::ballX;
using testing::ChildProcess;
using testing::replayedTo;
using testing::writeBallJournal;

std::string kestrelPath() { return testing::programPath("viewer/shell/kestrel"); }

// Rendering runs are not leak-checked (Mesa's drivers keep a little).
const std::vector<std::string> kRenderingEnv{"ASAN_OPTIONS=detect_leaks=0"};

constexpr int kWidth = 160, kHeight = 120;

// Where the centre of an object at (X, 0, 0) appears, seen from the default
// viewpoint (0 0 10, a field of view of pi/4 across the picture's height).
double columnOf(double x) {
  return kWidth / 2.0 + x / (10 * std::tan(M_PI / 8)) * (kHeight / 2.0);
}

// The mean column of the red pixels; -1 when there are none.
double redColumn(const RgbaImage& image) {
  double sum = 0;
  int count = 0;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = image.at(x, y);
      if (p[0] > 120 && p[1] < 60 && p[2] < 60) sum += x, ++count;
    }
  }
  return count ? sum / count : -1;
}

double redColumnOf(const std::string& png) {
  RgbaImage image;
  std::string error;
  if (!readImageFile(png, image, &error)) {
    ADD_FAILURE() << png << ": " << error;
    return -1;
  }
  EXPECT_EQ(image.width, kWidth);
  EXPECT_EQ(image.height, kHeight);
  return redColumn(image);
}

std::string sizeArg() { return std::to_string(kWidth) + "x" + std::to_string(kHeight); }

TEST(TimedSnapshot, AnAnimatedWorldStandsWhereItsClockSays) {
  testing::TempDir dir(false);
  dir.write("moving.wrl",
            "#VRML V2.0 utf8\n"
            "DEF Mover Transform { children Shape { appearance Appearance {\n"
            "  material Material { diffuseColor 1 0 0 } } geometry Sphere { radius 0.4 } } }\n"
            "DEF Clock TimeSensor { cycleInterval 4 loop TRUE }\n"
            "DEF Path PositionInterpolator { key [0 1] keyValue [-2 0 0, 2 0 0] }\n"
            "ROUTE Clock.fraction_changed TO Path.set_fraction\n"
            "ROUTE Path.value_changed TO Mover.set_translation\n");
  auto shotAt = [&](const std::string& at) {
    std::string png = dir.file("at" + at + ".png");
    ChildProcess shot(kestrelPath(), {"--snapshot", png, "--at", at, "--size", sizeArg(), "-C",
                                      dir.path(), "moving.wrl"},
                      "", kRenderingEnv);
    EXPECT_EQ(shot.wait(30000), 0) << shot.output();
    return redColumnOf(png);
  };
  // An eighth of the way at 0.5 s (x = -1.5), three quarters at 3 s (x = 1),
  // and the loop brings the sphere back to x = 1 at 7 s.
  EXPECT_NEAR(shotAt("0.5"), columnOf(-1.5), 1.5);
  EXPECT_NEAR(shotAt("3"), columnOf(1.0), 1.5);
  EXPECT_NEAR(shotAt("7000ms"), columnOf(1.0), 1.5);
}

TEST(ReplaySeek, MovingBackAndForthEndsAsAReplayStoppedThere) {
  testing::TempDir dir;
  writeBallJournal(dir);
  ViewerOptions options;
  options.replayPath = dir.file("run.journal");
  std::string error;
  std::unique_ptr<ReplaySession> session = ReplaySession::open(options, &error);
  ASSERT_TRUE(session) << error;
  EXPECT_EQ(session->endTime(), 2000);
  auto stateNow = [&](const std::string& name) {
    EXPECT_TRUE(saveState(session->core().engine().registry(), dir.file(name)));
    return testing::readFile(dir.file(name));
  };
  session->seekTo(1500);
  std::string at1500 = stateNow("a.state");
  EXPECT_DOUBLE_EQ(ballX(at1500), 1.0);
  EXPECT_EQ(at1500, replayedTo(dir, "1.5"));
  session->seekTo(500);  // back: starts over
  EXPECT_EQ(session->position(), 500);
  EXPECT_DOUBLE_EQ(session->core().engine().browser().now(), 0.5);
  std::string at500 = stateNow("b.state");
  EXPECT_DOUBLE_EQ(ballX(at500), -1.0);
  EXPECT_EQ(at500, replayedTo(dir, "0.5"));
  session->seekTo(1250);  // forward again: goes on from 500
  EXPECT_EQ(stateNow("c.state"), replayedTo(dir, "1250ms"));
  session->seekTo(5000);  // past the end: the end
  EXPECT_EQ(stateNow("d.state"), replayedTo(dir, "2"));
  EXPECT_FALSE(session->nextTime());
}

bool onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    if (::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
  }
  return false;
}

TEST(ReplayPictures, SnapshotAndVideoShowTheBallWhereTheStateSaysItIs) {
  testing::TempDir dir(false);
  writeBallJournal(dir);
  const std::string journal = dir.file("run.journal");

  ChildProcess shot(kestrelPath(), {"--replay", journal, "--snapshot", dir.file("at.png"),
                                    "--at", "0.5", "--size", sizeArg(), "-C", dir.path()},
                    "", kRenderingEnv);
  ASSERT_EQ(shot.wait(30000), 0) << shot.output();
  EXPECT_NEAR(redColumnOf(dir.file("at.png")), columnOf(ballX(replayedTo(dir, "0.5"))), 1.5);

  ChildProcess video(kestrelPath(), {"--replay", journal, "--video", dir.file("out.mp4"),
                                     "--size", sizeArg(), "--fps", "10", "--to", "2", "-C",
                                     dir.path()},
                     "", kRenderingEnv);
  ASSERT_EQ(video.wait(60000), 0) << video.output();
  EXPECT_NE(video.output().find("\rvideo: frame 20 of 20, 0 s left"), std::string::npos)
      << video.output();

  if (!onPath("ffprobe") || !onPath("ffmpeg")) {
    GTEST_SKIP() << "ffprobe and ffmpeg (Debian's ffmpeg package) are needed to read the video";
  }
  testing::ProgramRun probe = testing::runProgram(
      "/usr/bin/env",
      {"ffprobe", "-v", "error", "-count_frames", "-show_entries",
       "stream=codec_name,width,height,nb_read_frames:format=duration", "-of",
       "default=noprint_wrappers=1", dir.file("out.mp4")},
      30000);
  ASSERT_EQ(probe.status, 0) << probe.err;
  EXPECT_NE(probe.out.find("codec_name=h264\n"), std::string::npos) << probe.out;
  EXPECT_NE(probe.out.find("width=160\nheight=120\n"), std::string::npos) << probe.out;
  EXPECT_NE(probe.out.find("nb_read_frames=20\n"), std::string::npos) << probe.out;
  EXPECT_NE(probe.out.find("duration=2.000000\n"), std::string::npos) << probe.out;

  // Frame 15 shows the scene at 1.5 s.
  testing::ProgramRun extract = testing::runProgram(
      "/usr/bin/env",
      {"ffmpeg", "-v", "error", "-y", "-i", dir.file("out.mp4"), "-vf", "select=eq(n\\,15)",
       "-frames:v", "1", dir.file("frame15.png")},
      30000);
  ASSERT_EQ(extract.status, 0) << extract.err;
  EXPECT_NEAR(redColumnOf(dir.file("frame15.png")), columnOf(ballX(replayedTo(dir, "1.5"))),
              1.5);
}

TEST(ReplayPictures, AStoppedVideoIsStillAWholeFile) {
  if (!onPath("ffprobe")) GTEST_SKIP() << "ffprobe (Debian's ffmpeg package) is needed";
  testing::TempDir dir(false);
  writeBallJournal(dir);
  // 480 frames of 1280x720 take many seconds: the signal comes long before.
  ChildProcess video(kestrelPath(), {"--replay", dir.file("run.journal"), "--video",
                                     dir.file("cut.mp4"), "--size", "1280x720", "--fps", "240",
                                     "-C", dir.path()},
                     "", kRenderingEnv);
  ASSERT_TRUE(testing::waitFor(
      [&] { return video.output().find(" of 480, ") != std::string::npos; },
      30000))
      << video.output();
  video.signal(SIGINT);
  ASSERT_EQ(video.wait(30000), 0) << video.output();
  EXPECT_NE(video.output().find("kestrel: stopped; the video ends after frame "),
            std::string::npos)
      << video.output();
  testing::ProgramRun probe = testing::runProgram(
      "/usr/bin/env",
      {"ffprobe", "-v", "error", "-count_frames", "-show_entries", "stream=nb_read_frames", "-of",
       "default=noprint_wrappers=1:nokey=1", dir.file("cut.mp4")},
      30000);
  ASSERT_EQ(probe.status, 0) << probe.err;
  int frames = std::atoi(probe.out.c_str());
  EXPECT_GE(frames, 1) << probe.out;
  EXPECT_LT(frames, 480) << probe.out;
}

}  // namespace
}  // namespace kestrel
