// The loaders driven through a real engine: `load` lines in the primary
// queue, real files in a temporary directory, the scene read back through
// the browser.
#include "viewer/shell/scene_file_loaders.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "viewer/browser/gzip_test_support.h"
#include "viewer/engine/state_file.h"
#include "viewer/intake/command_codes.h"
#include "viewer/shell/shell_test_rig.h"

namespace kestrel {
namespace {

using testing::ShellRig;

// Everything waiting in QUEUE, without executing it.
struct Taken {
  std::vector<int> codes;
  std::vector<std::string> texts;
  std::string body;  // the data lines as the engine joins them
};

Taken takeAll(InternalCommandQueue& queue) {
  Taken taken;
  while (std::optional<QueuedCommand> entry = queue.takeNext()) {
    taken.codes.push_back(entry->code);
    taken.texts.push_back(entry->takeText());
    if (entry->code == cmd::kDataLine) taken.body += entry->takeText() + "\n";
  }
  return taken;
}

Vec3f diffuse(VisualObject* object) {
  Vec3f v{-1, -1, -1};
  if (object != nullptr) object->diffuseColor.get(v);
  return v;
}

TEST(SphereFiles, ColoursShareMaterialsAndTheObjectIsNamedAfterTheFile) {
  ShellRig rig;
  rig.dir.write("s.sphere",
                "0 0 0 1 1 0 0\n1 0 0 0.5 1 0 0\n2 0 0 1 0 0 1\ntoo short\n3 0 0 1 1 0 0\n");
  rig.run({"load " + rig.dir.file("s.sphere")});
  VisualObject* s = rig.object("s");
  ASSERT_NE(s, nullptr) << rig.log();
  EXPECT_EQ(diffuse(s), (Vec3f{1, 0, 0}));
  EXPECT_TRUE(rig.hasNode("Mat_s"));
  EXPECT_TRUE(rig.hasNode("Mat_s_2"));
  EXPECT_TRUE(rig.hasNode("Mat_s_3"));
  EXPECT_FALSE(rig.hasNode("Mat_s_4"));
  EXPECT_TRUE(rig.logHas("Opening sphere file"));
  EXPECT_TRUE(rig.logHas("DONE WITH PUTTING SPHERE IN COMMAND QUEUE"));
  EXPECT_FALSE(rig.logHas("CREATE VRML FROM STRING FAILED"));
}

TEST(SphereFiles, BatchGoesAheadOfWaitingLines) {
  ShellRig rig;
  rig.dir.write("p.sphere", "0 0 0 1 1 1 1\n");
  rig.builders.loaders().openSceneFile(rig.dir.file("p.sphere"));
  Taken taken = takeAll(rig.primary);
  std::vector<int> codes{cmd::kSetInfo, cmd::kStartData, cmd::kDataLine, cmd::kEndData};
  EXPECT_EQ(taken.codes, codes);
  EXPECT_EQ(taken.texts[1], "p");
  EXPECT_EQ(rig.engine.currentObjectName(), "p");
  EXPECT_TRUE(taken.body.starts_with("Transform { children [ DirectionalLight"));
  EXPECT_TRUE(taken.body.ends_with("]}\n"));
  EXPECT_FALSE(rig.primary.mainHeld());
}

TEST(SphereFiles, WithoutValidLinesTheBlockFailsToParse) {
  ShellRig rig;
  rig.dir.write("empty.sphere", "nothing here\n");
  rig.run({"load " + rig.dir.file("empty.sphere")});
  EXPECT_EQ(rig.object("empty"), nullptr);
  EXPECT_TRUE(rig.logHas("CREATE VRML FROM STRING FAILED"));
}

TEST(SphereFiles, ThatCannotBeOpenedQueueNothingAndHoldNothing) {
  ShellRig rig;
  rig.run({"load " + rig.dir.file("absent.sphere"), "load " + rig.dir.path() + "/nodir/x.mesh"});
  EXPECT_TRUE(rig.logHas("could not read sphere file (No such file or directory): \"" +
                         rig.dir.file("absent.sphere") + "\""));
  EXPECT_TRUE(rig.logHas("could not read mesh file"));
  EXPECT_EQ(rig.primary.waiting(), 0);
  EXPECT_FALSE(rig.primary.mainHeld());
  // The queue works on as before.
  rig.run({"startdata after", "Shape { geometry Box {} }", "enddata"});
  EXPECT_NE(rig.object("after"), nullptr);
}

void writeMesh2x3(const testing::TempDir& dir) {
  dir.write("m.mesh", "mesh 2 3\n0 0 0\n1 0 0\n2 0 0\n0 1 0\n1 1 0\n2 1 0\n");
}

TEST(MeshFiles, PlainMeshText) {
  ShellRig rig;
  writeMesh2x3(rig.dir);
  rig.builders.loaders().openSceneFile(rig.dir.file("m.mesh"));
  Taken taken = takeAll(rig.primary);
  EXPECT_EQ(taken.body,
            "Shape { appearance Appearance { material DEF Mat_m Material { emissiveColor 1 1 1 }}\n"
            "geometry IndexedLineSet { coord Coordinate { point [\n"
            "0 0 0\n1 0 0\n2 0 0\n0 1 0\n1 1 0\n2 1 0\n"
            "] } coordIndex [\n0 1 2 -1\n3 4 5 -1\n0 3 -1\n1 4 -1\n2 5 -1\n] }}\n");
  EXPECT_TRUE(rig.logHas("Opening mesh file"));
  EXPECT_TRUE(rig.logHas("MeshProcessor::generate \"m\""));
}

TEST(MeshFiles, LoadedPlainAndTexturedObjects) {
  ShellRig rig;
  writeMesh2x3(rig.dir);
  rig.run({"load " + rig.dir.file("m.mesh")});
  VisualObject* m = rig.object("m");
  ASSERT_NE(m, nullptr) << rig.log();
  Vec3f emissive;
  ASSERT_TRUE(m->emissiveColor.get(emissive));
  EXPECT_EQ(emissive, (Vec3f{1, 1, 1}));

  rig.dir.write("t.mesh", "t 2 3\n0 0 0\n1 0 0\n2 0 0\n0 1 0\n1 1 0\n2 1 0\n");
  rig.run({"load aworld.png", "load " + rig.dir.file("t.mesh")});
  EXPECT_EQ(rig.engine.currentImageFile(), "C:/corvid/render/textures/aworld.png");
  EXPECT_TRUE(rig.logHas("image file:  \"C:/corvid/render/textures/aworld.png\""));
  VisualObject* t = rig.object("t");
  ASSERT_NE(t, nullptr) << rig.log();
  EXPECT_EQ(diffuse(t), (Vec3f{.4f, .8f, .5f}));
  EXPECT_NE(rig.sceneText().find("IndexedFaceSet"), std::string::npos);
}

TEST(MeshFiles, OverAThousandPointLinesAndRefusedHeaders) {
  ShellRig rig;
  std::string big = "big 40 50\n";
  for (int q = 0; q < 40; ++q) {
    for (int c = 0; c < 50; ++c) big += std::to_string(c) + " " + std::to_string(q) + " 0\n";
  }
  rig.dir.write("big.mesh", big);
  rig.dir.write("liar.mesh", "liar 9999 9999\n0 0 0\n");
  rig.run({"load " + rig.dir.file("big.mesh"), "load " + rig.dir.file("liar.mesh")});
  EXPECT_NE(rig.object("big"), nullptr);
  EXPECT_EQ(rig.object("liar"), nullptr);
  EXPECT_TRUE(rig.logHas("NOT QUEUED, MESH HAS FEWER POINTS THAN ROWS TIMES COLUMNS: \"liar\""));
  EXPECT_FALSE(rig.primary.mainHeld());
}

TEST(VrmlFiles, AnyLetterCaseLoadsAndCarriesTheInfoText) {
  ShellRig rig;
  rig.dir.write("ball.WRL", "#VRML V2.0 utf8\nTransform { children [ Shape { appearance Appearance "
                            "{ material DEF Mat_ball Material { diffuseColor 0 1 0 } } geometry "
                            "Sphere {} } ] }\n");
  rig.run({"setinfo info first ball", "load " + rig.dir.file("ball.WRL")});
  VisualObject* ball = rig.object("ball");
  ASSERT_NE(ball, nullptr) << rig.log();
  EXPECT_EQ(diffuse(ball), (Vec3f{0, 1, 0}));
  EXPECT_EQ(ball->infoText(), "first ball");
  EXPECT_TRUE(rig.engine.fastMode());
  EXPECT_TRUE(rig.logHas("Creating a setInfo based on last label value \"first ball\""));
  EXPECT_TRUE(rig.logHas("WRL FILE LINES HAVE BEEN QUEUED"));
}

TEST(VrmlFiles, WithoutInfoTextTheSetInfoSaysNotSet) {
  ShellRig rig;
  rig.dir.write("plain.wrl", "Shape { geometry Box {} }\n");
  rig.run({"load " + rig.dir.file("plain.wrl")});
  EXPECT_NE(rig.object("plain"), nullptr);
  EXPECT_TRUE(rig.logHas("setInfo but no real value"));
  EXPECT_EQ(rig.engine.info().lookupText("not"), "set");
}

TEST(VrmlFiles, AddTextureLinesFollowTheImageFile) {
  ShellRig rig;
  rig.dir.write("t.wrl", "addtexture\n");
  rig.builders.loaders().openSceneFile(rig.dir.file("t.wrl"));
  Taken none = takeAll(rig.primary);
  std::vector<int> codes{cmd::kSetInfo, cmd::kStartData, cmd::kEndData};
  EXPECT_EQ(none.codes, codes);

  rig.builders.loaders().setImageFile("/img/a.jpg");
  rig.builders.loaders().openSceneFile(rig.dir.file("t.wrl"));
  EXPECT_EQ(takeAll(rig.primary).body, "texture ImageTexture { url \"/img/a.jpg\" }\n");
}

TEST(VrmlFiles, MissingEverywhereQueuesOnlyTheSetInfo) {
  ShellRig rig;
  rig.builders.loaders().openSceneFile("nowhere.wrl");
  Taken taken = takeAll(rig.primary);
  EXPECT_EQ(taken.codes, std::vector<int>{cmd::kSetInfo});
  EXPECT_TRUE(rig.logHas("could not read VRML file (No such file or directory), tried: "
                         "\"nowhere.wrl\", \"" + testing::bundledRenderRoot() +
                         "/vrml/nowhere.wrl\""))
      << rig.log();
}

TEST(VrmlFiles, BareNamesAndWindowsPathsReachTheRenderRoot) {
  ShellRig rig;
  rig.run({"load house.wrl"});
  EXPECT_NE(rig.object("house"), nullptr) << rig.log();
  rig.run({"load c:/corvid/render/vrml/signpost.wrl"});
  EXPECT_NE(rig.object("signpost"), nullptr) << rig.log();
  rig.run({"clear", "load C:\\corvid\\render\\vrml\\house.wrl"});
  EXPECT_NE(rig.object("house"), nullptr) << rig.log();
}

TEST(CommandFiles, OtherSuffixesAreCommandFilesReadOnceUntilClear) {
  ShellRig rig;
  rig.dir.write("ball.Sphere", "startdata one\nShape { geometry Box {} }\nenddata\n");
  rig.dir.write("ball.Mesh", "startdata two\nShape { geometry Box {} }\nenddata\n");
  std::string first = rig.dir.file("ball.Sphere");
  rig.run({"load " + first, "load " + rig.dir.file("ball.Mesh")});
  EXPECT_NE(rig.object("one"), nullptr);
  EXPECT_NE(rig.object("two"), nullptr);
  EXPECT_FALSE(rig.logHas("Opening sphere file"));

  rig.run({"load " + rig.dir.file("ball.Mesh")});
  EXPECT_TRUE(rig.logHas("NOT OPENING, FILE ALREADY OPEN \"" + rig.dir.file("ball.Mesh") + "\""));
  EXPECT_EQ(rig.engine.registry().size(), 2);
  rig.run({"clear", "load " + rig.dir.file("ball.Mesh")});
  EXPECT_EQ(rig.engine.registry().size(), 1);
  EXPECT_NE(rig.object("two"), nullptr);
}

TEST(CommandFiles, FilesThatLoadEachOtherComeToAnEnd) {
  ShellRig rig;
  const std::string a = rig.dir.file("a.cmd"), b = rig.dir.file("b.cmd");
  rig.dir.write("a.cmd", "left\nload " + b + "\n");
  rig.dir.write("b.cmd", "load " + a + "\n");
  // Fast mode, as after a .wrl load: the whole cycle would run in one tick.
  rig.run({"fast", "load " + a});
  EXPECT_EQ(rig.primary.waiting(), 0);
  EXPECT_EQ(rig.logCount("command files nested more than 16 deep, not opening"), 1u);
  EXPECT_EQ(rig.logCount("Loading \"" + a + "\""), 9u);
  EXPECT_EQ(rig.logCount("Loading \"" + b + "\""), 8u);

  // Through a function the nesting is kept as well, and the engine goes on.
  rig.run({"clear", "startfunction again", "load " + a, "endfunction"});
  rig.dir.write("b.cmd", "call again\n");
  rig.run({"load " + a});
  EXPECT_EQ(rig.primary.waiting(), 0);
  EXPECT_EQ(rig.logCount("command files nested more than 16 deep, not opening"), 2u);
  rig.run({"slow", "startdata after", "Shape { geometry Box {} }", "enddata"});
  EXPECT_NE(rig.object("after"), nullptr);
}

TEST(CommandFiles, DirectoriesBinaryAndUnreadableFilesAreRefused) {
  ShellRig rig;
  ::mkdir(rig.dir.file("folder").c_str(), 0755);
  rig.dir.write("blob.bin", std::string("startdata x\n\0\x01\x02", 15));
  rig.run({"load " + rig.dir.file("folder"), "load " + rig.dir.file("blob.bin"),
           "load " + rig.dir.file("folder.wrl")});
  EXPECT_TRUE(rig.logHas("could not read command file (is a directory): \"" +
                         rig.dir.file("folder") + "\""));
  EXPECT_TRUE(rig.logHas("could not read command file (is a binary file): \"" +
                         rig.dir.file("blob.bin") + "\""));
  EXPECT_FALSE(rig.engine.lastCommandFile().has_value());
  EXPECT_EQ(rig.engine.registry().size(), 0);

  ::mkdir(rig.dir.file("dir.wrl").c_str(), 0755);
  ::mkdir(rig.dir.file("dir.sphere").c_str(), 0755);
  rig.run({"load " + rig.dir.file("dir.wrl"), "load " + rig.dir.file("dir.sphere")});
  EXPECT_TRUE(rig.logHas("could not read VRML file (is a directory)"));
  EXPECT_TRUE(rig.logHas("could not read sphere file (is a directory)"));
  EXPECT_FALSE(rig.primary.mainHeld());

  if (::geteuid() != 0) {  // root reads any file
    rig.dir.write("locked.cmd", "startdata y\nenddata\n");
    ::chmod(rig.dir.file("locked.cmd").c_str(), 0);
    rig.run({"load " + rig.dir.file("locked.cmd")});
    EXPECT_TRUE(rig.logHas("could not read command file (Permission denied)"));
  }
}

TEST(StateFiles, RestoreTheSavedAppearance) {
  ShellRig rig;
  rig.run({"startdata ball",
           "Transform { children [ Shape { appearance Appearance { material DEF Mat_ball "
           "Material {} } geometry Sphere {} } ] }",
           "enddata", "setobject ball", "setproperty transparency", "setvalue 32767"});
  ASSERT_TRUE(saveState(rig.engine.registry(), rig.dir.file("saved.state")));
  rig.run({"setvalue 0"});
  float t = -1;
  ASSERT_TRUE(rig.object("ball")->transparency.get(t));
  EXPECT_EQ(t, 0.0f);
  rig.run({"load " + rig.dir.file("saved.state")});
  ASSERT_TRUE(rig.object("ball")->transparency.get(t));
  EXPECT_NEAR(t, 0.5f, 0.001f);
  EXPECT_TRUE(rig.logHas("Opening state file"));
  rig.run({"load " + rig.dir.file("none.state")});
  EXPECT_TRUE(rig.logHas("could not load state file"));
}

TEST(ImageFiles, SuffixesAndPaths) {
  ShellRig rig;
  rig.run({"load pic.JPG"});
  EXPECT_EQ(rig.engine.currentImageFile(), "C:/corvid/render/textures/pic.JPG");
  EXPECT_TRUE(rig.logHas("Opening jpg file"));
  rig.run({"load /data/pic.png"});
  EXPECT_EQ(rig.engine.currentImageFile(), "/data/pic.png");
  EXPECT_TRUE(rig.logHas("Opening png file"));
  rig.run({"load x.Png"});  // only .wrl ignores letter case: a command file
  EXPECT_EQ(rig.engine.currentImageFile(), "/data/pic.png");
}

TEST(VrmlFiles, CompressedWorldsLoadUnderEveryNameAndBombsAreRefused) {
  ShellRig rig;
  auto world = [](const std::string& name) {
    return testing::gzipped("#VRML V2.0 utf8\r\nTransform { children [ Shape { appearance "
                            "Appearance { material DEF Mat_" + name + " Material { diffuseColor "
                            "0 0 1 } } geometry Box {} } ] }\r\n");
  };
  for (const char* name : {"gzball.wrl.gz", "wrzball.WRZ", "plainball.wrl", "oddball.data"}) {
    std::string object(name, std::string_view(name).find('.'));
    rig.dir.write(name, world(object));
  }
  rig.run({"load " + rig.dir.file("gzball.wrl.gz"), "load " + rig.dir.file("wrzball.WRZ"),
           "load " + rig.dir.file("plainball.wrl"), "load " + rig.dir.file("oddball.data")});
  for (const char* object : {"gzball", "wrzball", "plainball", "oddball"}) {
    EXPECT_EQ(diffuse(rig.object(object)), (Vec3f{0, 0, 1})) << object << "\n" << rig.log();
  }
  EXPECT_EQ(rig.logCount("WRL FILE LINES HAVE BEEN QUEUED"), 4u);

  // A bomb over the load size limit, and a file cut short: one line each,
  // and the objects loaded before stay.
  rig.dir.write("bomb.wrl.gz", testing::gzipped("#VRML V2.0 utf8\n" + std::string(100000, ' ')));
  rig.dir.write("cut.wrl", world("cut").substr(0, 30));
  rig.builders.loaders().setMaxLoadSize(50000);
  rig.run({"load " + rig.dir.file("bomb.wrl.gz"), "load " + rig.dir.file("cut.wrl")});
  EXPECT_TRUE(rig.logHas("could not read VRML file (expands to more than 50000 bytes when "
                         "uncompressed (--max-load-size)): \"" + rig.dir.file("bomb.wrl.gz")))
      << rig.log();
  EXPECT_TRUE(rig.logHas("could not read VRML file (damaged or truncated gzip data): \"" +
                         rig.dir.file("cut.wrl")));
  EXPECT_EQ(rig.object("bomb"), nullptr);
  EXPECT_EQ(rig.object("cut"), nullptr);
  EXPECT_NE(rig.object("gzball"), nullptr);
  EXPECT_FALSE(rig.primary.mainHeld());
}

TEST(VrmlFiles, ReadLikeFilesWithUrlsBesideThemWhileMadeBlocksStayStrict) {
  ShellRig rig;
  std::filesystem::create_directories(rig.dir.file("models/parts"));
  rig.dir.write("models/parts/protos.wrl",
                "#VRML V2.0 utf8\nPROTO Roof [ field SFFloat h 1 ] { Cone { height IS h } }\n");
  rig.dir.write("models/parts/porch.wrl", "#VRML V2.0 utf8\nDEF Step Shape { geometry Box {} }\n");
  rig.dir.write("models/house.wrl",
                "#VRML V2.0 utf8\n"
                "EXTERNPROTO Roof [ field SFFloat h ] \"parts/protos.wrl\"\n"
                "DEF house Transform { children [\n"
                "  Shape { appearance Appearance { texture DEF Tex ImageTexture { url \"wall.png\" } } }\n"
                "  DEF Porch Inline { url \"parts/porch.wrl\" }\n"
                "  Shape { geometry DEF Top Roof { h 2 } }\n"
                "  Shape { geometry Cone { height 1 } bevel 3 }\n"
                "] }\n");
  rig.run({"starttemplate transform", "Transform { children [", "%s", "] }", "endtemplate",
           "load " + rig.dir.file("models/house.wrl")});
  ASSERT_NE(rig.object("house"), nullptr) << rig.log();
  NodeHandle porch, step, tex, top;
  ASSERT_TRUE(rig.engine.browser().findNode("Porch", porch));
  EXPECT_TRUE(rig.engine.browser().findInlineNode(porch, "Step", step)) << rig.log();
  ASSERT_TRUE(rig.engine.browser().findNode("Tex", tex));
  EXPECT_EQ(*tex.node()->field("url")->as<std::vector<std::string>>(),
            std::vector<std::string>{rig.dir.file("models/wall.png")});
  ASSERT_TRUE(rig.engine.browser().findNode("Top", top));
  EXPECT_FALSE(top.node()->extras().protoBody.empty());
  EXPECT_FALSE(rig.logHas("EXTERNPROTO not found"));
  // The warning names the file's own line, not the line of the text the
  // transform template made of it.
  EXPECT_TRUE(rig.logHas("VRML file problem skipped: \"" + rig.dir.file("models/house.wrl") +
                         ": line 7, column 38: 'Shape' has no field 'bevel'; its value is "
                         "skipped\"\n"))
      << rig.log();

  rig.run({"startdata strict", "Shape { geometry Cone { height 1 } bevel 3 }", "enddata"});
  EXPECT_EQ(rig.object("strict"), nullptr);
  EXPECT_EQ(rig.logCount("CREATE VRML FROM STRING FAILED"), 1u);
  EXPECT_EQ(rig.logCount("VRML file problem skipped"), 1u);
}

TEST(LoadSizeLimit, FilesOverTheLimitAreRefusedWithALogLineAndRaisingItLetsThemIn) {
  ShellRig rig;
  std::string object = "startdata big\nDEF Xform_big Transform { children [ ] }\nenddata\n";
  rig.dir.write("big.cmd", object + std::string(200, '\n'));
  rig.dir.write("big.wrl", "#VRML V2.0 utf8\n" + std::string(300, ' ') + "\nGroup { }\n");
  rig.dir.write("big.sphere", std::string(300, ' ') + "\n0 0 0 1 1 0 0\n");
  rig.dir.write("big.mesh", std::string(300, ' ') + "\n");
  rig.dir.write("big.state", "2\n" + std::string(300, '\n'));
  rig.builders.loaders().setMaxLoadSize(100);
  for (const char* name : {"big.cmd", "big.wrl", "big.sphere", "big.mesh", "big.state"}) {
    rig.run({"load " + rig.dir.file(name)});
  }
  EXPECT_EQ(rig.logCount("over the load size limit of 100 (--max-load-size)):"), 5u) << rig.log();
  EXPECT_EQ(rig.object("big"), nullptr);
  rig.builders.loaders().setMaxLoadSize(kDefaultMaxLoadSize);
  rig.run({"load " + rig.dir.file("big.cmd")});
  EXPECT_NE(rig.object("big"), nullptr) << rig.log();
  EXPECT_EQ(rig.logCount("over the load size limit"), 5u);
}

TEST(CommandFilePieces, ACommandFileLargerThanOnePieceAndTheRingRunsWholeWithNothingDropped) {
  ShellRig rig;
  constexpr int kLines = 100000;  // 1.2 MB: more than a piece, more than the ring holds
  std::string text = "fast\n";
  for (int k = 0; k < kLines; ++k) text += "setobject a\n";
  rig.dir.write("many.cmd", text);
  uint64_t before = rig.engine.executed();
  rig.run({"load " + rig.dir.file("many.cmd")});
  EXPECT_FALSE(rig.builders.loaders().reading());
  EXPECT_EQ(rig.primary.dropped(), 0u);
  // The load line, "fast" and every line of the file.
  EXPECT_EQ(rig.engine.executed() - before, uint64_t{kLines} + 2);
}

}  // namespace
}  // namespace kestrel
