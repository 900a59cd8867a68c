#include "viewer/engine/state_file.h"

#include <gtest/gtest.h>

#include "viewer/engine/engine_test_support.h"

namespace kestrel {
namespace {

using testing::EngineHarness;
using testing::kTransformTemplate;
using testing::objectBlock;
using testing::readFile;

TEST(StateFile, SavedRecordsHaveTheirFixedShape) {
  EngineHarness h;
  ASSERT_TRUE(saveState(h.engine.registry(), h.dir.file("empty.state")));
  EXPECT_EQ(readFile(h.dir.file("empty.state")), "2\n");
  h.run({"startdata ball\nDEF Xform_ball Transform { translation 1 2 3 children [ Shape { "
         "appearance Appearance { material DEF Mat_ball Material { diffuseColor 1 0 0 } } } ] }"
         "\nenddata"});
  // Without a template the content node is Xform_ball itself.
  ASSERT_TRUE(saveState(h.engine.registry(), h.dir.file("ball.state")));
  EXPECT_EQ(readFile(h.dir.file("ball.state")),
            "2\nball\n1.000000 2.000000 3.000000\n1.000000 1.000000 1.000000\n0.000000\n"
            "1.000000 0.000000 0.000000\n0.000000 0.000000 0.000000\n"
            "0.000000 0.000000 1.000000\n0.000000\n\n");
}

TEST(StateFile, LoadingAppliesEachRecordToTheObjectItNames) {
  EngineHarness h;
  h.run({kTransformTemplate, objectBlock("a"), objectBlock("b")});
  h.object("a")->translation.set(Vec3f{1, 2, 3});
  h.object("b")->scale.set(Vec3f{4, 5, 6});
  h.object("b")->transparency.set(0.25f);
  h.object("b")->rotation.set(Rotation{0, 1, 0, 1.5f});
  ASSERT_TRUE(saveState(h.engine.registry(), h.dir.file("s.state")));

  EngineHarness other;
  // Only b and a new object exist in the other scene, in another order.
  other.run({kTransformTemplate, objectBlock("c"), objectBlock("b")});
  other.run({"setobject c"});
  ASSERT_TRUE(loadState(other.engine.registry(), h.dir.file("s.state")));
  EXPECT_TRUE(other.logged("Loading state information"));
  EXPECT_FLOAT_EQ(other.scale("b").y, 5);
  EXPECT_FLOAT_EQ(other.transparency("b"), 0.25f);
  Rotation r;
  other.object("b")->rotation.get(r);
  EXPECT_FLOAT_EQ(r.angle, 1.5f);
  EXPECT_FLOAT_EQ(other.translation("c").x, 0);  // the record of a is skipped
  EXPECT_EQ(other.engine.registry().currentIndex(), 0);
}

TEST(StateFile, VersionsAndBrokenLines) {
  EngineHarness h;
  h.run({kTransformTemplate, objectBlock("a")});
  h.dir.write("v1.state", "1\na\n5 6 7\n1 1 1\n0.5\n0 1 0\n0 0 0\n1 0 0\n0.5\n");
  ASSERT_TRUE(loadState(h.engine.registry(), h.dir.file("v1.state")));
  EXPECT_FLOAT_EQ(h.translation("a").z, 7);
  h.dir.write("v3.state", "3\na\n9 9 9\n");
  EXPECT_FALSE(loadState(h.engine.registry(), h.dir.file("v3.state")));
  EXPECT_TRUE(h.logged("Unexpected version \"3\""));
  EXPECT_FLOAT_EQ(h.translation("a").x, 5);
  // Lines with fewer than two blanks do not parse and are skipped.
  h.dir.write("odd.state", "2\na\n1 2\nnot numbers at all\n");
  ASSERT_TRUE(loadState(h.engine.registry(), h.dir.file("odd.state")));
  EXPECT_FLOAT_EQ(h.translation("a").x, 5);
  EXPECT_FLOAT_EQ(h.scale("a").x, 0);  // "not numbers at all" parses as 0 0 0
  EXPECT_FALSE(loadState(h.engine.registry(), h.dir.file("missing.state")));
}

TEST(StateFile, LineBreaksInNamesAndInfoTextsKeepTheFileReadable) {
  EngineHarness h;
  // A client that ends its lines with CR LF gives names that end in CR.
  h.run({kTransformTemplate, objectBlock("crlf\r"), objectBlock("plain")});
  h.run({"startdata info\nDEF info_script Script { eventIn SFString inString }\nenddata"});
  h.object("crlf\r")->translation.set(Vec3f{1, 1, 1});
  h.object("crlf\r")->storeInfoText("two\nlines");
  h.object("plain")->translation.set(Vec3f{2, 2, 2});
  ASSERT_TRUE(saveState(h.engine.registry(), h.dir.file("s.state")));
  std::string text = readFile(h.dir.file("s.state"));
  EXPECT_NE(text.find("\ncrlf \n"), std::string::npos);
  EXPECT_NE(text.find("\ntwo lines\n"), std::string::npos);

  h.object("crlf\r")->translation.set(Vec3f{0, 0, 0});
  h.object("plain")->translation.set(Vec3f{0, 0, 0});
  ASSERT_TRUE(loadState(h.engine.registry(), h.dir.file("s.state")));
  EXPECT_FLOAT_EQ(h.translation("crlf\r").x, 1);
  EXPECT_FLOAT_EQ(h.translation("plain").x, 2);
}

}  // namespace
}  // namespace kestrel
