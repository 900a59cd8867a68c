// Decoding AudioClip files with libsndfile: mono and stereo WAV to 16-bit
// PCM with their rate and length, more than two channels kept to two; a
// file that is no sound, one cut short, a header claiming more samples
// than allowed and a FIFO are refused with one line.
#include "viewer/media/audio_clip_decoder.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include "testing/test_support.h"
#include "viewer/media/sound_test_support.h"

namespace kestrel {
namespace {

TEST(AudioClipDecoder, WavMonoStereoAndWideFiles) {
  testing::TempDir dir;
  const auto mono = tone(8000, 0.5, 440);
  std::string why;
  AudioClipData clip;
  ASSERT_TRUE(decodeAudioClip(dir.write("m.wav", wavBytes(1, 8000, mono)), clip, why)) << why;
  EXPECT_EQ(clip.channels, 1);
  EXPECT_EQ(clip.rate, 8000);
  EXPECT_EQ(clip.samples, mono);
  EXPECT_DOUBLE_EQ(clip.duration(), 0.5);
  EXPECT_DOUBLE_EQ(audioClipDuration(dir.file("m.wav")), 0.5);

  std::vector<int16_t> four;  // 4 channels, 100 frames: channel c holds c * 1000
  for (int f = 0; f < 100; ++f)
    for (int c = 0; c < 4; ++c) four.push_back(int16_t(c * 1000));
  ASSERT_TRUE(decodeAudioClip(dir.write("q.wav", wavBytes(4, 22050, four)), clip, why)) << why;
  EXPECT_EQ(clip.channels, 2);
  ASSERT_EQ(clip.samples.size(), 200u);
  EXPECT_EQ(clip.samples[0], 0);
  EXPECT_EQ(clip.samples[1], 1000);
  EXPECT_EQ(clip.samples[199], 1000);
}

TEST(AudioClipDecoder, RefusesWhatIsNoSoundWithOneLine) {
  testing::TempDir dir;
  std::string good = wavBytes(1, 8000, tone(8000, 0.5, 440));
  // A small FLAC file of silence that decodes to more samples than allowed.
  const std::string huge = dir.file("huge.flac");
  {
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = 1;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(huge.c_str(), SFM_WRITE, &info);
    ASSERT_TRUE(f);
    std::vector<short> silence(1 << 20);
    for (size_t n = 0; n <= kMaxSoundSamples; n += silence.size())
      sf_write_short(f, silence.data(), sf_count_t(silence.size()));
    sf_close(f);
  }
  ::mkfifo(dir.file("fifo.wav").c_str(), 0600);
  for (const std::string& path :
       {dir.write("text.wav", "#VRML V2.0 utf8\n"), dir.write("cut.wav", good.substr(0, 30)),
        huge, dir.file("fifo.wav"), dir.file("missing.wav")}) {
    AudioClipData clip;
    std::string why;
    EXPECT_FALSE(decodeAudioClip(path, clip, why)) << path;
    EXPECT_FALSE(why.empty()) << path;
    EXPECT_EQ(why.find('\n'), std::string::npos) << why;
  }
  EXPECT_EQ(audioClipDuration(dir.file("text.wav")), -1);
  EXPECT_GT(audioClipDuration(huge), 4000);  // its length is known; only decoding is refused
}

}  // namespace
}  // namespace kestrel
