#include "viewer/intake/line_framer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrel {
namespace {

// Feeds BYTES in pieces of CHUNK bytes and collects every finished line.
std::vector<std::string> frame(const std::string& bytes, size_t chunk = 5000) {
  LineFramer framer;
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = std::min(bytes.size(), pos + chunk);
    while (pos < end) {
      pos += framer.feed(bytes.data() + pos, end - pos);
      if (framer.lineReady()) lines.emplace_back(framer.line());
    }
  }
  return lines;
}

TEST(LineFramer, LinesEndAtNewlinesAndKeepCarriageReturns) {
  EXPECT_EQ(frame("setobject ball\nload a.wrl\r\n"),
            (std::vector<std::string>{"setobject ball", "load a.wrl\r"}));
  EXPECT_EQ(frame("\r\n"), (std::vector<std::string>{""}));
  EXPECT_EQ(frame("\n\n"), (std::vector<std::string>{"", ""}));
}

TEST(LineFramer, UnprintableFirstOrSecondCharacterIsDroppedWithWhatCameBefore) {
  EXPECT_EQ(frame("\x01" "clear\n"), (std::vector<std::string>{"clear"}));
  EXPECT_EQ(frame("x\x01" "clear\n"), (std::vector<std::string>{"clear"}));
  EXPECT_EQ(frame("\x01\x02" "clear\n"), (std::vector<std::string>{"clear"}));
  // From the third character on, nothing is tested any more.
  EXPECT_EQ(frame("ab\x01" "c\n"), (std::vector<std::string>{"ab\x01" "c"}));
  EXPECT_EQ(frame(std::string("\xff\xfe" "up\n")), (std::vector<std::string>{"up"}));
}

TEST(LineFramer, LongLinesAreCutAt4999Characters) {
  std::string six(6000, 'a');
  std::vector<std::string> lines = frame(six + "\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), 4999u);
  EXPECT_EQ(lines[1].size(), 1001u);
  // Dropped characters count toward the limit as well.
  lines = frame("\x01" + std::string(4998, 'b') + "c\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string(4998, 'b'));
  EXPECT_EQ(lines[1], "c");
}

TEST(LineFramer, ChunkBoundariesDoNotChangeTheLines) {
  std::string bytes = "\x01x\x02" "clear\nsetvalue 3\r\n" + std::string(7000, 'z') + "\nend\n";
  std::vector<std::string> whole = frame(bytes);
  for (size_t chunk : {1u, 2u, 3u, 7u, 4999u}) EXPECT_EQ(frame(bytes, chunk), whole) << chunk;
}

TEST(LineFramer, EndLineKeepsAPartialLineAndDiscardForgetsIt) {
  LineFramer framer;
  framer.feed("partial", 7);
  EXPECT_TRUE(framer.lineStarted());
  EXPECT_FALSE(framer.lineReady());
  framer.endLine();
  EXPECT_EQ(framer.line(), "partial");
  framer.feed("junk", 4);
  framer.discard();
  EXPECT_FALSE(framer.lineStarted());
  framer.feed("ok\n", 3);
  EXPECT_EQ(framer.line(), "ok");
}

}  // namespace
}  // namespace kestrel
