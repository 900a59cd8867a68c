// Naming a file in a data block's start entry, and which URLs are relative.
#include "viewer/browser/text_origin.h"

#include <gtest/gtest.h>

#include "viewer/browser/url_resolver.h"

namespace kestrel {
namespace {

TEST(TextOrigin, StartEntriesCarryTheFileAndLinesAreFoundInTheMadeText) {
  std::string entry = blockNameWithOrigin("house", "/srv/models/house.wrl");
  EXPECT_EQ(entry, "house\n/srv/models/house.wrl");
  EXPECT_EQ(takeBlockOrigin(entry), std::optional<std::string>("/srv/models/house.wrl"));
  EXPECT_EQ(entry, "house");
  EXPECT_EQ(takeBlockOrigin(entry), std::nullopt);
  EXPECT_EQ(entry, "house");
  EXPECT_EQ(blockNameWithOrigin("a", "bad\nname.wrl"), "a");
  EXPECT_EQ(blockNameWithOrigin("a", ""), "a");

  EXPECT_EQ(lineOfPart("Transform { children [\nGroup {}\n] }\n", "Group {}\n"), 2u);
  EXPECT_EQ(lineOfPart("Group {}\n", "Group {}\n"), 1u);
  EXPECT_EQ(lineOfPart("X\n", "missing"), 1u);
}

TEST(TextOrigin, OnlyRelativePathsResolveBesideAFile) {
  for (const char* url : {"wall.png", "../tex/wall.png", "sub\\wall.png"}) {
    EXPECT_TRUE(UrlResolver::isRelative(url)) << url;
  }
  for (const char* url : {"", "#Door", "/abs/wall.png", "c:/corvid/render/textures/a.png",
                          "C:\\corvid\\a.png", "http://example.org/a.png", "file:///tmp/a.png",
                          "urn:x:y"}) {
    EXPECT_FALSE(UrlResolver::isRelative(url)) << url;
  }
}

}  // namespace
}  // namespace kestrel
