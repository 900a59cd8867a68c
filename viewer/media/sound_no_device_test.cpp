// No audio output device: opening one fails with one log line, and a
// scene with a running Sound goes on silently.
#include <gtest/gtest.h>

#include <cstdlib>

#include "testing/test_support.h"
#include "viewer/media/sound_device.h"
#include "viewer/media/sound_player.h"

namespace kestrel {
namespace {

TEST(SoundNoDevice, OneLogLineAndSilence) {
  testing::TempDir dir;
  // No output driver OpenAL Soft knows, so it finds no device.
  const std::string conf = dir.write("alsoft.conf", "drivers = no-such-driver\n");
  ::setenv("ALSOFT_CONF", conf.c_str(), 1);
  auto device = SoundDevice::open();
  EXPECT_FALSE(device);
  int lines = 0;
  for (const std::string& line : testing::readLines(dir.file("kestrel.log")))
    lines += line.find("Sound off:") != std::string::npos;
  EXPECT_EQ(lines, 1);

  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromString(
      "Sound { source AudioClip { url \"none.wav\" loop TRUE } }", content));
  ASSERT_TRUE(browser.appendToRoot(content));
  SoundPlayer player(device.get());
  browser.advanceTime(1);
  player.update(browser, Camera{});
  EXPECT_EQ(player.playing(), 0u);
}

}  // namespace
}  // namespace kestrel
