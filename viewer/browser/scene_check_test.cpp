#include "viewer/browser/scene_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "viewer/browser/scene_compare.h"
#include "viewer/browser/parser.h"
#include "viewer/browser/writer.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

std::string tempFile(const std::string& name, const std::string& text) {
  fs::path p = fs::temp_directory_path() / ("kestrel-check-" + std::to_string(::getpid()));
  fs::create_directories(p);
  std::ofstream(p / name) << text;
  return (p / name).string();
}

TEST(SceneCheck, ReportsOkOrTheErrorPerFile) {
  std::string good = tempFile("good.wrl", "#VRML V2.0 utf8\nBox {}\n");
  std::string bad = tempFile("bad.wrl", "#VRML V2.0 utf8\nBox {\n  size 1 x 1\n}\n");
  std::ostringstream out;
  EXPECT_EQ(checkSceneFiles({good, bad, "/nonexistent/x.wrl"}, out), 1);
  EXPECT_EQ(out.str(), good + ": ok\n" + bad +
                           ": line 3, column 10: expected a number but found 'x'\n"
                           "/nonexistent/x.wrl: cannot read the file\n");
  std::ostringstream ok;
  EXPECT_EQ(checkSceneFiles({good}, ok), 0);
}

TEST(SceneCheck, KeepingTheScenesUntilExitChangesNoOutput) {
  std::string good = tempFile("kept.wrl", "#VRML V2.0 utf8\nDEF A Transform { children Box {} }\n");
  std::string bad = tempFile("kept-bad.wrl", "#VRML V2.0 utf8\nBox {\n  size 1 x 1\n}\n");
  for (const std::vector<std::string>& files :
       {std::vector<std::string>{good, bad}, std::vector<std::string>{bad, good}}) {
    std::ostringstream freed, kept;
    EXPECT_EQ(checkSceneFiles(files, freed), 1);
    EXPECT_EQ(checkSceneFiles(files, kept, {}, SceneDisposal::kKeepUntilExit), 1);
    EXPECT_EQ(kept.str(), freed.str());
  }
  for (const std::string& file : {good, bad}) {
    std::ostringstream freed, kept;
    const int status = printSceneFile(file, freed);
    EXPECT_EQ(printSceneFile(file, kept, {}, SceneDisposal::kKeepUntilExit), status);
    EXPECT_EQ(kept.str(), freed.str());
    EXPECT_NE(kept.str().find(file == good ? "DEF A Transform" : "expected a number"),
              std::string::npos);
  }
}

TEST(SceneCheck, RefusesFifosAndDevicesWithoutWaiting) {
  std::string good = tempFile("good.wrl", "#VRML V2.0 utf8\nBox {}\n");
  std::string fifo = fs::path(good).replace_filename("pipe.wrl").string();
  fs::remove(fifo);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::ostringstream out;
  EXPECT_EQ(checkSceneFiles({fifo, "/dev/zero", good}, out), 1);
  EXPECT_EQ(out.str(), fifo + ": cannot read the file: not a regular file\n"
                              "/dev/zero: cannot read the file: not a regular file\n" +
                           good + ": ok\n");
  std::ostringstream printed;
  EXPECT_EQ(printSceneFile(fifo, printed), 1);
  fs::remove(fifo);
}

TEST(SceneCheck, PrintWritesTheParsedSceneBack) {
  std::string file = tempFile("print.wrl",
                              "#VRML V2.0 utf8\nDEF A Transform { translation 1 0 0 "
                              "children [ USE_ME_NOT Box {} ] }\n");
  std::ostringstream out;
  EXPECT_EQ(printSceneFile(file, out), 1);  // USE_ME_NOT is no node type
  EXPECT_NE(out.str().find("unknown node type 'USE_ME_NOT'"), std::string::npos);
  file = tempFile("print2.wrl",
                  "#VRML V2.0 utf8\nDEF A Transform { translation 1 0 0 children Box {} }\n");
  std::ostringstream printed;
  EXPECT_EQ(printSceneFile(file, printed), 0);
  EXPECT_EQ(printed.str(),
            "#VRML V2.0 utf8\n\nDEF A Transform {\n  children [\n    Box {}\n  ]\n"
            "  translation 1 0 0\n}\n");
}

TEST(SceneCheck, PrintSaysWhenTheTextWouldNotReadBackTheSame) {
  // The ROUTE inside the Group names the first T; written after the Group
  // it would name the second.
  std::string file = tempFile("rebind.wrl",
                              "#VRML V2.0 utf8\nDEF T TimeSensor {}\n"
                              "Group { ROUTE T.isActive TO T.set_loop children DEF T TimeSensor {} }\n");
  std::ostringstream printed;
  EXPECT_EQ(printSceneFile(file, printed), 0);
  EXPECT_NE(printed.str().find("does not read back identically"), std::string::npos);
}

TEST(Writer, RoundTripsSharingProtosScriptsAndNumbers) {
  const char* text = R"(#VRML V2.0 utf8
PROTO P [ field SFFloat f 0.1 eventIn SFTime go exposedField MFNode kids [] ]
{ Group { children IS kids } DEF TS TimeSensor { startTime IS go } }
DEF M Material { shininess 0.30000001 transparency 1e-9 }
Shape { appearance Appearance { material USE M } geometry Text3D { string ["x", "y\"z"] depth 2 } }
DEF S Script { field SFNode m USE M eventOut SFTime t field MFInt32 n [1, -2, 0x7fffffff] }
DEF I P { f 3 kids [ Shape {} ] }
PixelTexture { image 1 2 4 0xFF00FF00 0x1 }
ROUTE S.t TO I.go
)";
  Scene a, b;
  ParseError error;
  ParseOptions o;
  ASSERT_TRUE(parseVrml(text, o, a, error)) << error.text();
  WriteResult w = writeScene(a);
  EXPECT_TRUE(w.exact);
  ASSERT_TRUE(parseVrml(w.text, o, b, error)) << error.text() << "\n" << w.text;
  std::string why;
  EXPECT_TRUE(sameScene(a, b, &why)) << why << "\n" << w.text;
  EXPECT_NE(w.text.find("shininess 0.3"), std::string::npos);
  EXPECT_NE(w.text.find("transparency 1e-09"), std::string::npos);
}

TEST(Writer, ReportsAGraphItCannotWriteFaithfully) {
  Scene a;
  ParseError error;
  ParseOptions o;
  o.requireHeader = false;
  ASSERT_TRUE(parseVrml("DEF T TimeSensor {} DEF U TimeSensor {}", o, a, error));
  // A node shared without a DEF name cannot be written as a USE.
  NodePtr box = Node::create(findStandardType("Box"));
  NodePtr shape1 = Node::create(findStandardType("Shape"));
  NodePtr shape2 = Node::create(findStandardType("Shape"));
  shape1->editField("geometry")->data = box;
  shape2->editField("geometry")->data = box;
  a.items.push_back(SceneItem(shape1));
  a.items.push_back(SceneItem(shape2));
  EXPECT_FALSE(writeScene(a).exact);
}

}  // namespace
}  // namespace kestrel
