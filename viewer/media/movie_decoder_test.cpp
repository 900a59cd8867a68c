// MovieDecoder with movies encoded here by FFmpeg (MPEG-4 in AVI, MPEG-1):
// the frame shown at a time, going back (a loop), the end, the length;
// files that are no movie, cut short, sound only, or not regular files are
// refused with one line.
#include "viewer/media/movie_decoder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "testing/test_support.h"
#include "viewer/media/movie_test_support.h"

namespace kestrel {
namespace {

const Colour kRed{220, 30, 30}, kGreen{30, 200, 30}, kBlue{30, 30, 220}, kWhite{240, 240, 240};

::testing::AssertionResult shows(const MovieFrame& f, const Colour& c) {
  if (f.width <= 0) return ::testing::AssertionFailure() << "no frame";
  const uint8_t* p = &f.rgba[(size_t(f.height / 2) * size_t(f.width) + size_t(f.width / 2)) * 4];
  for (int i = 0; i < 3; ++i) {
    if (std::abs(int(p[i]) - int(c[size_t(i)])) > 24)
      return ::testing::AssertionFailure() << "pixel " << int(p[0]) << " " << int(p[1]) << " "
                                           << int(p[2]) << " at " << f.time << " s";
  }
  return ::testing::AssertionSuccess();
}

TEST(MovieDecoder, AviFramesByTimeBackwardsAndPastTheEnd) {
  testing::TempDir dir;
  const std::string path = dir.file("four.avi");
  ASSERT_TRUE(writeTestMovie(path, {kRed, kGreen, kBlue, kWhite}));
  std::string why;
  auto movie = MovieDecoder::open(path, why);
  ASSERT_TRUE(movie) << why;
  EXPECT_NEAR(movie->duration(), 2.0, 0.01);
  EXPECT_TRUE(shows(movie->frameAt(0), kRed));
  EXPECT_TRUE(shows(movie->frameAt(0.75), kGreen));
  EXPECT_TRUE(shows(movie->frameAt(1.6), kWhite));
  EXPECT_TRUE(shows(movie->frameAt(0.2), kRed));  // back to the start, as a loop does
  EXPECT_TRUE(shows(movie->frameAt(1.1), kBlue));
  EXPECT_TRUE(shows(movie->frameAt(50), kWhite));  // the last frame stays
  const uint64_t serial = movie->frameAt(50).serial;
  EXPECT_EQ(movie->frameAt(60).serial, serial);
  EXPECT_DOUBLE_EQ(movieDuration(path), movie->duration());
}

TEST(MovieDecoder, Mpeg1AtTwentyFiveFramesASecond) {
  testing::TempDir dir;
  const std::string path = dir.file("clip.mpg");
  ASSERT_TRUE(writeTestMovie(path, {kRed, kGreen, kBlue}, mpeg1TestMovie()));
  std::string why;
  auto movie = MovieDecoder::open(path, why);
  ASSERT_TRUE(movie) << why;
  EXPECT_NEAR(movie->duration(), 3.0, 0.1);
  EXPECT_TRUE(shows(movie->frameAt(0.5), kRed));
  EXPECT_TRUE(shows(movie->frameAt(2.5), kBlue));
  EXPECT_TRUE(shows(movie->frameAt(1.5), kGreen));
}

// Frames narrower than the scaler's vector width: it writes whole vectors
// past the end of each row, which must land in room of our own and never
// beyond the frame handed out.
TEST(MovieDecoder, NarrowFramesOfAnyWidth) {
  testing::TempDir dir;
  for (int width : {2, 4, 6, 10, 14, 18, 22, 34, 50}) {
    TestMovie spec;
    spec.codec = AV_CODEC_ID_RAWVIDEO;
    spec.width = width;
    spec.height = 2;
    const std::string path = dir.file("narrow" + std::to_string(width) + ".avi");
    ASSERT_TRUE(writeTestMovie(path, {kRed, kGreen, kBlue}, spec)) << width;
    std::string why;
    auto movie = MovieDecoder::open(path, why);
    ASSERT_TRUE(movie) << why;
    for (double t : {0.0, 0.6, 1.1, 0.1}) {
      const MovieFrame& f = movie->frameAt(t);
      ASSERT_EQ(f.width, width);
      ASSERT_EQ(f.rgba.size(), size_t(width) * 2 * 4);
    }
    EXPECT_TRUE(shows(movie->frameAt(1.1), kBlue)) << width;
  }
}

::testing::AssertionResult wellFormed(const MovieFrame& f, int width, int height) {
  if (f.width != width || f.height != height ||
      f.rgba.size() != size_t(width) * size_t(height) * 4)
    return ::testing::AssertionFailure() << f.width << " x " << f.height << ", " << f.rgba.size();
  return ::testing::AssertionSuccess();
}

// A movie of noisy frames, too large for FFmpeg's read buffer, is read
// from the file as it plays: a cut lets it play up to the cut and loop,
// and a rewrite with other bytes does not bring it down.
TEST(MovieDecoder, PlaysFromTheFileWhileItIsCutShortOrRewritten) {
  testing::TempDir dir;
  const std::string path = dir.file("noisy.avi");
  TestMovie spec;
  spec.width = 320;
  spec.height = 240;
  spec.noiseRows = 80;
  spec.keyEvery = 4;
  std::vector<Colour> colours;
  for (int i = 0; i < 10; ++i) colours.insert(colours.end(), {kRed, kGreen, kBlue, kWhite});
  ASSERT_TRUE(writeTestMovie(path, colours, spec));
  const std::string bytes = testing::readFile(path);
  ASSERT_GT(bytes.size(), size_t{1} << 20);
  std::string why;
  auto movie = MovieDecoder::open(path, why);
  ASSERT_TRUE(movie) << why;
  EXPECT_NEAR(movie->duration(), 20.0, 0.01);
  EXPECT_TRUE(shows(movie->frameAt(0), kRed));

  ASSERT_EQ(::truncate(path.c_str(), off_t(bytes.size() / 3)), 0);
  EXPECT_TRUE(wellFormed(movie->frameAt(15), 320, 240));  // past the cut: the movie ends there
  EXPECT_TRUE(shows(movie->frameAt(1.0), kBlue));         // a loop back reads what is left
  EXPECT_TRUE(shows(movie->frameAt(1.5), kWhite));

  std::string junk(bytes.size(), '\0');
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = char((i * 7919) >> 3);
  dir.write("noisy.avi", junk);  // rewritten in place: same file, other bytes
  for (double t : {19.0, 0.0, 7.0, 2.0}) EXPECT_TRUE(wellFormed(movie->frameAt(t), 320, 240));
}

// Only FFmpeg's buffers are held, so the file's size is no limit: a movie
// followed by a hole of 300 MB plays, its length taken from the container.
// (QuickTime, whose demuxer stops at the hole; an AVI demuxer would look
// through it for more chunks.)
TEST(MovieDecoder, PlaysAFileOfAnySize) {
  testing::TempDir dir;
  const std::string path = dir.file("long.mov");
  TestMovie spec;
  spec.container = "mov";
  ASSERT_TRUE(writeTestMovie(path, {kRed, kGreen, kBlue, kWhite}, spec));
  ASSERT_EQ(::truncate(path.c_str(), off_t{300} << 20), 0);
  std::string why;
  auto movie = MovieDecoder::open(path, why);
  ASSERT_TRUE(movie) << why;
  EXPECT_NEAR(movie->duration(), 2.0, 0.01);
  EXPECT_TRUE(shows(movie->frameAt(0.75), kGreen));
  EXPECT_TRUE(shows(movie->frameAt(1.6), kWhite));
}

TEST(MovieDecoder, RefusesWhatIsNoMovieWithOneLine) {
  testing::TempDir dir;
  const std::string good = dir.file("good.avi");
  ASSERT_TRUE(writeTestMovie(good, {kRed, kGreen, kBlue, kWhite}));
  const std::string bytes = testing::readFile(good);
  // A canonical 16-bit mono WAV header with a second of silence: sound, no picture.
  std::string wav = "RIFF";
  auto le32 = [](uint32_t v) {
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  };
  wav += le32(36 + 16000) + "WAVEfmt " + le32(16) + std::string{1, 0, 1, 0} + le32(8000) +
         le32(16000) + std::string{2, 0, 16, 0} + "data" + le32(16000) + std::string(16000, '\0');
  ::mkfifo(dir.file("fifo.avi").c_str(), 0600);
  const std::vector<std::string> bad = {
      dir.write("text.avi", "#VRML V2.0 utf8\nShape {}\n"),
      dir.write("cut.avi", bytes.substr(0, bytes.size() / 8)),
      dir.write("empty.avi", ""),
      dir.write("sound.wav", wav),
      dir.file("fifo.avi"),
      dir.path(),
      dir.file("missing.avi"),
  };
  for (const std::string& path : bad) {
    std::string why;
    EXPECT_FALSE(MovieDecoder::open(path, why)) << path;
    EXPECT_FALSE(why.empty()) << path;
    EXPECT_EQ(why.find('\n'), std::string::npos) << why;
  }
  std::string why;
  auto sound = MovieDecoder::open(dir.file("sound.wav"), why);
  EXPECT_EQ(why, "no video in the file");
}

// Files that would have FFmpeg open other files (a playlist, a concat
// script naming a movie beside them) are not read as movies, while the
// movie they name plays.
TEST(MovieDecoder, RefusesPlaylistsAndScriptsThatNameOtherFiles) {
  testing::TempDir dir;
  const std::string good = dir.file("good.avi");
  ASSERT_TRUE(writeTestMovie(good, {kRed, kGreen, kBlue, kWhite}));
  const std::string hls = dir.write(
      "list.m3u8", "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:2\n#EXTINF:2.0,\n" + good +
                       "\n#EXT-X-ENDLIST\n");
  const std::string concat =
      dir.write("list.ffconcat", "ffconcat version 1.0\nfile '" + good + "'\nduration 2\n");
  struct Case {
    std::string path, why;
  };
  for (const Case& c : {Case{hls, "not a movie container (hls)"},
                        Case{concat, "not a movie container (concat)"}}) {
    std::string why;
    EXPECT_FALSE(MovieDecoder::open(c.path, why)) << c.path;
    EXPECT_EQ(why, c.why);
    EXPECT_FALSE(MovieDecoder::fromBytes(testing::readFile(c.path), why)) << c.path;
    EXPECT_EQ(why, c.why);
  }
  std::string why;
  auto movie = MovieDecoder::open(good, why);
  ASSERT_TRUE(movie) << why;
  EXPECT_TRUE(shows(movie->frameAt(1.1), kBlue));
}

// Movies whose pixel format has alpha (PNG and QuickTime Animation in
// QuickTime, FFV1 in Matroska with YUV and alpha) give RGBA frames with
// that alpha; a movie without gives opaque frames and says so.
TEST(MovieDecoder, KeepsTheAlphaOfMoviesThatHaveIt) {
  testing::TempDir dir;
  struct Case {
    const char* name;
    const char* container;
    AVCodecID codec;
    AVPixelFormat pixels;
  };
  for (const Case& c : {Case{"png.mov", "mov", AV_CODEC_ID_PNG, AV_PIX_FMT_RGBA},
                        Case{"rle.mov", "mov", AV_CODEC_ID_QTRLE, AV_PIX_FMT_ARGB},
                        Case{"ffv1.mkv", "matroska", AV_CODEC_ID_FFV1, AV_PIX_FMT_YUVA420P}}) {
    SCOPED_TRACE(c.name);
    TestMovie spec;
    spec.container = c.container;
    spec.codec = c.codec;
    spec.pixelFormat = c.pixels;
    spec.clearColumns = 16;
    const std::string path = dir.file(c.name);
    ASSERT_TRUE(writeTestMovie(path, {kRed, kGreen}, spec));
    std::string why;
    auto movie = MovieDecoder::open(path, why);
    ASSERT_TRUE(movie) << why;
    for (double t : {0.0, 0.6}) {
      const MovieFrame& f = movie->frameAt(t);
      EXPECT_TRUE(f.alpha);
      EXPECT_TRUE(shows(f, t == 0 ? kRed : kGreen));
      const size_t row = size_t(f.width) * 4 * size_t(f.height / 2);
      EXPECT_LT(f.rgba[row + 2 * 4 + 3], 8);  // in the clear columns
      EXPECT_GT(f.rgba[row + size_t(f.width / 2) * 4 + 3], 247);
    }
  }
  const std::string plain = dir.file("plain.avi");
  TestMovie spec;
  spec.clearColumns = 16;  // lost: the pixel format has no alpha
  ASSERT_TRUE(writeTestMovie(plain, {kRed, kGreen}, spec));
  std::string why;
  auto movie = MovieDecoder::open(plain, why);
  ASSERT_TRUE(movie) << why;
  const MovieFrame& f = movie->frameAt(0);
  EXPECT_FALSE(f.alpha);
  for (size_t i = 3; i < f.rgba.size(); i += 4) ASSERT_EQ(f.rgba[i], 255) << i;
}

}  // namespace
}  // namespace kestrel
