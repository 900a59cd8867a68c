// Gzip-compressed scene files: inflated wherever scene text is read (the
// scene file, Inlines, EXTERNPROTO files), bounded against gzip bombs, and
// refused with a reason when damaged.
#include "viewer/browser/gzip_input.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "viewer/browser/file_input.h"
#include "viewer/browser/gzip_test_support.h"
#include "viewer/browser/vrml_browser.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;
using testing::gzipped;

class GzipDir {
 public:
  GzipDir() : path_(fs::temp_directory_path() / ("kestrel-gz-" + std::to_string(::getpid()))) {
    fs::create_directories(path_);
    openLogIn(path_.string());
  }
  ~GzipDir() {
    openLogIn("");
    fs::remove_all(path_);
  }
  std::string write(const std::string& name, const std::string& bytes) const {
    fs::create_directories((path_ / name).parent_path());
    std::ofstream(path_ / name, std::ios::binary) << bytes;
    return (path_ / name).string();
  }
  std::string log() const {
    std::ifstream in(path_ / "kestrel.log");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  fs::path path_;
};

TEST(GzipInput, InflatesMembersAndRefusesBombsAndDamage) {
  std::string text;
  EXPECT_FALSE(isGzip("#VRML V2.0 utf8"));
  std::string packed = gzipped("#VRML V2.0 utf8\nGroup {}\n");
  ASSERT_TRUE(isGzip(packed));
  ASSERT_EQ(inflateGzip(packed, 1000, text), Inflate::kOk);
  EXPECT_EQ(text, "#VRML V2.0 utf8\nGroup {}\n");

  // Concatenated members read as one text; trailing zeros are ignored.
  ASSERT_EQ(inflateGzip(gzipped("ab") + gzipped("cd") + std::string(8, '\0'), 1000, text),
            Inflate::kOk);
  EXPECT_EQ(text, "abcd");

  // A megabyte of blanks packs into about a kilobyte; with a 64 KiB limit
  // it is refused and nothing is kept.
  std::string bomb = gzipped(std::string(size_t{1} << 20, ' '));
  ASSERT_LT(bomb.size(), 4096u);
  EXPECT_EQ(inflateGzip(bomb, 64 * 1024, text), Inflate::kTooLarge);
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(inflateGzip(bomb, size_t{1} << 20, text), Inflate::kOk);

  // Cut short, or a flipped byte inside the deflate data.
  EXPECT_EQ(inflateGzip(packed.substr(0, packed.size() - 6), 1000, text), Inflate::kDamaged);
  EXPECT_TRUE(text.empty());
  std::string flipped = packed;
  flipped[12] = static_cast<char>(flipped[12] ^ 0x55);
  EXPECT_EQ(inflateGzip(flipped, 1000, text), Inflate::kDamaged);
  EXPECT_EQ(inflateGzip("\x1f\x8b", 1000, text), Inflate::kDamaged);
}

TEST(GzipInput, SceneTextReadsInflateWithinTheSameLimit) {
  GzipDir dir;
  std::string text;
  std::string plain = dir.write("plain.wrl", "#VRML V2.0 utf8\n");
  ASSERT_EQ(readSceneText(plain, 100, text), FileRead::kOk);
  EXPECT_EQ(text, "#VRML V2.0 utf8\n");
  std::string packed = dir.write("packed.wrl.gz", gzipped("#VRML V2.0 utf8\n"));
  ASSERT_EQ(readSceneFile(packed, text), FileRead::kOk);
  EXPECT_EQ(text, "#VRML V2.0 utf8\n");

  std::string bomb = dir.write("bomb.wrz", gzipped(std::string(size_t{1} << 20, '#')));
  EXPECT_EQ(readSceneText(bomb, 64 * 1024, text), FileRead::kInflatedTooLarge);
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(refusalText(FileRead::kInflatedTooLarge, 64 * 1024),
            "larger than the 64 KiB limit when uncompressed");
  std::string cut = dir.write("cut.wrl", gzipped("#VRML V2.0 utf8\n").substr(0, 15));
  EXPECT_EQ(readSceneText(cut, 100, text), FileRead::kDamagedGzip);
  EXPECT_EQ(refusalText(FileRead::kDamagedGzip, 100), "damaged or truncated gzip data");
}

TEST(GzipInput, CompressedWorldsInlinesAndExternProtosLoad) {
  GzipDir dir;
  dir.write("parts/box.wrl.gz", gzipped("#VRML V2.0 utf8\nDEF InBox Shape { geometry Box {} }\n"));
  dir.write("parts/protos.wrz",
            gzipped("#VRML V2.0 utf8\nPROTO Far [ field SFFloat r 1 ] "
                    "{ Sphere { radius IS r } }\n"));
  dir.write("parts/cut.wrl", gzipped("#VRML V2.0 utf8\nGroup {}\n").substr(0, 12));
  std::string world = dir.write(
      "world.wrl", gzipped("#VRML V2.0 utf8\n"
                           "EXTERNPROTO Far [ field SFFloat r ] \"parts/protos.wrz\"\n"
                           "DEF Here Shape { geometry Far { r 3 } }\n"
                           "DEF Packed Inline { url \"parts/box.wrl.gz\" }\n"
                           "DEF Damaged Inline { url \"parts/cut.wrl\" }\n"));
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromFile(world, content)) << browser.lastError().text();
  ASSERT_TRUE(browser.appendToRoot(content));
  NodeHandle here, packed, damaged, inBox;
  ASSERT_TRUE(browser.findNode("Here", here));
  ASSERT_TRUE(browser.findNode("Packed", packed));
  EXPECT_TRUE(browser.findInlineNode(packed, "InBox", inBox));
  ASSERT_TRUE(browser.findNode("Damaged", damaged));
  EXPECT_EQ(damaged.node()->extras().inlineScene, nullptr);
  EXPECT_NE(dir.log().find("Inline file not found: \"parts/cut.wrl\""), std::string::npos)
      << dir.log();

  std::string bad = dir.write("bad.wrl.gz", gzipped("#VRML V2.0 utf8\n").substr(0, 15));
  EXPECT_FALSE(browser.createFromFile(bad, content));
  EXPECT_NE(browser.lastError().text().find("damaged or truncated gzip data"), std::string::npos)
      << browser.lastError().text();
}

}  // namespace
}  // namespace kestrel
