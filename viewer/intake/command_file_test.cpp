#include "viewer/intake/command_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/test_support.h"
#include "viewer/intake/command_codes.h"
#include "viewer/intake/command_queue.h"

namespace kestrel {
namespace {

std::vector<std::string> drainTexts(InternalCommandQueue& queue) {
  std::vector<std::string> texts;
  while (auto entry = queue.takeNext()) {
    texts.push_back(std::to_string(entry->code) + ":" + (entry->text() ? entry->text() : ""));
  }
  return texts;
}

TEST(CommandFile, EveryLineReachesTheParserAndTheLastNeedsNoNewline) {
  testing::TempDir dir;
  dir.write("cmds", "setobject ball\n\nstarttemplate t\nTransform {}\nendtemplate\nshow");
  InternalCommandQueue queue;
  EXPECT_TRUE(readCommandFile(dir.file("cmds"), queue));
  EXPECT_EQ(drainTexts(queue), (std::vector<std::string>{"61:ball", "50:t", "52:Transform {}",
                                                         "51:endtemplate", "4:"}));
}

TEST(CommandFile, LongLinesArriveInPiecesOf999) {
  testing::TempDir dir;
  dir.write("long", "startdata x\n" + std::string(2500, 'q') + "\nenddata\n");
  InternalCommandQueue queue;
  readCommandFile(dir.file("long"), queue);
  std::vector<std::string> texts = drainTexts(queue);
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[1], "14:" + std::string(999, 'q'));
  EXPECT_EQ(texts[2], "14:" + std::string(999, 'q'));
  EXPECT_EQ(texts[3], "14:" + std::string(502, 'q'));
}

TEST(CommandFile, MissingFileIsLoggedWithoutItsPath) {
  testing::TempDir dir;
  InternalCommandQueue queue;
  EXPECT_FALSE(readCommandFile(dir.file("nope.cfg"), queue));
  EXPECT_EQ(queue.waiting(), 0);
  EXPECT_EQ(testing::readLines(dir.file("kestrel.log")),
            (std::vector<std::string>{"could not open file"}));
}

TEST(CommandFile, BinaryAndDirectoryInputsDoNotCrash) {
  testing::TempDir dir;
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 37) & 0xff);
  dir.write("blob", binary);
  InternalCommandQueue queue;
  readCommandFile(dir.file("blob"), queue);
  readCommandFile(dir.path(), queue);  // a directory reads as an empty file
  while (queue.takeNext()) {
  }
  SUCCEED();
}

TEST(CommandFile, LinesCarryTheirNestingAndTooDeepAFileIsNotRead) {
  testing::TempDir dir;
  dir.write("nested", "show\nstartdata x\nShape {}\nenddata\n");
  InternalCommandQueue queue;
  queue.queue("hide");
  EXPECT_TRUE(readCommandFile(dir.file("nested"), queue, 3));
  queue.queue("left");
  std::vector<int> depths;
  while (auto entry = queue.takeNext()) depths.push_back(entry->fileDepth);
  EXPECT_EQ(depths, (std::vector<int>{0, 3, 3, 3, 3, 0}));

  EXPECT_TRUE(readCommandFile(dir.file("nested"), queue, kMaxCommandFileDepth));
  while (queue.takeNext()) {
  }
  EXPECT_FALSE(readCommandFile(dir.file("nested"), queue, kMaxCommandFileDepth + 1));
  EXPECT_EQ(queue.waiting(), 0);
  EXPECT_EQ(testing::readLines(dir.file("kestrel.log")),
            (std::vector<std::string>{"command files nested more than 16 deep, not opening \"" +
                                      dir.file("nested") + "\""}));
}

TEST(CommandFileFeed, PiecesEndBetweenBlocksAfterTheirBytesAndTogetherHoldTheWholeFile) {
  testing::TempDir dir;
  std::string text;
  for (int k = 0; k < 40; ++k) text += "setobject a" + std::to_string(k) + "\n";
  text += "startdata b\n" + std::string(50, 'x') + "\nenddata\nshow\n";
  dir.write("cmds", text);
  InternalCommandQueue queue;
  CommandFileFeed feed;
  ASSERT_TRUE(feed.open(dir.file("cmds")));
  std::vector<size_t> pieceSizes;
  std::vector<std::string> texts;
  for (bool more = true; more;) {
    more = feed.feed(queue, 100);
    std::vector<std::string> piece = drainTexts(queue);
    pieceSizes.push_back(piece.size());
    texts.insert(texts.end(), piece.begin(), piece.end());
  }
  // "setobject aNN\n" is 14 bytes: a piece of 100 bytes ends after 8 lines.
  EXPECT_EQ(pieceSizes.front(), 8u);
  EXPECT_GT(pieceSizes.size(), 5u);
  ASSERT_EQ(texts.size(), 44u);
  EXPECT_EQ(texts[0], "61:a0");
  EXPECT_EQ(texts[39], "61:a39");
  EXPECT_EQ(texts[40], "10:b");
  EXPECT_EQ(texts[41], "14:" + std::string(50, 'x'));
  EXPECT_EQ(texts[42], "13:enddata");
  // The data block crosses a piece's 100 bytes and still comes in one piece.
  size_t end = 0;
  for (size_t size : pieceSizes) {
    end += size;
    EXPECT_TRUE(end <= 40 || end >= 43) << end;
  }
  EXPECT_EQ(texts.back(), "4:");
}

TEST(CommandFileFeed, APieceStopsAtAHalfFullRingSoNothingIsDropped) {
  testing::TempDir dir;
  constexpr int kLines = CommandRing::kSlots + 5000;
  std::string text;
  for (int k = 0; k < kLines; ++k) text += "show\n";
  dir.write("cmds", text);
  InternalCommandQueue queue;
  CommandFileFeed feed;
  ASSERT_TRUE(feed.open(dir.file("cmds")));
  size_t taken = 0;
  for (bool more = true; more;) {
    more = feed.feed(queue, size_t{1} << 30);
    EXPECT_LE(queue.waiting(), CommandRing::kSlots / 2 + 1);
    taken += drainTexts(queue).size();
  }
  EXPECT_EQ(taken, static_cast<size_t>(kLines));
  EXPECT_EQ(queue.dropped(), 0u);
}

}  // namespace
}  // namespace kestrel
