// Every scene file of the corpus (testing/corpus/vrml) renders off screen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "viewer/browser/render/gl/snapshot.h"

namespace kestrel {
namespace {

TEST(CorpusRender, EveryFileRendersAndDrawsSomething) {
  const char* src = std::getenv("KESTREL_SOURCE_DIR");
  ASSERT_NE(src, nullptr);
  std::filesystem::path dir = std::filesystem::path(src) / "testing" / "corpus" / "vrml";
  ASSERT_TRUE(std::filesystem::is_directory(dir)) << "no corpus at " << dir;
  int files = 0, drawn = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".wrl") continue;
    CVrmlBrowser browser;
    VrmlContent content;
    if (!browser.createFromFile(entry.path().string(), content)) continue;  // parse tests cover it
    ASSERT_TRUE(browser.appendToRoot(content));
    ++files;
    RgbaImage img;
    std::string error;
    ASSERT_TRUE(renderImage(browser.scene(), 64, 48, img, &error)) << entry.path() << ": " << error;
    const uint8_t* corner = img.at(0, 0);
    bool differs = false;
    for (int y = 0; y < img.height && !differs; ++y)
      for (int x = 0; x < img.width && !differs; ++x)
        differs = std::memcmp(img.at(x, y), corner, 3) != 0;
    drawn += differs;
  }
  EXPECT_GT(files, 10);
  // Nearly every file shows something in front of its background.
  EXPECT_GE(drawn * 10, files * 8) << drawn << " of " << files;
}

}  // namespace
}  // namespace kestrel
