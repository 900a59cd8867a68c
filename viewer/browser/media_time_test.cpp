// The clock of AudioClip and MovieTexture through the browser core: when
// they start and stop (isActive), duration_changed once the file's length
// is known, where each is in its file for forward, backward, still and
// looping play, and the events a running clip ignores. No device or file
// is read: the probe stands in for the decoders.
#include <gtest/gtest.h>

#include <map>

#include "viewer/browser/vrml_browser.h"

namespace kestrel {
namespace {

class MediaClockTest : public ::testing::Test {
 protected:
  void load(const std::string& text) {
    browser.setMediaProbe([this](const std::string& path, NodeKind kind) {
      probed.push_back(path);
      auto it = lengths.find(path);
      if (it == lengths.end()) return -1.0;
      EXPECT_EQ(kind, path.ends_with(".mpg") ? NodeKind::MovieTexture : NodeKind::AudioClip);
      return it->second;
    });
    VrmlContent content;
    ASSERT_TRUE(browser.createFromString(text, content)) << browser.lastError().text();
    ASSERT_TRUE(browser.appendToRoot(content));
  }
  const Node& node(const char* name) {
    NodeHandle h;
    EXPECT_TRUE(browser.findNode(name, h));
    return *h.node();
  }
  bool active(const char* name) { return *node(name).field("isActive")->as<bool>(); }
  double position(const char* name) { return browser.mediaPosition(node(name)); }
  double durationSent(const char* name) { return *node(name).field("duration_changed")->as<double>(); }

  CVrmlBrowser browser;
  std::map<std::string, double> lengths{{"/m/four.mpg", 4}, {"/m/three.wav", 3}};
  std::vector<std::string> probed;
};

TEST_F(MediaClockTest, MovieForwardRunsOnceThenHoldsItsLastFrame) {
  load("DEF M MovieTexture { url [ \"/m/missing.mpg\" \"/m/four.mpg\" ] startTime 10 }");
  EXPECT_EQ(probed, (std::vector<std::string>{"/m/missing.mpg", "/m/four.mpg"}));
  browser.advanceTime(5);
  EXPECT_DOUBLE_EQ(durationSent("M"), 4);
  EXPECT_FALSE(active("M"));
  EXPECT_DOUBLE_EQ(position("M"), 0);
  browser.advanceTime(11.5);
  EXPECT_TRUE(active("M"));
  EXPECT_DOUBLE_EQ(position("M"), 1.5);
  browser.advanceTime(14.5);
  EXPECT_FALSE(active("M"));
  EXPECT_DOUBLE_EQ(position("M"), 4);
  browser.advanceTime(30);
  EXPECT_FALSE(active("M"));
  EXPECT_DOUBLE_EQ(position("M"), 4);
}

TEST_F(MediaClockTest, SpeedSetsDirectionRateAndStillness) {
  load("DEF F MovieTexture { url \"/m/four.mpg\" loop TRUE speed 2 }\n"
       "DEF B MovieTexture { url \"/m/four.mpg\" speed -1 startTime 10 }\n"
       "DEF Z MovieTexture { url \"/m/four.mpg\" speed 0 startTime 10 stopTime 20 }");
  browser.advanceTime(5);
  EXPECT_FALSE(active("B"));
  EXPECT_DOUBLE_EQ(position("B"), 4);  // backwards starts at the end
  EXPECT_FALSE(active("Z"));
  EXPECT_TRUE(active("F"));
  EXPECT_DOUBLE_EQ(position("F"), 2);  // 10 s of film at double speed, looped
  browser.advanceTime(11);
  EXPECT_DOUBLE_EQ(position("B"), 3);
  EXPECT_TRUE(active("Z"));
  EXPECT_DOUBLE_EQ(position("Z"), 0);
  browser.advanceTime(19);
  EXPECT_TRUE(active("Z"));  // speed 0 never reaches the end of the file
  EXPECT_FALSE(active("B"));
  EXPECT_DOUBLE_EQ(position("B"), 0);
  browser.advanceTime(20);
  EXPECT_FALSE(active("Z"));
}

TEST_F(MediaClockTest, AudioPitchStopTimeAndLateStart) {
  load("DEF A AudioClip { url \"/m/three.wav\" pitch 2 startTime 5 stopTime 6 }\n"
       "DEF OLD AudioClip { url \"/m/three.wav\" }\n"
       "DEF U AudioClip { url \"/m/unknown.wav\" startTime 1 }");
  browser.advanceTime(5.25);
  EXPECT_TRUE(active("A"));
  EXPECT_DOUBLE_EQ(position("A"), 0.5);
  EXPECT_FALSE(active("OLD"));  // its start time passed long before the file ends
  EXPECT_DOUBLE_EQ(position("OLD"), 0);
  EXPECT_TRUE(active("U"));  // length unknown: runs from its start time
  EXPECT_EQ(browser.mediaDuration(node("U")), -1);
  EXPECT_DOUBLE_EQ(durationSent("U"), 0);  // never sent
  browser.advanceTime(6.5);
  EXPECT_FALSE(active("A"));
  EXPECT_DOUBLE_EQ(position("A"), 2);  // frozen where stopTime ended it
}

TEST_F(MediaClockTest, RunningClipKeepsStartPitchAndSpeed) {
  load("DEF A AudioClip { url \"/m/three.wav\" startTime 1 }\n"
       "DEF M MovieTexture { url \"/m/four.mpg\" startTime 1 }");
  browser.advanceTime(2);
  ASSERT_TRUE(active("A"));
  NodeHandle a, m;
  ASSERT_TRUE(browser.findNode("A", a));
  ASSERT_TRUE(browser.findNode("M", m));
  FieldHandle start, pitch, speed, stop;
  ASSERT_TRUE(browser.field(a, "startTime", start));
  ASSERT_TRUE(browser.field(a, "pitch", pitch));
  ASSERT_TRUE(browser.field(m, "speed", speed));
  ASSERT_TRUE(browser.field(a, "stopTime", stop));
  start.set(FieldValue{FieldType::SFTime, 1.5});
  pitch.set(FieldValue{FieldType::SFFloat, 3.0f});
  speed.set(FieldValue{FieldType::SFFloat, -1.0f});
  stop.set(FieldValue{FieldType::SFTime, 0.5});  // before the start: ignored
  browser.advanceTime(2.5);
  EXPECT_DOUBLE_EQ(position("A"), 1.5);
  EXPECT_DOUBLE_EQ(position("M"), 1.5);
  browser.advanceTime(4.5);
  EXPECT_FALSE(active("A"));  // ended with its file, not at the ignored stop time
  EXPECT_DOUBLE_EQ(position("A"), 3);
  stop.set(FieldValue{FieldType::SFTime, 0.5});
  start.set(FieldValue{FieldType::SFTime, 10.0});  // stopped: a new start counts
  browser.advanceTime(11);
  EXPECT_TRUE(active("A"));
  EXPECT_DOUBLE_EQ(position("A"), 1);
}

TEST_F(MediaClockTest, AnotherUrlIsProbedAndItsLengthSent) {
  load("DEF A AudioClip { url \"/m/three.wav\" startTime 1 loop TRUE }");
  browser.advanceTime(2);
  EXPECT_DOUBLE_EQ(durationSent("A"), 3);
  NodeHandle a;
  ASSERT_TRUE(browser.findNode("A", a));
  FieldHandle url;
  ASSERT_TRUE(browser.field(a, "url", url));
  lengths["/m/five.wav"] = 5;
  url.set(FieldValue{FieldType::MFString, std::vector<std::string>{"/m/five.wav"}});
  browser.advanceTime(3);
  EXPECT_EQ(probed, (std::vector<std::string>{"/m/three.wav", "/m/five.wav"}));
  EXPECT_DOUBLE_EQ(durationSent("A"), 5);
  EXPECT_TRUE(active("A"));
  // The clip loops over the new length: 5.5 s after its start, 0.5 s in.
  browser.advanceTime(6.5);
  EXPECT_DOUBLE_EQ(position("A"), 0.5);
  // The same url again probes nothing.
  url.set(FieldValue{FieldType::MFString, std::vector<std::string>{"/m/five.wav"}});
  browser.advanceTime(7);
  EXPECT_EQ(probed.size(), 2u);
}

}  // namespace
}  // namespace kestrel
