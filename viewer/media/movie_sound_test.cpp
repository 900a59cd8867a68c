// The sound track of movies encoded here (PCM in AVI, MP2 in MPEG-1): the
// tone comes out at its rate, length and pitch; a movie without sound and
// files that are no movie are refused with one line.
#include "viewer/media/movie_sound.h"

#include <gtest/gtest.h>

#include <cmath>

#include "testing/test_support.h"
#include "viewer/media/movie_test_support.h"

namespace kestrel {
namespace {

const std::vector<Colour> kFourFrames = {{220, 30, 30}, {30, 200, 30}, {30, 30, 220}, {240, 240, 240}};

double rms(const std::vector<int16_t>& s) {
  double sum = 0;
  for (int16_t v : s) sum += double(v) * v;
  return s.empty() ? 0 : std::sqrt(sum / double(s.size()));
}

// Upward crossings a second: the pitch of a sine. (From well below zero
// to well above, so a lossy codec's ripples are not counted.)
double pitch(const AudioClipData& clip) {
  int crossings = 0;
  bool low = false;
  for (int16_t v : clip.samples) {
    if (v < -4000) low = true;
    if (low && v > 4000) ++crossings, low = false;
  }
  return crossings / clip.duration();
}

TEST(MovieSound, DecodesTheToneOfPcmAndMp2Tracks) {
  testing::TempDir dir;
  TestMovie avi;
  avi.soundCodec = AV_CODEC_ID_PCM_S16LE;
  TestMovie mpeg = mpeg1TestMovie();
  mpeg.framesPerColour = 12;
  mpeg.soundCodec = AV_CODEC_ID_MP2;
  mpeg.toneHz = 600;
  struct Case {
    const char* name;
    TestMovie spec;
    double seconds;
  };
  for (const Case& c : {Case{"pcm.avi", avi, 2.0}, Case{"mp2.mpg", mpeg, 1.92}}) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(writeTestMovie(dir.file(c.name), kFourFrames, c.spec));
    AudioClipData clip;
    std::string why;
    ASSERT_TRUE(decodeMovieSound(dir.file(c.name), clip, why)) << why;
    EXPECT_EQ(clip.channels, 1);
    EXPECT_EQ(clip.rate, 22050);
    EXPECT_NEAR(clip.duration(), c.seconds, 0.1);
    EXPECT_NEAR(rms(clip.samples), 12000 / std::sqrt(2.0), 1000);
    EXPECT_NEAR(pitch(clip), c.spec.toneHz, 10);
  }
}

TEST(MovieSound, RefusesMoviesWithoutSoundAndOtherFilesWithOneLine) {
  testing::TempDir dir;
  ASSERT_TRUE(writeTestMovie(dir.file("silent.avi"), kFourFrames));
  dir.write("list.m3u8",
            "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2.0,\nsilent.avi\n#EXT-X-ENDLIST\n");
  struct Case {
    const char* name;
    const char* why;
  };
  for (const Case& c : {Case{"silent.avi", "no sound in the file"},
                        Case{"list.m3u8", "not a movie container (hls)"},
                        Case{"missing.avi", "cannot be read"}}) {
    AudioClipData clip;
    std::string why;
    EXPECT_FALSE(decodeMovieSound(dir.file(c.name), clip, why)) << c.name;
    EXPECT_EQ(why, c.why);
  }
}

}  // namespace
}  // namespace kestrel
