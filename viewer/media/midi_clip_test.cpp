// MIDI files as AudioClips: a type 0 and a type 1 Standard MIDI File
// (and one in a RIFF MIDI file) written here byte by byte play through FluidSynth for as long as their
// tempo maps say (sysex, text events, unknown chunks and running status
// walked over), sound while their notes do and not during a rest; broken
// MIDI data and a file of hours are refused with one line (the latter at
// once, its length still known); without a SoundFont the clip is refused
// with one line naming the missing SoundFont while its length stays known.
// A real two-track file plays as long as FluidSynth's own player says.
#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "testing/test_support.h"
#include "viewer/media/audio_clip_decoder.h"
#include "viewer/media/midi_synth.h"
#include "viewer/media/sound_test_support.h"

namespace kestrel {
namespace {

// RMS (full scale 1) of both channels between FROM and TO seconds.
double loudness(const AudioClipData& clip, double from, double to) {
  const auto first = size_t(from * clip.rate) * 2, last = size_t(to * clip.rate) * 2;
  double sum = 0;
  for (size_t i = first; i < last && i < clip.samples.size(); ++i)
    sum += double(clip.samples[i]) * clip.samples[i];
  return std::sqrt(sum / double(last - first)) / 32768;
}

// Sets KESTREL_SOUNDFONT for one scope.
class SoundFontChoice {
 public:
  explicit SoundFontChoice(const std::string& path) { ::setenv("KESTREL_SOUNDFONT", path.c_str(), 1); }
  ~SoundFontChoice() { ::unsetenv("KESTREL_SOUNDFONT"); }
  SoundFontChoice(const SoundFontChoice&) = delete;
  SoundFontChoice& operator=(const SoundFontChoice&) = delete;
};

TEST(MidiClip, Type0AndType1FilesPlayForTheirTempoMapsLength) {
  testing::TempDir dir;
  std::string why;
  AudioClipData clip;
  // Named like a WAV: the magic decides, not the name.
  const std::string type0 = dir.write("three.wav", threeNoteMidi());
  ASSERT_TRUE(decodeAudioClip(type0, clip, why)) << why;
  EXPECT_EQ(clip.channels, 2);
  EXPECT_EQ(clip.rate, kMidiRate);
  EXPECT_NEAR(clip.duration(), 1.5, 1e-4);
  EXPECT_NEAR(audioClipDuration(type0), 1.5, 1e-9);
  for (double t : {0.0, 0.5, 1.0}) EXPECT_GT(loudness(clip, t + 0.05, t + 0.45), 0.003) << t;

  // A tempo track (1 s a quarter, then 0.25 s from tick 96) and a note
  // track that rests one quarter (1 s), then plays two (0.5 s): 1.5 s.
  const std::string tempi = midiTrack(midiTempo(0, 1000000) + midiTempo(96, 250000));
  const std::string notes = midiTrack(midiNote(96, 72, 96) + midiNote(0, 76, 96));
  const std::string type1 = dir.write("rest.mid", midiFile(1, 96, {tempi, notes}));
  ASSERT_TRUE(decodeAudioClip(type1, clip, why)) << why;
  EXPECT_NEAR(clip.duration(), 1.5, 1e-4);
  EXPECT_NEAR(audioClipDuration(type1), 1.5, 1e-9);
  EXPECT_LT(loudness(clip, 0, 0.95), 0.0005) << "sound during the rest";
  EXPECT_GT(loudness(clip, 1.05, 1.45), 0.003) << "the notes after the rest were not heard";

  // A system exclusive and a text event, a chunk of unknown type and a
  // controller in running status are walked over: 40 ticks of 96 a quarter
  // at the default 120 beats a minute.
  const std::string meta = midiTrack(std::string("\x00\xf0\x05\x7e\x7f\x09\x01\xf7", 8) +
                                     std::string("\x00\xff\x01\x04text", 8));
  const std::string controls =
      midiTrack(midiNote(10, 60, 20) + std::string("\x00\xb0\x07\x64\x0a\x0a\x50", 7));
  const std::string other = "XYZW" + be32(2) + "ab";
  const std::string mixed = dir.write("mixed.mid", midiFile(1, 96, {meta, other + controls}));
  EXPECT_NEAR(audioClipDuration(mixed), 40.0 / 96 * 0.5, 1e-9);
  ASSERT_TRUE(decodeAudioClip(mixed, clip, why)) << why;
  EXPECT_NEAR(clip.duration(), 40.0 / 96 * 0.5, 1e-4);
  EXPECT_GT(loudness(clip, 0.06, 0.15), 0.003) << "the note beyond the unknown chunk";

  // The same song as a RIFF MIDI file.
  const std::string rmi = dir.write("three.rmi", riffMidi(threeNoteMidi()));
  EXPECT_NEAR(audioClipDuration(rmi), 1.5, 1e-9);
  ASSERT_TRUE(decodeAudioClip(rmi, clip, why)) << why;
  EXPECT_NEAR(clip.duration(), 1.5, 1e-4);
  EXPECT_GT(loudness(clip, 0.05, 0.45), 0.003);
}

TEST(MidiClip, BrokenAndEndlessFilesAreRefusedWithOneLine) {
  testing::TempDir dir;
  const std::string good = threeNoteMidi();
  std::string noStatus = good;
  noStatus[22 + 8] = 0x40;  // the program change's status byte: a data byte, no status before
  std::string smpte = good;
  smpte[12] = char(0xe7);  // -25 frames a second
  const std::string badStatus = midiFile(0, 96, {midiTrack(std::string("\x00\xf4", 2))});
  // A track whose chunk ends inside a note's event.
  const std::string shortTrack = midiFile(0, 96, {"MTrk" + be32(3) + "\x00\x90\x3c"});
  const std::string rmi = riffMidi(good);
  const std::string broken[] = {
      "MThd", good.substr(0, 13), good.substr(0, good.size() - 3),
      "MThd" + std::string(40, '\x7f'), noStatus, smpte, badStatus, shortTrack,
      rmi.substr(0, rmi.size() - 1), riffMidi("MThd")};
  for (size_t i = 0; i < std::size(broken); ++i) {
    const std::string path = dir.write("broken.mid", broken[i]);
    AudioClipData clip;
    std::string why;
    EXPECT_FALSE(decodeAudioClip(path, clip, why)) << i;
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(why.find('\n'), std::string::npos) << why;
    EXPECT_EQ(audioClipDuration(path), -1) << why;
  }

  // Ten notes, each 0x0FFFFFFF ticks at the slowest tempo: far beyond the
  // samples allowed, refused before anything is rendered.
  std::string events = midiTempo(0, 0xffffff);
  for (int i = 0; i < 10; ++i) events += midiNote(0, 60, 0x0fffffff);
  const std::string endless = dir.write("endless.mid", midiFile(0, 1, {midiTrack(events)}));
  AudioClipData clip;
  std::string why;
  EXPECT_FALSE(decodeAudioClip(endless, clip, why));
  EXPECT_NE(why.find("samples of sound"), std::string::npos) << why;
  EXPECT_TRUE(clip.samples.empty());
  EXPECT_GT(audioClipDuration(endless), 3600.0 * 24);
}

TEST(MidiClip, NoSoundFontMeansOneLineAndAKnownLength) {
  testing::TempDir dir;
  const std::string midi = dir.write("three.mid", threeNoteMidi());
  AudioClipData clip;
  std::string why;
  {
    SoundFontChoice none(dir.file("missing.sf2"));
    EXPECT_FALSE(decodeAudioClip(midi, clip, why));
    EXPECT_NE(why.find("no General MIDI SoundFont installed"), std::string::npos) << why;
    EXPECT_NE(why.find("missing.sf2"), std::string::npos) << why;
    EXPECT_EQ(why.find('\n'), std::string::npos) << why;
    EXPECT_NEAR(audioClipDuration(midi), 1.5, 1e-9);
  }
  {
    SoundFontChoice text(dir.write("text.sf2", "not a SoundFont at all"));
    EXPECT_FALSE(decodeAudioClip(midi, clip, why));
    EXPECT_NE(why.find("not a SoundFont"), std::string::npos) << why;
    EXPECT_EQ(why.find('\n'), std::string::npos) << why;
  }
  EXPECT_TRUE(clip.samples.empty());
  EXPECT_TRUE(decodeAudioClip(midi, clip, why)) << why;  // the installed one again
}

// Seconds FluidSynth's player takes to play the MIDI file at PATH to its
// end, rendered in blocks of 64 frames with no SoundFont (only its clock
// matters here).
double fluidSynthPlayingTime(const std::string& path) {
  for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
    fluid_set_log_function(level, nullptr, nullptr);
  fluid_settings_t* settings = new_fluid_settings();
  fluid_settings_setnum(settings, "synth.sample-rate", 44100);
  fluid_settings_setstr(settings, "player.timing-source", "sample");
  fluid_synth_t* synth = new_fluid_synth(settings);
  fluid_player_t* player = new_fluid_player(synth);
  fluid_player_add(player, path.c_str());
  fluid_player_play(player);
  std::vector<float> left(64), right(64);
  size_t frames = 0;
  while (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING && frames < 44100u * 3600) {
    fluid_synth_write_float(synth, 64, left.data(), 0, 1, right.data(), 0, 1);
    frames += 64;
  }
  delete_fluid_player(player);
  delete_fluid_synth(synth);
  delete_fluid_settings(settings);
  return double(frames) / 44100;
}

TEST(MidiClip, RealFilePlaysAsLongAsFluidSynthsPlayerSays) {
  testing::TempDir dir;
  const std::string path = testing::sourcePath("testing/corpus/media/wtc2p02.mid");
  AudioClipData clip;
  std::string why;
  ASSERT_TRUE(decodeAudioClip(path, clip, why)) << why;
  const double seconds = audioClipDuration(path);
  EXPECT_NEAR(clip.duration(), seconds, 1e-4);
  EXPECT_GT(seconds, 50);
  // FluidSynth's player lingers a while after a song's last event: measured
  // on the 1.5-second file, that wait is taken off the real file's time.
  const double linger = fluidSynthPlayingTime(dir.write("three.mid", threeNoteMidi())) - 1.5;
  EXPECT_NEAR(seconds, fluidSynthPlayingTime(path) - linger, 0.02);
  for (double t = 0; t + 1 < seconds; t += 10) EXPECT_GT(loudness(clip, t, t + 1), 0.003) << t;
}

}  // namespace
}  // namespace kestrel
