// The sphere and mesh converters and the block joining, without an engine.
#include <gtest/gtest.h>

#include "viewer/shell/mesh_processor.h"
#include "viewer/shell/scene_block.h"
#include "viewer/shell/sphere_processor.h"
#include "viewer/shell/text_files.h"

namespace kestrel {
namespace {

using Pieces = std::vector<std::string>;

TEST(BaseName, LastComponentUpToItsFirstDot) {
  EXPECT_EQ(baseName("/tmp/x/ball.wrl"), "ball");
  EXPECT_EQ(baseName("c:\\corvid\\render\\vrml\\house.old.wrl"), "house");
  EXPECT_EQ(baseName("plain"), "plain");
  EXPECT_EQ(baseName("dir.d/.hidden"), "");
}

TEST(SphereProcessor, ColoursShareAndRenewMaterials) {
  SphereProcessor p;
  p.reset("s");
  Pieces pieces;
  for (const char* line : {"0 0 0 1 1 0 0", "1 0 0 1 1 0 0", "2 0 0 1 0 0 1", "3 0 0 1 1 0 0"}) {
    EXPECT_TRUE(p.convertLine(line, pieces));
  }
  SphereProcessor::finish(pieces);
  ASSERT_EQ(pieces.size(), 6u);
  EXPECT_EQ(pieces[0],
            "Transform { children [ DirectionalLight { direction 0 -1 0 ambientIntensity 1 }");
  EXPECT_EQ(pieces[1],
            "Transform { translation 0 0 0 children [ Shape { appearance Appearance { material "
            "DEF Mat_s Material { diffuseColor 1 0 0 emissiveColor 1 0 0 }} geometry Sphere { "
            "radius 1 }}]} Shape { appearance Appearance { material USE Mat_s } geometry "
            "IndexedLineSet { coord Coordinate { point [ 0 0 0 0 0 0 ] } coordIndex [ 0 1 ] }}");
  EXPECT_EQ(pieces[2],
            "Transform { translation 1 0 0 children [ Shape { appearance Appearance { material "
            "USE Mat_s } geometry Sphere { radius 1 }}]} Shape { appearance Appearance { "
            "material USE Mat_s } geometry IndexedLineSet { coord Coordinate { point [ 0 0 0 1 "
            "0 0 ] } coordIndex [ 0 1 ] }}");
  EXPECT_NE(pieces[3].find("material DEF Mat_s_2 Material { diffuseColor 0 0 1"), std::string::npos);
  EXPECT_NE(pieces[4].find("material DEF Mat_s_3 Material { diffuseColor 1 0 0"), std::string::npos);
  EXPECT_EQ(pieces[5], "]}");
  EXPECT_EQ(p.acceptedLines(), 4);
  EXPECT_EQ(p.materialCount(), 3);
}

TEST(SphereProcessor, ShortLinesAreSkippedAndLongOnesKeptWhole) {
  SphereProcessor p;
  p.reset("t");
  Pieces pieces;
  EXPECT_FALSE(p.convertLine("1 2 3", pieces));
  EXPECT_FALSE(p.convertLine("", pieces));
  EXPECT_FALSE(p.convertLine("1 2 3 4", pieces));
  EXPECT_TRUE(pieces.empty());
  std::string colour(5000, '1');
  EXPECT_TRUE(p.convertLine("1 2 3 4 " + colour, pieces));
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_NE(pieces[1].find(colour + " emissiveColor " + colour + " }}"), std::string::npos);
}

MeshProcessor mesh2x3() {
  MeshProcessor m;
  m.reset("m");
  for (const char* line : {"too-short", "grid 2 3", "0 0 0", "1 0 0", "2 0 0", "0 1 0", "1 1 0",
                           "2 1 0"}) {
    m.addLine(line);
  }
  return m;
}

TEST(MeshProcessor, PlainMeshHasRowAndColumnPolylines) {
  MeshProcessor m = mesh2x3();
  EXPECT_EQ(m.rows(), 2);
  EXPECT_EQ(m.columns(), 3);
  Pieces pieces;
  ASSERT_TRUE(m.generate(std::nullopt, pieces));
  Pieces expected{"Shape { appearance Appearance { material DEF Mat_m Material { emissiveColor 1 "
                  "1 1 }}",
                  "geometry IndexedLineSet { coord Coordinate { point [",
                  "0 0 0", "1 0 0", "2 0 0", "0 1 0", "1 1 0", "2 1 0",
                  "] } coordIndex [",
                  "0 1 2 -1", "3 4 5 -1", "0 3 -1", "1 4 -1", "2 5 -1",
                  "] }}"};
  EXPECT_EQ(pieces, expected);
}

TEST(MeshProcessor, TexturedMeshHasFacesAndMirroredCoordinates) {
  MeshProcessor m = mesh2x3();
  Pieces pieces;
  ASSERT_TRUE(m.generate(std::string("C:/corvid/render/textures/aworld.png"), pieces));
  EXPECT_EQ(pieces[0],
            "DirectionalLight {  direction 0 -1 0     ambientIntensity .7 } Shape { appearance "
            "Appearance { material DEF Mat_m Material { diffuseColor .4 .8 .5 }         texture "
            "ImageTexture { url [ \"C:/corvid/render/textures/aworld.png\" ] }}");
  EXPECT_EQ(pieces[1], "geometry IndexedFaceSet { coord Coordinate { point [");
  Pieces tail(pieces.begin() + 8, pieces.end());
  Pieces expected{"] } coordIndex [", "1 2 5 4 -1", "0 1 4 3 -1",
                  "] texCoord TextureCoordinate { point [ ",
                  "1.000000 1.000000", "0.500000 1.000000", "0.000000 1.000000",
                  "1.000000 0.000000", "0.500000 0.000000", "0.000000 0.000000", "]}}}"};
  EXPECT_EQ(tail, expected);
}

TEST(MeshProcessor, SingleRowOrColumnTexturesWithoutDividingByZero) {
  MeshProcessor m;
  m.reset("line");
  for (const char* line : {"h 1 3", "0 0 0", "1 0 0", "2 0 0"}) m.addLine(line);
  Pieces pieces;
  ASSERT_TRUE(m.generate(std::string("x.png"), pieces));
  std::string text = blockText(pieces);
  EXPECT_EQ(text.find("nan"), std::string::npos);
  EXPECT_EQ(text.find("inf"), std::string::npos);
  EXPECT_NE(text.find("1.000000 1.000000\n0.500000 1.000000\n0.000000 1.000000\n"),
            std::string::npos);

  MeshProcessor column;
  column.reset("column");
  for (const char* line : {"h 2 1", "0 0 0", "0 1 0"}) column.addLine(line);
  pieces.clear();
  ASSERT_TRUE(column.generate(std::string("x.png"), pieces));
  text = blockText(pieces);
  EXPECT_NE(text.find("0.000000 1.000000\n0.000000 0.000000\n"), std::string::npos);
}

TEST(MeshProcessor, RefusesHeadersThatPromiseMissingPoints) {
  MeshProcessor m;
  m.reset("big");
  for (const char* line : {"h 100000 100000", "0 0 0", "1 0 0"}) m.addLine(line);
  Pieces pieces;
  EXPECT_FALSE(m.generate(std::nullopt, pieces));
  EXPECT_TRUE(pieces.empty());

  MeshProcessor none;
  none.reset("none");
  none.addLine("0 0 0");
  EXPECT_FALSE(none.generate(std::nullopt, pieces));
  MeshProcessor negative;
  negative.reset("neg");
  negative.addLine("h -2 3");
  EXPECT_FALSE(negative.generate(std::nullopt, pieces));
  EXPECT_TRUE(pieces.empty());
}

TEST(MeshProcessor, TakesMoreThanAThousandPointLines) {
  MeshProcessor m;
  m.reset("wide");
  m.addLine("h 2 1000");
  for (int i = 0; i < 2000; ++i) m.addLine(std::to_string(i % 1000) + " " + std::to_string(i / 1000) + " 0");
  EXPECT_EQ(m.pointLines(), 2000u);
  Pieces pieces;
  ASSERT_TRUE(m.generate(std::nullopt, pieces));
  // Two rows of 1000 indices: polylines far longer than 999 characters.
  const std::string& firstRow = pieces[2 + 2000 + 1];
  EXPECT_GT(firstRow.size(), 3000u);
  EXPECT_TRUE(firstRow.starts_with("0 1 2 "));
  EXPECT_TRUE(firstRow.ends_with("998 999 -1"));
}

TEST(SceneBlock, PiecesJoinIntoFewEntriesWithTheSameText) {
  Pieces pieces;
  for (int i = 0; i < 10000; ++i) pieces.push_back("piece number " + std::to_string(i));
  Pieces entries = joinPieces(pieces);
  EXPECT_LT(entries.size(), 10u);
  EXPECT_EQ(blockText(entries), blockText(pieces));
  for (const std::string& e : entries) EXPECT_LE(e.size(), kChunkBytes);
  Pieces huge{std::string(kChunkBytes * 2, 'a'), "b"};
  EXPECT_EQ(joinPieces(huge), huge);
  EXPECT_TRUE(joinPieces({}).empty());
  EXPECT_EQ(joinPieces({""}), Pieces{""});
}

}  // namespace
}  // namespace kestrel
