// Lenient reading of scene files: every kind of problem is skipped or
// corrected with one warning, the rest of the file loads, and what loses
// content still fails. Created-from-string text stays strict.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "viewer/browser/field_handles.h"
#include "viewer/browser/field_reader.h"
#include "viewer/browser/field_rules.h"
#include "viewer/browser/lexer.h"
#include "viewer/browser/node.h"
#include "viewer/browser/parser.h"
#include "viewer/browser/scene_check.h"
#include "viewer/browser/vrml_browser.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

std::vector<ParseWarning> lenientParse(const std::string& text, Scene& scene, bool& ok) {
  std::vector<ParseWarning> warnings;
  ParseOptions options;
  options.sourceName = "w.wrl";
  options.warn = [&warnings](const ParseWarning& w) { warnings.push_back(w); };
  ParseError error;
  ok = parseVrml(text, options, scene, error);
  return warnings;
}

constexpr const char* kMessy = R"(#VRML V2.0 utf8
DEF Movie Transform { children Shape {
  appearance Appearance {
    texture MovieTexture { url "a.mpg" pauseTime 3 resumeTime [ 1 2 ] loop TRUE }
    material Material { diffuseColor 1.5 0 -2 transparency 2 }
  }
  geometry Sphere { radius -1 }
} }
DEF Known Group { children [
  Frobnicator { size 1 2 3 children [ Box {} ] note "x{" }
  DEF Gone Gizmo { }
  Shape { appearance Box {} geometry Cone { height 0 } }
  Box {}
  Transform { unknownNode DEF N Group {} addChildren [ Group {} ] }
] }
Shape { appearance USE Missing geometry Cylinder { radius 2 } }
ROUTE Gone.x TO Known.set_y
ROUTE Known.bogus TO Movie.set_translation
ROUTE Known.children TO Movie.set_translation
DEF T TimeSensor {
  cycleInterval 0 }
)";

TEST(LenientParse, EveryKindOfProblemIsSkippedWithOneWarningAndTheRestLoads) {
  Scene scene;
  bool ok = false;
  std::vector<ParseWarning> w = lenientParse(kMessy, scene, ok);
  ASSERT_TRUE(ok);
  std::vector<std::string> texts;
  for (const ParseWarning& warning : w) texts.push_back(warning.text());
  std::vector<std::string> expected{
      "w.wrl: line 4, column 40: 'MovieTexture' has no field 'pauseTime'; its value is skipped",
      "w.wrl: line 4, column 52: 'MovieTexture' has no field 'resumeTime'; its value is skipped",
      "w.wrl: line 5, column 25: the value of 'diffuseColor' in 'Material' is out of range; "
      "clamped into [0, 1]",
      "w.wrl: line 5, column 47: the value of 'transparency' in 'Material' is out of range; "
      "clamped into [0, 1]",
      "w.wrl: line 7, column 21: the value of 'radius' in 'Sphere' is out of range; reset to "
      "its default: it must be above 0",
      "w.wrl: line 10, column 3: unknown node type 'Frobnicator'; the node is skipped",
      "w.wrl: line 11, column 12: unknown node type 'Gizmo'; the node is skipped",
      "w.wrl: line 12, column 22: 'Box' cannot be in the field 'appearance' of 'Shape'; the "
      "node is skipped",
      "w.wrl: line 12, column 45: the value of 'height' in 'Cone' is out of range; reset to its "
      "default: it must be above 0",
      "w.wrl: line 13, column 3: 'Box' cannot be in the field 'children' of 'Group'; the node "
      "is skipped",
      "w.wrl: line 14, column 15: 'Transform' has no field 'unknownNode'; its value is skipped",
      "w.wrl: line 14, column 42: eventIn 'addChildren' cannot be given a value; the value is "
      "skipped",
      "w.wrl: line 16, column 24: USE of 'Missing', which no DEF names; skipped",
      "w.wrl: line 17, column 7: ROUTE names 'Gone', which no DEF names; the ROUTE is skipped",
      "w.wrl: line 18, column 13: 'Group' sends no event 'bogus'; skipped",
      "w.wrl: line 19, column 31: ROUTE joins MFNode to SFVec3f; skipped",
      "w.wrl: line 21, column 3: the value of 'cycleInterval' in 'TimeSensor' is out of range; "
      "reset to its default: it must be above 0",
  };
  EXPECT_EQ(texts, expected);

  // What remains: the movie with its loop, the clamped material, the Cone
  // with its default height, the Transform, the Cylinder and the TimeSensor.
  std::vector<NodePtr> roots = scene.rootNodes();
  ASSERT_EQ(roots.size(), 4u);
  NodePtr movie = scene.names.find("Movie");
  ASSERT_NE(movie, nullptr);
  NodePtr known = scene.names.find("Known");
  ASSERT_NE(known, nullptr);
  EXPECT_EQ(scene.names.find("Gone"), nullptr);
  EXPECT_EQ(scene.names.find("N"), nullptr);
  const auto& kids = *known->field("children")->as<std::vector<NodePtr>>();
  ASSERT_EQ(kids.size(), 2u);
  EXPECT_EQ(kids[0]->type->name, "Shape");
  EXPECT_EQ(*kids[0]->field("appearance")->as<NodePtr>(), nullptr);
  NodePtr cone = *kids[0]->field("geometry")->as<NodePtr>();
  EXPECT_EQ(*cone->field("height")->as<float>(), 2.0f);
  EXPECT_EQ(kids[1]->type->name, "Transform");
  NodePtr shape = (*movie->field("children")->as<std::vector<NodePtr>>())[0];
  NodePtr appearance = *shape->field("appearance")->as<NodePtr>();
  NodePtr material = *appearance->field("material")->as<NodePtr>();
  EXPECT_EQ(*material->field("diffuseColor")->as<Vec3f>(), (Vec3f{1, 0, 0}));
  EXPECT_EQ(*material->field("transparency")->as<float>(), 1.0f);
  NodePtr texture = *appearance->field("texture")->as<NodePtr>();
  EXPECT_TRUE(*texture->field("loop")->as<bool>());
  NodePtr sphere = *shape->field("geometry")->as<NodePtr>();
  EXPECT_EQ(*sphere->field("radius")->as<float>(), 1.0f);
  EXPECT_EQ(*scene.names.find("T")->field("cycleInterval")->as<double>(), 1.0);
}

TEST(LenientParse, RangeRulesHoldForEveryMemberAndForCopiesOfIt) {
  // The rules are found by member index for the built-in types and by name
  // for anything else: both must agree, member by member.
  auto outOfRange = [](FieldType type) -> const char* {
    switch (type) {
      case FieldType::SFFloat: case FieldType::SFTime: return "-2";
      case FieldType::SFVec3f: case FieldType::SFColor: return "-2 3 0.5";
      case FieldType::MFFloat: return "[ -2 3 ]";
      case FieldType::MFColor: return "[ -2 3 0.5 ]";
      default: return nullptr;
    }
  };
  int fixed = 0;
  for (const NodeTypePtr& type : standardTypes()) {
    const NodeType copy = *type;
    for (const FieldDecl& field : type->fields) {
      const char* text = outOfRange(field.type);
      if (text == nullptr) continue;
      FieldValue byIndex, byName, inCopy;
      for (FieldValue* v : {&byIndex, &byName, &inCopy}) {
        Lexer lexer(text);
        ParseError error;
        ASSERT_TRUE(readFieldValue(lexer, field.type, *v, error)) << field.name;
      }
      const FieldDecl declCopy = field;
      const auto a = fixRange(*type, field, byIndex);
      const auto b = fixRange(*type, declCopy, byName);
      const auto c = fixRange(copy, field, inCopy);
      EXPECT_EQ(a, b) << type->name << "." << field.name;
      EXPECT_EQ(a, c) << type->name << "." << field.name;
      EXPECT_TRUE(sameValue(byIndex, byName) && sameValue(byIndex, inCopy)) << field.name;
      if (a) ++fixed;
    }
  }
  EXPECT_GE(fixed, 20);  // the table's rules, most of them met here
}

TEST(LenientParse, X3dImportAndExportStatementsAreSkipped) {
  constexpr const char* kText = R"(#VRML V2.0 utf8
DEF Touch TouchSensor {}
DEF Clip AudioClip { url "a.wav" }
EXPORT Touch
EXPORT Clip AS Music
IMPORT House.Door AS FrontDoor
Group {}
)";
  Scene scene;
  bool ok = false;
  std::vector<std::string> texts;
  for (const ParseWarning& warning : lenientParse(kText, scene, ok)) {
    texts.push_back(warning.text());
  }
  ASSERT_TRUE(ok);
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "w.wrl: line 4, column 1: X3D statement EXPORT (VRML97 has none); skipped",
                       "w.wrl: line 5, column 1: X3D statement EXPORT (VRML97 has none); skipped",
                       "w.wrl: line 6, column 1: X3D statement IMPORT (VRML97 has none); skipped",
                   }));
  EXPECT_EQ(scene.rootNodes().size(), 3u);
  EXPECT_NE(scene.names.find("Clip"), nullptr);

  // Broken ones fail as any broken statement; strict text knows none.
  for (const char* broken : {"#VRML V2.0 utf8\nEXPORT { }\n", "#VRML V2.0 utf8\nIMPORT A B\n",
                             "#VRML V2.0 utf8\nEXPORT A AS\n"}) {
    Scene none;
    lenientParse(broken, none, ok);
    EXPECT_FALSE(ok) << broken;
  }
  ParseError error;
  EXPECT_FALSE(parseVrml(kText, ParseOptions{}, scene, error));
  EXPECT_EQ(error.line, 4u);
}

TEST(LenientParse, WhatLosesContentStillFails) {
  for (const char* text : {
           "#VRML V2.0 utf8\nGroup { children [ Frob { a [ 1 } ] }\n",   // unbalanced
           "#VRML V2.0 utf8\nGroup { children [ Frob { a 1 ] }\n",       // never closed
           "#VRML V2.0 utf8\nGroup { children [ Frob Box {} ] }\n",      // no braces to skip
           "#VRML V1.0 ascii\nSeparator {}\n",                            // header
           "Group {}\n",                                                   // no header
           "#VRML V2.0 utf8\nTransform { translation 1 x 3 }\n",          // a broken value
       }) {
    Scene scene;
    bool ok = true;
    lenientParse(text, scene, ok);
    EXPECT_FALSE(ok) << text;
    EXPECT_TRUE(scene.items.empty());
  }
}

TEST(LenientParse, FilesAreLenientAndLogEachWarningWhileStringsStayStrict) {
  fs::path dir = fs::temp_directory_path() / ("kestrel-lenient-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  openLogIn(dir.string());
  const std::string text =
      "#VRML V2.0 utf8\nDEF Clip MovieTexture { pauseTime 3 }\nDEF Here Group {}\n"
      "Inline { url \"inner.wrl\" }\n";
  std::ofstream(dir / "outer.wrl") << text;
  std::ofstream(dir / "inner.wrl") << "#VRML V2.0 utf8\nDEF In Group { bogus 1 }\n";
  CVrmlBrowser browser;
  VrmlContent content;
  ASSERT_TRUE(browser.createFromFile((dir / "outer.wrl").string(), content))
      << browser.lastError().text();
  ASSERT_TRUE(browser.appendToRoot(content));
  NodeHandle here;
  EXPECT_TRUE(browser.findNode("Here", here));

  EXPECT_FALSE(browser.createFromString(text, content));
  EXPECT_EQ(browser.lastError().text(), "line 2, column 25: 'MovieTexture' has no field 'pauseTime'");

  openLogIn("");
  std::ifstream in(dir / "kestrel.log");
  std::string log((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(log,
            "VRML file problem skipped: \"" + (dir / "outer.wrl").string() +
                ": line 2, column 25: 'MovieTexture' has no field 'pauseTime'; its value is "
                "skipped\"\n"
                "VRML file problem skipped: \"inner.wrl: line 2, column 16: 'Group' has no field "
                "'bogus'; its value is skipped\"\n");

  // --check prints the warnings and passes; a broken file still fails.
  std::ofstream(dir / "broken.wrl") << "#VRML V2.0 utf8\nGroup { children [ \n";
  std::ostringstream out;
  EXPECT_EQ(checkSceneFiles({(dir / "outer.wrl").string()}, out), 0);
  EXPECT_EQ(out.str(), (dir / "outer.wrl").string() +
                           ": line 2, column 25: warning: 'MovieTexture' has no field "
                           "'pauseTime'; its value is skipped\n" +
                           (dir / "outer.wrl").string() + ": ok\n");
  std::ostringstream bad;
  EXPECT_EQ(checkSceneFiles({(dir / "broken.wrl").string()}, bad), 1);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kestrel
