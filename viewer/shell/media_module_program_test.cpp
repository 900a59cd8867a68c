// The media codecs (FFmpeg, OpenAL, libsndfile) come in a module that the
// kestrel program opens only when a world shows a movie, plays a sound or a
// video is written; without the module those fail softly with one log line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testing/child_process.h"
#include "testing/test_support.h"
#include "viewer/browser/render/gl/image_io.h"
#include "viewer/media/movie_test_support.h"
#include "viewer/shell/replay_test_support.h"

namespace kestrel {
namespace {

using testing::ChildProcess;

std::string kestrelPath() { return testing::programPath("viewer/shell/kestrel"); }

// Rendering runs are not leak-checked (Mesa's drivers keep a little). The
// loader names every shared object it maps.
const std::vector<std::string> kTracedEnv{"ASAN_OPTIONS=detect_leaks=0", "LD_DEBUG=files"};

// A world of one box covering the view, textured with a red movie.
void writeMovieWorld(const testing::TempDir& dir) {
  ASSERT_TRUE(writeTestMovie(dir.file("red.avi"), {{230, 20, 20}}));
  dir.write("movie.wrl",
            "#VRML V2.0 utf8\n"
            "Shape { appearance Appearance { texture MovieTexture { url \"red.avi\" loop TRUE } }"
            " geometry Box { size 20 20 0.1 } }\n");
  dir.write("plain.wrl", "#VRML V2.0 utf8\nShape { geometry Box {} }\n");
}

bool centreIsRed(const std::string& png) {
  RgbaImage image;
  std::string error;
  if (!readImageFile(png, image, &error)) {
    ADD_FAILURE() << png << ": " << error;
    return false;
  }
  const uint8_t* p = image.at(image.width / 2, image.height / 2);
  return p[0] > 150 && p[1] < 80 && p[2] < 80;
}

bool mapsMediaLibraries(const std::string& loaderTrace) {
  return loaderTrace.find("libkestrel_media_codecs.so") != std::string::npos ||
         loaderTrace.find("libavcodec") != std::string::npos ||
         loaderTrace.find("libopenal") != std::string::npos;
}

TEST(MediaModule, OpenedOnlyWhenAWorldNeedsIt) {
  testing::TempDir dir(false);
  writeMovieWorld(dir);
  ChildProcess check(kestrelPath(), {"--check", dir.file("plain.wrl")}, "", kTracedEnv);
  ASSERT_EQ(check.wait(30000), 0) << check.output();
  EXPECT_FALSE(mapsMediaLibraries(check.output())) << check.output();

  ChildProcess plain(kestrelPath(), {"--snapshot", dir.file("plain.png"), "--size", "64x48",
                                     "-C", dir.path(), dir.file("plain.wrl")},
                     "", kTracedEnv);
  ASSERT_EQ(plain.wait(30000), 0) << plain.output();
  EXPECT_FALSE(mapsMediaLibraries(plain.output())) << plain.output();

  ChildProcess movie(kestrelPath(), {"--snapshot", dir.file("movie.png"), "--size", "64x48",
                                     "-C", dir.path(), dir.file("movie.wrl")},
                     "", kTracedEnv);
  ASSERT_EQ(movie.wait(30000), 0) << movie.output();
  EXPECT_TRUE(mapsMediaLibraries(movie.output()));
  EXPECT_TRUE(centreIsRed(dir.file("movie.png")));
}

TEST(MediaModule, AMissingModuleIsLoggedOnceAndNothingBreaks) {
  testing::TempDir dir(false);
  writeMovieWorld(dir);
  testing::writeBallJournal(dir);
  // The program alone, without the module beside it or in ../lib/kestrel.
  namespace fs = std::filesystem;
  fs::create_directory(dir.file("bin"));
  const std::string lonely = dir.file("bin/kestrel");
  fs::copy_file(kestrelPath(), lonely);

  const std::vector<std::string> env{"ASAN_OPTIONS=detect_leaks=0"};
  ChildProcess movie(lonely, {"--snapshot", dir.file("movie.png"), "--size", "64x48", "-C",
                              dir.path(), dir.file("movie.wrl")},
                     "", env);
  ASSERT_EQ(movie.wait(30000), 0) << movie.output();
  EXPECT_FALSE(centreIsRed(dir.file("movie.png")));
  int lines = 0;
  for (const std::string& line : testing::readLines(dir.file("kestrel.log")))
    if (line.find("Media codecs not loaded") != std::string::npos) {
      ++lines;
      EXPECT_NE(line.find("no libkestrel_media_codecs.so beside " + dir.file("bin")),
                std::string::npos)
          << line;
    }
  EXPECT_EQ(lines, 1) << dir.read("kestrel.log");

  ChildProcess video(lonely, {"--replay", dir.file("run.journal"), "--video",
                              dir.file("out.mp4"), "--size", "64x48", "-C", dir.path()},
                     "", env);
  EXPECT_EQ(video.wait(30000), 1) << video.output();
  EXPECT_NE(video.output().find("kestrel: cannot make videos: the media codecs are missing"),
            std::string::npos)
      << video.output();
  EXPECT_FALSE(fs::exists(dir.file("out.mp4")));
}

}  // namespace
}  // namespace kestrel
