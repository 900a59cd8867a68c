#include "viewer/shell/scene_generators.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

using Pieces = std::vector<std::string>;

TEST(GeneratorArgs, TokensKeysValuesAndQuotes) {
  GeneratorArgs args("  label text=\"two words\" flag location=1,2 name=x name=y");
  EXPECT_EQ(args.word(), "label");
  EXPECT_EQ(args.value("text"), "\"two words\"");
  EXPECT_EQ(args.value("flag"), std::nullopt);
  EXPECT_EQ(args.value("name"), "x");
  EXPECT_EQ(args.value("missing"), std::nullopt);
  EXPECT_EQ(args.list("location", ',', {"0", "0", "10"}), (Pieces{"1", "2", "10"}));
  EXPECT_EQ(args.list("nothing", ',', {"a"}), Pieces{"a"});
}

TEST(GeneratorArgs, KeepsTenTokens) {
  GeneratorArgs args("grid a=1 b=2 c=3 d=4 e=5 f=6 g=7 h=8 i=9 name=late");
  EXPECT_EQ(args.value("i"), "9");
  EXPECT_EQ(args.value("name"), std::nullopt);
}

TEST(Generators, GridTwoByOne) {
  std::optional<SceneBlock> block = generateBlock("grid size=2x1 color=1,0,0 name=g");
  ASSERT_TRUE(block);
  EXPECT_EQ(block->name, "g");
  EXPECT_FALSE(block->setInfo);
  Pieces expected{"Transform { ", "translation 0 0 0 ",
                  " children [ Shape { appearance Appearance { material Material { ",
                  " emissiveColor 1 0 0 } }",
                  " geometry IndexedLineSet { coord Coordinate { point [\n",
                  "0 0 0, ", "0 1 0, ", "1 0 0, ", "1 1 0, ", "2 0 0, ", "2 1 0, ",
                  " ] } coordIndex [\n",
                  "0 1 -1, ", "2 3 -1, ", "4 5 -1, ",
                  "0 2 -1, ", "1 3 -1, ", "2 4 -1, ", "3 5 -1, ",
                  " ] } } ] }"};
  EXPECT_EQ(block->pieces, expected);
  // Seven fixed pieces, 6 points, 3 + 4 segments: with start and end 9 + 13 entries.
  EXPECT_EQ(block->pieces.size() + 2, 9u + 6 + 3 + 4);
}

TEST(Generators, GridDefaultsAndBadSizes) {
  std::optional<SceneBlock> block = generateBlock("grid size=0x-3");
  ASSERT_TRUE(block);
  EXPECT_EQ(block->name, "grid");
  EXPECT_EQ(block->pieces.size(), 7u + 121 + 110 + 110);
  EXPECT_EQ(block->pieces[3], " emissiveColor .5 .5 .5 } }");
  EXPECT_FALSE(generateBlock("grid size=5000x5000"));
}

TEST(Generators, ViewWithTwoLocationParts) {
  std::optional<SceneBlock> block = generateBlock("view location=1,2");
  ASSERT_TRUE(block);
  EXPECT_EQ(block->name, "view");
  EXPECT_EQ(block->pieces, (Pieces{"Viewpoint { ", "position 1 2 10", "} "}));
}

TEST(Generators, ImageCorners) {
  std::optional<SceneBlock> block = generateBlock("image size=4x2");
  ASSERT_TRUE(block);
  EXPECT_EQ(block->name, "image");
  Pieces expected{"Transform { translation ", "0 0 0 ",
                  " children [ Shape { appearance Appearance { ",
                  " texture ImageTexture { url \"c:/corvid/render/textures/aworld.png\" } } ",
                  " geometry IndexedFaceSet { coord Coordinate { point [ ",
                  "0 0 0, 0 2 0, 4 2 0, 4 0 0", " ] }", " coordIndex [ 3 2 1 0 -1 ] } ",
                  " } ] }"};
  EXPECT_EQ(block->pieces, expected);
}

TEST(Generators, LabelDefaultsAndValues) {
  std::optional<SceneBlock> block = generateBlock("label");
  ASSERT_TRUE(block);
  Pieces expected{"Transform { translation ", "0 0 0 ", " scale ", "1 1 1 ",
                  " children [ Shape { appearance Appearance { ",
                  " material Material { emissiveColor 1 1 1  diffuseColor 1 1 1 } } ",
                  " geometry Text3D { string [ ", "\"test label\"", " ] }", " } ] }"};
  EXPECT_EQ(block->pieces, expected);
  block = generateBlock("label text=\"hi there\" scale=2 color=0,1 location=5,6,7 name=tag");
  ASSERT_TRUE(block);
  EXPECT_EQ(block->name, "tag");
  EXPECT_EQ(block->pieces[1], "5 6 7 ");
  EXPECT_EQ(block->pieces[3], "2 2 2 ");
  EXPECT_EQ(block->pieces[5], " material Material { emissiveColor 0 1 1  diffuseColor 0 1 1 } } ");
  EXPECT_EQ(block->pieces[7], "\"hi there\"");
}

TEST(Generators, OtherWordsMakeNothing) {
  EXPECT_FALSE(generateBlock("cube size=2"));
  EXPECT_FALSE(generateBlock(""));
  EXPECT_TRUE(generateBlock("gridded"));  // chosen by the first letters
}

}  // namespace
}  // namespace kestrel
