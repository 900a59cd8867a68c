// Sound heard through OpenAL Soft's wave-file output (what the device
// would play, written at the pace of real time): a Sound whose AudioClip
// runs from 0.3 s to 0.6 s of the browser clock is heard then and only
// then, as loud in both ears; one to the viewer's left, from 0.9 s to
// 1.1 s, is louder in the left ear; a clip that has not started, and one
// placed beyond its Sound's outer ellipsoid, add nothing. With fewer
// sources than Sounds, priority and then loudness choose who plays. A
// MovieTexture as a Sound's source is heard while the movie runs. A MIDI
// clip is heard while it runs; without a SoundFont it is silent and says
// why in the log.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <thread>

#include "testing/test_support.h"
#include "viewer/media/audio_clip_decoder.h"
#include "viewer/media/audio_movie_lengths.h"
#include "viewer/media/sound_device.h"
#include "viewer/media/movie_test_support.h"
#include "viewer/media/sound_player.h"
#include "viewer/media/sound_test_support.h"

namespace kestrel {
namespace {

// OpenAL Soft reads ALSOFT_CONF once per process: every test here writes
// to the one wave file named there, each device opened anew rewriting it.
std::string waveOutput() {
  static const testing::TempDir dir(false);
  static const std::string out = [] {
    const std::string conf = dir.write(
        "alsoft.conf", "drivers = wave\nfrequency = 22050\nchannels = stereo\n"
                       "sample-type = int16\n[wave]\nfile = " + dir.file("out.wav") + "\n");
    ::setenv("ALSOFT_CONF", conf.c_str(), 1);
    return dir.file("out.wav");
  }();
  return out;
}

// Loudness (RMS of channel CHANNEL) of each WINDOW seconds of the file.
std::vector<double> loudness(const std::string& path, double window, double& step,
                             int channel = 0) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  std::vector<double> out;
  if (!f) return out;
  std::vector<float> all(size_t(info.frames) * size_t(info.channels));
  sf_readf_float(f, all.data(), info.frames);
  sf_close(f);
  const auto per = size_t(window * info.samplerate);
  step = double(per) / info.samplerate;
  for (size_t start = 0; start + per <= size_t(info.frames); start += per) {
    double sum = 0;
    for (size_t i = start; i < start + per; ++i) {
      float v = all[i * size_t(info.channels) + size_t(channel)];
      sum += double(v) * v;
    }
    out.push_back(std::sqrt(sum / double(per)));
  }
  return out;
}

// Adds the world read into CONTENT (READ: whether it was) to BROWSER.
::testing::AssertionResult addWorld(CVrmlBrowser& browser, bool read, VrmlContent& content) {
  if (!read) return ::testing::AssertionFailure() << browser.lastError().text();
  if (!browser.appendToRoot(content)) return ::testing::AssertionFailure() << "not added";
  return ::testing::AssertionSuccess();
}

// Loads VRML into BROWSER, file lengths probed as the viewer does.
::testing::AssertionResult loadWorld(CVrmlBrowser& browser, const std::string& vrml) {
  browser.setMediaProbe(mediaFileLength);
  VrmlContent content;
  return addWorld(browser, browser.createFromString(vrml, content), content);
}

// Loads the corpus world at RELATIVE (to the source tree) into BROWSER.
::testing::AssertionResult loadCorpusWorld(CVrmlBrowser& browser, const std::string& relative) {
  browser.setMediaProbe(mediaFileLength);
  VrmlContent content;
  return addWorld(browser, browser.createFromFile(testing::sourcePath(relative), content), content);
}

// FIELD of the node named NAME in BROWSER's scene.
::testing::AssertionResult findField(CVrmlBrowser& browser, const char* name, const char* field,
                                     FieldHandle& out) {
  NodeHandle node;
  if (!browser.findNode(name, node)) return ::testing::AssertionFailure() << "no node " << name;
  if (!browser.field(node, field, out)) return ::testing::AssertionFailure() << "no " << field;
  return ::testing::AssertionSuccess();
}

// A Sound at the origin heard at full intensity within 50 m, playing CLIP.
std::string nearSound(const std::string& clip) {
  return "Sound { minFront 50 minBack 50 maxFront 100 maxBack 100\n  source " + clip + " }\n";
}

TEST(SoundWave, AClipIsHeardWhileItRunsAndOnlyThen) {
  testing::TempDir dir;
  const std::string out = waveOutput();
  const std::string clip = dir.write("tone.wav", wavBytes(1, 22050, tone(22050, 2.0, 440)));

  CVrmlBrowser browser;
  browser.setMediaProbe(mediaFileLength);
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(
      "Sound { minFront 50 minBack 50 maxFront 100 maxBack 100\n"
      "  source DEF A AudioClip { url \"" + clip + "\" startTime 0.3 stopTime 0.6 } }\n"
      "Sound { source DEF LATER AudioClip { url \"" + clip + "\" startTime 100 } }\n"
      "Transform { translation -8 0 10 children Sound { minFront 50 minBack 50 maxFront 100\n"
      "  maxBack 100 source AudioClip { url \"" + clip + "\" startTime 0.9 stopTime 1.1 } } }\n"
      "Transform { translation 0 0 -500 children Sound {\n"
      "  source DEF FAR AudioClip { url \"" + clip + "\" loop TRUE } } }\n", content))
      << browser.lastError().text();
  ASSERT_TRUE(browser.appendToRoot(content));
  NodeHandle a;
  ASSERT_TRUE(browser.findNode("A", a));
  EXPECT_DOUBLE_EQ(*a.node()->field("duration_changed")->as<double>(), 0.0);

  Camera camera;
  camera.viewer.position = {0, 0, 10};
  camera.view = Mat4::translation({0, 0, -10});
  {
    auto device = SoundDevice::open();
    ASSERT_TRUE(device);
    SoundPlayer player(device.get());
    const auto t0 = std::chrono::steady_clock::now();
    size_t most = 0;
    for (double t = 0; t < 1.4;) {
      browser.advanceTime(t);
      player.update(browser, camera);
      most = std::max(most, player.playing());
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    EXPECT_DOUBLE_EQ(*a.node()->field("duration_changed")->as<double>(), 2.0);
    EXPECT_EQ(most, 1u);  // FAR plays nowhere near the listener; LATER never starts
  }  // closing the device finishes the file

  double step = 0;
  const std::vector<double> rms = loudness(out, 0.02, step);
  const std::vector<double> right = loudness(out, 0.02, step, 1);
  ASSERT_GT(rms.size(), size_t(1.3 / 0.02)) << "wave output missing or short";
  int first = -1, last = -1;
  for (size_t i = 0; i < size_t(0.8 / step); ++i) {
    if (rms[i] > 0.05) {
      if (first < 0) first = int(i);
      last = int(i);
    }
  }
  ASSERT_GE(first, 0) << "nothing was heard";
  // Within what the wave writer's period and the frame loop add.
  EXPECT_NEAR(first * step, 0.3, 0.12);
  EXPECT_NEAR((last + 1) * step, 0.6, 0.12);
  double centreLeft = 0, centreRight = 0, leftLeft = 0, leftRight = 0;
  for (size_t i = 0; i < rms.size(); ++i) {
    double t = double(i) * step;
    if (t < 0.15 || (t > 0.75 && t < 0.85) || t > 1.25) {
      EXPECT_LT(rms[i], 0.005) << "sound at " << t << " s";
    }
    if (t > 0.42 && t < 0.48) centreLeft += rms[i], centreRight += right[i];
    if (t > 1.02 && t < 1.08) leftLeft += rms[i], leftRight += right[i];
  }
  EXPECT_NEAR(centreLeft / centreRight, 1.0, 0.1);
  EXPECT_GT(leftLeft, 1.5 * leftRight) << leftLeft << " " << leftRight;
}

// Plays the browser's world for SECONDS of real time, its clock running
// from CLOCKSTART; BEFOREFRAME, when given, is told the time played before
// each frame (to change the scene then).
void playFor(CVrmlBrowser& browser, const Camera& camera, double seconds, double clockStart = 0,
             const std::function<void(double)>& beforeFrame = {}) {
  auto device = SoundDevice::open();
  ASSERT_TRUE(device);
  SoundPlayer player(device.get());
  const auto t0 = std::chrono::steady_clock::now();
  for (double t = 0; t < seconds;) {
    if (beforeFrame) beforeFrame(t);
    browser.advanceTime(clockStart + t);
    player.update(browser, camera);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
}  // closing the device finishes the file

TEST(SoundWave, AMidiClipIsHeardWhileItRunsAndSilentWithoutSoundFont) {
  testing::TempDir dir;
  const std::string out = waveOutput();
  const std::string midi = dir.write("three.mid", threeNoteMidi());
  CVrmlBrowser browser;
  ASSERT_TRUE(loadWorld(
      browser, nearSound("DEF M AudioClip { url \"" + midi + "\" startTime 0.3 stopTime 0.9 }")));
  Camera camera;
  playFor(browser, camera, 1.3);
  NodeHandle m;
  ASSERT_TRUE(browser.findNode("M", m));
  EXPECT_NEAR(*m.node()->field("duration_changed")->as<double>(), 1.5, 1e-9);

  double step = 0;
  const std::vector<double> rms = loudness(out, 0.02, step);
  ASSERT_GT(rms.size(), size_t(1.2 / 0.02)) << "wave output missing or short";
  double during = 1;  // the quietest moment while the clip runs
  // Within what the wave writer's period and the frame loop add; the file
  // is rendered once the clip starts, which may take a busy machine a
  // while.
  for (size_t i = 0; i < rms.size(); ++i) {
    const double t = double(i) * step;
    if (t < 0.15 || t > 1.05) {
      EXPECT_LT(rms[i], 0.0005) << "sound at " << t << " s";
    }
    if (t > 0.55 && t < 0.75) during = std::min(during, rms[i]);
  }
  EXPECT_GT(during, 0.002) << "the MIDI clip was not heard throughout";
  EXPECT_EQ(testing::readFile(dir.file("kestrel.log")).find("Sound not played"), std::string::npos);

  // The same world where no SoundFont can be found: silence and one line.
  ::setenv("KESTREL_SOUNDFONT", dir.file("none.sf2").c_str(), 1);
  CVrmlBrowser again;
  ASSERT_TRUE(loadWorld(again, nearSound("AudioClip { url \"" + midi + "\" stopTime 0.5 }")));
  playFor(again, camera, 0.6);
  ::unsetenv("KESTREL_SOUNDFONT");
  for (double level : loudness(out, 0.02, step)) EXPECT_LT(level, 0.0005);
  const std::string log = testing::readFile(dir.file("kestrel.log"));
  EXPECT_NE(log.find("Sound not played"), std::string::npos) << log;
  EXPECT_NE(log.find("no General MIDI SoundFont installed"), std::string::npos) << log;
}

// A world playing a real two-track MIDI file (the corpus's) in a loop, from
// a piano at the origin: its length is known
// when the clock runs, the file is rendered beside the frames (the first
// update returns with nothing playing yet, a later one starts the music),
// and the music is heard once rendered.
TEST(SoundWave, CorpusMidiWorldPlaysItsPrelude) {
  testing::TempDir dir;
  const std::string out = waveOutput();
  CVrmlBrowser browser;
  const std::string midi = testing::sourcePath("testing/corpus/media/wtc2p02.mid");
  ASSERT_TRUE(loadWorld(browser,
                        "Viewpoint { position 0 1.6 6 }\n"
                        "DEF Piano Transform { translation 0 0.5 0 children [\n"
                        "  Shape { geometry Box { size 2 1 1 } }\n"
                        "  Sound { minFront 30 minBack 30 maxFront 60 maxBack 60 spatialize FALSE\n"
                        "    source DEF Prelude AudioClip { url \"" + midi + "\" loop TRUE } } ] }\n"));
  Camera camera;
  camera.viewer.position = {0, 1.6f, 6};
  camera.view = Mat4::translation({0, -1.6f, -6});
  {
    auto device = SoundDevice::open();
    ASSERT_TRUE(device);
    SoundPlayer player(device.get());
    browser.advanceTime(0);
    player.update(browser, camera);
    EXPECT_EQ(player.playing(), 0u);  // a minute of music takes longer to render
    EXPECT_TRUE(testing::waitFor([&] {
      player.update(browser, camera);
      return player.playing() == 1;
    }, 20000));
    EXPECT_EQ(player.filesDecoded(), 1u);
  }
  playFor(browser, camera, 2.0);
  NodeHandle prelude;
  ASSERT_TRUE(browser.findNode("Prelude", prelude));
  const double length = audioClipDuration(midi);
  EXPECT_GT(length, 50);
  EXPECT_NEAR(*prelude.node()->field("duration_changed")->as<double>(), length, 1e-9);
  double step = 0, heard = 0;
  const std::vector<double> rms = loudness(out, 0.02, step);
  ASSERT_GT(rms.size(), size_t(1.8 / 0.02)) << "wave output missing or short";
  for (size_t i = size_t(1.2 / step); i < size_t(1.8 / step); ++i) heard = std::max(heard, rms[i]);
  EXPECT_GT(heard, 0.002) << "the prelude was not heard";
  EXPECT_EQ(testing::readFile(dir.file("kestrel.log")).find("Sound not played"), std::string::npos);
}

// A mesh that changes every frame (a morph) leaves the playing Sounds
// alone: no source restarts and no file is decoded again (a MIDI file
// would be rendered again each frame). Nodes leaving the scene still make
// the player forget what it decoded, as their memory may be reused.
TEST(SoundWave, ChangingMeshesKeepDecodedClips) {
  testing::TempDir dir;
  waveOutput();
  const std::string clip = dir.write("tone.wav", wavBytes(1, 22050, tone(22050, 2.0, 440)));
  CVrmlBrowser browser;
  ASSERT_TRUE(loadWorld(
      browser, nearSound("AudioClip { url \"" + clip + "\" loop TRUE }") +
                   "Shape { geometry IndexedFaceSet { coord DEF C Coordinate {\n"
                   "  point [ 0 0 0, 1 0 0, 0 1 0 ] } coordIndex [ 0 1 2 ] } }\n"
                   "DEF G Group { children Shape { geometry Box {} } }\n"));
  FieldHandle point, children;
  ASSERT_TRUE(findField(browser, "C", "point", point));
  ASSERT_TRUE(findField(browser, "G", "children", children));
  Camera camera;
  auto device = SoundDevice::open();
  ASSERT_TRUE(device);
  SoundPlayer player(device.get());
  for (int frame = 0; frame < 10; ++frame) {
    const float y = 1.0f + 0.1f * float(frame);
    ASSERT_TRUE(point.set(FieldValue{FieldType::MFVec3f,
                                     std::vector<Vec3f>{{0, 0, 0}, {1, 0, 0}, {0, y, 0}}}));
    browser.advanceTime(0.01 * frame);
    player.update(browser, camera);
    EXPECT_EQ(player.playing(), 1u);
  }
  EXPECT_EQ(player.filesDecoded(), 1u);
  ASSERT_TRUE(children.set(FieldValue{FieldType::MFNode, std::vector<NodePtr>{}}));
  browser.advanceTime(0.2);
  player.update(browser, camera);
  EXPECT_EQ(player.playing(), 1u);
  EXPECT_EQ(player.filesDecoded(), 2u);
}

TEST(SoundWave, PriorityThenLoudnessChooseWhoPlaysWhenSourcesRunOut) {
  testing::TempDir dir;
  waveOutput();
  const std::string clip = dir.write("tone.wav", wavBytes(1, 22050, tone(22050, 2.0, 440)));
  CVrmlBrowser browser;
  VrmlContent content;
  auto sound = [&](const char* name, const char* priority, const char* x) {
    return std::string("Transform { translation ") + x + " 0 0 children DEF " + name +
           " Sound { priority " + priority + " maxFront 20 maxBack 20 source AudioClip { url \"" +
           clip + "\" loop TRUE } } }\n";
  };
  ASSERT_TRUE(browser.createFromString(sound("LOW", "0.2", "0") + sound("HIGH", "0.9", "0") +
                                           sound("NEAR", "0.5", "0") + sound("FAR", "0.5", "7"),
                                       content))
      << browser.lastError().text();
  ASSERT_TRUE(browser.appendToRoot(content));
  auto node = [&](const char* name) {
    NodeHandle h;
    EXPECT_TRUE(browser.findNode(name, h));
    return h.node();
  };
  Camera camera;
  camera.viewer.position = {0, 0, 5};
  camera.view = Mat4::translation({0, 0, -5});
  auto device = SoundDevice::open();
  ASSERT_TRUE(device);
  SoundPlayer player(device.get());
  player.setSourceLimit(2);
  browser.advanceTime(1);
  player.update(browser, camera);
  EXPECT_EQ(player.playing(), 2u);
  EXPECT_TRUE(player.playing(*node("HIGH")));
  EXPECT_TRUE(player.playing(*node("NEAR")));  // as important as FAR, but louder here
  EXPECT_FALSE(player.playing(*node("FAR")));
  EXPECT_FALSE(player.playing(*node("LOW")));
  camera.viewer.position = {7, 0, 5};  // walk over to FAR
  camera.view = Mat4::translation({-7, 0, -5});
  player.update(browser, camera);
  EXPECT_TRUE(player.playing(*node("HIGH")));
  EXPECT_TRUE(player.playing(*node("FAR")));
  EXPECT_FALSE(player.playing(*node("NEAR")));
}

// A real world with its own sound files beside it (WAV and Ogg Vorbis,
// and X3D EXPORT lines skipped): every AudioClip's length is known when the
// world loads, and a clip started from outside is heard then and only then.
TEST(SoundWave, CorpusJukeboxWorldPlaysItsFiles) {
  testing::TempDir dir;
  const std::string out = waveOutput();
  CVrmlBrowser browser;
  ASSERT_TRUE(loadCorpusWorld(browser, "testing/corpus/media/castle-engine__demo-models__sound.wrl"));
  auto start = [&](const char* name, double from, double to) {
    NodeHandle clip;
    FieldHandle startTime, stopTime;
    ASSERT_TRUE(browser.findNode(name, clip));
    ASSERT_TRUE(browser.field(clip, "startTime", startTime));
    ASSERT_TRUE(browser.field(clip, "stopTime", stopTime));
    startTime.set(FieldValue{FieldType::SFTime, from});
    stopTime.set(FieldValue{FieldType::SFTime, to});
  };
  // The clock starts well after 0, when every clip of the world (startTime
  // 0, no loop) has already played; two of them play again from outside.
  const double base = 100;
  start("AudioLeftTop", base + 0.3, base + 0.6);     // the Ogg Vorbis music
  start("AudioLeftBottom", base + 0.9, base + 1.2);  // a WAV
  Camera camera;  // between the two jukeboxes on the left
  camera.viewer.position = {0, -1.5f, 1.6f};
  camera.view = Mat4::translation({0, 1.5f, -1.6f});
  playFor(browser, camera, 1.8, base);
  // Lengths as the files' headers give them (Ogg: its granule count), sent
  // as duration_changed once the clock runs.
  const std::pair<const char*, double> lengths[] = {{"AudioRightBottom", 1.45608},
                                                    {"AudioRightTop", 3.75034},
                                                    {"AudioLeftTop", 42.4107},
                                                    {"AudioLeftBottom", 1.08390}};
  for (const auto& [name, seconds] : lengths) {
    NodeHandle clip;
    ASSERT_TRUE(browser.findNode(name, clip)) << name;
    EXPECT_NEAR(*clip.node()->field("duration_changed")->as<double>(), seconds, 1e-4) << name;
  }
  double step = 0;
  const std::vector<double> rms = loudness(out, 0.02, step);
  ASSERT_GT(rms.size(), size_t(1.75 / 0.02)) << "wave output missing or short";
  // Allowing for what the wave writer's period and the frame loop add (a
  // busy machine delays both): quiet before the first clip, between the
  // two and after the second; each heard while it runs.
  double music = 0, drink = 0, between = 1;
  for (size_t i = 0; i < rms.size(); ++i) {
    const double t = double(i) * step;
    if (t < 0.15 || (t > 1.55 && t < 1.75)) {
      EXPECT_LT(rms[i], 0.005) << "sound at " << t << " s";
    }
    if (t > 0.65 && t < 0.9) between = std::min(between, rms[i]);
    if (t > 0.4 && t < 0.5) music = std::max(music, rms[i]);
    if (t > 1.0 && t < 1.1) drink = std::max(drink, rms[i]);
  }
  EXPECT_GT(music, 0.01) << "the Ogg clip was not heard";
  EXPECT_GT(drink, 0.01) << "the WAV clip was not heard";
  EXPECT_LT(between, 0.005) << "the Ogg clip did not stop";
  EXPECT_EQ(testing::readFile(dir.file("kestrel.log")).find("Sound not played"), std::string::npos);
}

TEST(SoundWave, AnotherUrlIsHeardAtOnce) {
  testing::TempDir dir;
  const std::string out = waveOutput();
  const std::string quiet = dir.write("quiet.wav", wavBytes(1, 22050, std::vector<int16_t>(44100)));
  const std::string loud = dir.write("tone.wav", wavBytes(1, 22050, tone(22050, 2.0, 440)));

  CVrmlBrowser browser;
  ASSERT_TRUE(loadWorld(browser, nearSound("DEF A AudioClip { url \"" + quiet + "\" loop TRUE }")));
  FieldHandle url;
  ASSERT_TRUE(findField(browser, "A", "url", url));
  Camera camera;
  bool switched = false;
  playFor(browser, camera, 0.9, 0, [&](double t) {
    if (!switched && t >= 0.4) {
      url.set(FieldValue{FieldType::MFString, std::vector<std::string>{loud}});
      switched = true;
    }
  });
  double step = 0;
  const std::vector<double> rms = loudness(out, 0.02, step);
  ASSERT_GT(rms.size(), size_t(0.8 / 0.02)) << "wave output missing or short";
  double before = 0, after = 0;
  for (size_t i = 0; i < rms.size(); ++i) {
    const double t = double(i) * step;
    if (t < 0.3) before = std::max(before, rms[i]);
    if (t > 0.6 && t < 0.8) after = std::max(after, rms[i]);
  }
  EXPECT_LT(before, 0.005);
  EXPECT_GT(after, 0.05) << "the new file was not heard";
}

TEST(SoundWave, AMovieAsTheSourceIsHeardWhileItRuns) {
  testing::TempDir dir;
  const std::string out = waveOutput();
  TestMovie spec;
  spec.soundCodec = AV_CODEC_ID_PCM_S16LE;
  ASSERT_TRUE(writeTestMovie(dir.file("tone.avi"),
                             {{220, 30, 30}, {30, 200, 30}, {30, 30, 220}, {240, 240, 240}}, spec));
  TestMovie silent;
  ASSERT_TRUE(writeTestMovie(dir.file("silent.avi"), {{220, 30, 30}, {30, 200, 30}}, silent));

  CVrmlBrowser browser;
  browser.setMediaProbe(mediaFileLength);
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(
      "Sound { minFront 50 minBack 50 maxFront 100 maxBack 100\n"
      "  source DEF M MovieTexture { url \"" + dir.file("tone.avi") +
      "\" startTime 0.3 stopTime 0.6 } }\n"
      "Sound { minFront 50 minBack 50 maxFront 100 maxBack 100\n"
      "  source MovieTexture { url \"" + dir.file("silent.avi") + "\" loop TRUE } }\n"
      "Shape { appearance Appearance { texture USE M } geometry Box {} }\n", content))
      << browser.lastError().text();
  ASSERT_TRUE(browser.appendToRoot(content));
  playFor(browser, Camera{}, 0.9);
  double step = 0;
  const std::vector<double> rms = loudness(out, 0.02, step);
  ASSERT_GT(rms.size(), size_t(0.8 / 0.02)) << "wave output missing or short";
  double before = 0, during = 0, after = 0;
  for (size_t i = 0; i < rms.size(); ++i) {
    const double t = double(i) * step;
    if (t < 0.15) before = std::max(before, rms[i]);
    if (t > 0.4 && t < 0.5) during = std::max(during, rms[i]);
    if (t > 0.75) after = std::max(after, rms[i]);
  }
  EXPECT_LT(before, 0.005);
  EXPECT_GT(during, 0.05) << "the movie's sound was not heard";
  EXPECT_LT(after, 0.005);
  const std::string log = testing::readFile(dir.file("kestrel.log"));
  EXPECT_NE(log.find("silent.avi\", \"no sound in the file\""), std::string::npos) << log;
}

}  // namespace
}  // namespace kestrel
