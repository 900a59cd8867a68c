#include "viewer/browser/parser.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <random>
#include <string>
#include <vector>

#include "viewer/browser/field_reader.h"
#include "viewer/browser/lexer.h"
#include "viewer/browser/node_type.h"

namespace kestrel {
namespace {

ParseOptions stringOptions() {
  ParseOptions o;
  o.requireHeader = false;
  return o;
}

bool parse(std::string_view text, Scene& scene, ParseError& error) {
  return parseVrml(text, stringOptions(), scene, error);
}

ParseError failure(std::string_view text) {
  Scene scene;
  ParseError error;
  EXPECT_FALSE(parse(text, scene, error)) << text;
  EXPECT_TRUE(scene.items.empty());
  return error;
}

TEST(Lexer, TokensCarryLineAndColumnAcrossLineEndings) {
  Lexer lex("Group {\r\n  # comment\r\n  children [ ]\n}\rX");
  Token t = lex.next();
  EXPECT_EQ(t.text, "Group");
  EXPECT_EQ(t.kind, TokenKind::Identifier);
  EXPECT_EQ(lex.next().kind, TokenKind::OpenBrace);
  t = lex.next();
  EXPECT_EQ(t.text, "children");
  EXPECT_EQ(t.line, 3u);
  EXPECT_EQ(t.column, 3u);
  EXPECT_EQ(lex.next().kind, TokenKind::OpenBracket);
  EXPECT_EQ(lex.next().kind, TokenKind::CloseBracket);
  t = lex.next();
  EXPECT_EQ(t.kind, TokenKind::CloseBrace);
  EXPECT_EQ(t.line, 4u);
  t = lex.next();
  EXPECT_EQ(t.text, "X");
  EXPECT_EQ(t.line, 5u);
  EXPECT_EQ(lex.next().kind, TokenKind::End);
}

TEST(Lexer, NumbersAreReadWithoutLocaleAndStrictly) {
  Lexer lex("1.5, -2e3 +.25 0x1F -0x10 7");
  float f = 0;
  ASSERT_TRUE(lex.readFloat(f));
  EXPECT_EQ(f, 1.5f);
  ASSERT_TRUE(lex.readFloat(f));
  EXPECT_EQ(f, -2000.0f);
  ASSERT_TRUE(lex.readFloat(f));
  EXPECT_EQ(f, 0.25f);
  int32_t i = 0;
  ASSERT_TRUE(lex.readInt32(i));
  EXPECT_EQ(i, 31);
  ASSERT_TRUE(lex.readInt32(i));
  EXPECT_EQ(i, -16);
  double d = 0;
  ASSERT_TRUE(lex.readDouble(d));
  EXPECT_EQ(d, 7.0);
  for (const char* bad : {"inf", "nan", "1.2.3", "1e", "-", "1e999", "12abc"}) {
    Lexer l(bad);
    EXPECT_FALSE(l.readFloat(f)) << bad;
    EXPECT_FALSE(l.readDouble(d)) << bad;
  }
  // Each precision has its own range; a failed read consumes nothing.
  Lexer wide("1e300");
  EXPECT_FALSE(wide.readFloat(f));
  ASSERT_TRUE(wide.readDouble(d));
  EXPECT_EQ(d, 1e300);
  Lexer big("2147483648 0xFFFFFFFF");
  EXPECT_FALSE(big.readInt32(i));
  Lexer hex("0xFFFFFFFF");
  ASSERT_TRUE(hex.readInt32(i));
  EXPECT_EQ(i, -1);
}

TEST(Lexer, NumbersReadAsFromCharsReadsThemToTheLastBit) {
  // Plain decimals take a shorter path than exponents and long mantissas;
  // every kind must give exactly the value from_chars gives.
  std::mt19937 random(17);
  auto digits = [&](int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += char('0' + random() % 10);
    return out;
  };
  for (int i = 0; i < 20000; ++i) {
    std::string text = (random() % 3 == 0 ? "-" : "") + digits(int(random() % 10));
    if (random() % 4 != 0) text += "." + digits(int(random() % 12));
    if (text.find_first_of("0123456789") == std::string::npos) text += "0";
    if (random() % 8 == 0) text += "e" + std::to_string(int(random() % 40) - 20);
    float f = 0, expectedF = 0;
    double d = 0, expectedD = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    const bool fits = std::from_chars(first, last, expectedF).ec == std::errc();
    Lexer floats(text);
    ASSERT_EQ(floats.readFloat(f), fits) << text;
    if (fits) {
      EXPECT_EQ(std::bit_cast<uint32_t>(f), std::bit_cast<uint32_t>(expectedF)) << text;
    }
    ASSERT_EQ(std::from_chars(first, last, expectedD).ec, std::errc()) << text;
    Lexer doubles(text);
    ASSERT_TRUE(doubles.readDouble(d)) << text;
    EXPECT_EQ(std::bit_cast<uint64_t>(d), std::bit_cast<uint64_t>(expectedD)) << text;
  }
}

TEST(Lexer, StringsKeepEscapesUntilUnescaped) {
  Lexer lex(R"("a \"quoted\" \\ word" "open)");
  Token t = lex.next();
  ASSERT_EQ(t.kind, TokenKind::String);
  EXPECT_EQ(unescapeString(t.text), "a \"quoted\" \\ word");
  EXPECT_EQ(lex.next().kind, TokenKind::Invalid);
  std::string q;
  appendQuoted(q, "say \"hi\"\\");
  EXPECT_EQ(q, R"("say \"hi\"\\")");
}

TEST(NodeTypes, EveryStandardTypeIsDeclaredWithTypedDefaults) {
  EXPECT_EQ(standardTypes().size(), 55u);  // the 54 of VRML97 and Text3D
  for (const NodeTypePtr& t : standardTypes()) {
    for (const FieldDecl& f : t->fields) {
      EXPECT_EQ(f.defaultValue.type, f.type) << t->name << "." << f.name;
    }
  }
  NodeTypePtr text3d = findStandardType("Text3D");
  ASSERT_TRUE(text3d);
  const FieldDecl& depth = text3d->fields[static_cast<size_t>(text3d->findField("depth"))];
  EXPECT_EQ(*depth.defaultValue.as<float>(), 0.1f);
  NodeTypePtr nav = findStandardType("NavigationInfo");
  const auto& type = *nav->fields[static_cast<size_t>(nav->findField("type"))]
                          .defaultValue.as<std::vector<std::string>>();
  EXPECT_EQ(type, (std::vector<std::string>{"WALK", "ANY"}));
  NodeTypePtr extrusion = findStandardType("Extrusion");
  EXPECT_EQ(extrusion->fields[static_cast<size_t>(extrusion->findField("crossSection"))]
                .defaultValue.as<std::vector<Vec2f>>()
                ->size(),
            5u);
  NodeTypePtr transform = findStandardType("Transform");
  EXPECT_EQ(transform->findEventIn("set_translation"), transform->findField("translation"));
  EXPECT_EQ(transform->findEventOut("translation_changed"), transform->findField("translation"));
  EXPECT_EQ(transform->findEventOut("addChildren"), -1);
  EXPECT_EQ(findStandardType("Transfrom"), nullptr);
}

TEST(Lexer, PeekingAndSkippingNeverChangeTheTokens) {
  // Every token kind, line ends of each style, comments and commas.
  const std::string text =
      "#VRML V2.0 utf8\r\nDEF a-b Transform { translation 1 -2.5e3 .5 # note\r"
      " children [ Shape{}, USE x ] url \"q\\\"s\" } ROUTE a.b TO c.d \x01 @ ]\n\"open";
  std::vector<Token> plain;
  Lexer reference(text);
  do plain.push_back(reference.next());
  while (plain.back().kind != TokenKind::End);
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    Lexer lex(text);
    for (const Token& expected : plain) {
      // Any mix of look-ahead calls before each token.
      for (int calls = static_cast<int>(random() % 4); calls > 0; --calls) {
        switch (random() % 4) {
          case 0: {
            const Token& peeked = lex.peek();
            EXPECT_EQ(peeked.kind, expected.kind);
            EXPECT_EQ(peeked.text, expected.text);
            break;
          }
          case 1: EXPECT_EQ(lex.peekChar() == '\0', expected.kind == TokenKind::End); break;
          case 2: EXPECT_EQ(lex.atEnd(), expected.kind == TokenKind::End); break;
          default:
            lex.skipSeparators();
            if (expected.kind != TokenKind::End) {
              EXPECT_EQ(lex.line(), expected.line);
              EXPECT_EQ(lex.column(), expected.column);
            }
        }
      }
      const Token t = lex.next();
      ASSERT_EQ(t.kind, expected.kind) << round;
      EXPECT_EQ(t.text, expected.text);
      EXPECT_EQ(t.line, expected.line);
      EXPECT_EQ(t.column, expected.column);
    }
  }
}

TEST(NodeTypes, LookupsFindEveryNameAndNothingNearIt) {
  // Names that differ from a real one in length, first, middle or last
  // byte: the type index keys on length and end bytes.
  auto nearMisses = [](const std::string& name) {
    std::vector<std::string> misses{name.substr(0, name.size() - 1), name + "s", "x" + name};
    std::string middle = name;
    middle[name.size() / 2] ^= 0x20;
    misses.push_back(middle);
    std::string first = name;
    first[0] ^= 0x20;
    misses.push_back(first);
    std::string last = name;
    last.back() ^= 0x20;
    misses.push_back(last);
    return misses;
  };
  EXPECT_EQ(findStandardType(""), nullptr);
  for (const NodeTypePtr& t : standardTypes()) {
    EXPECT_EQ(findStandardType(t->name), t);
    for (const std::string& miss : nearMisses(t->name)) {
      const NodeTypePtr found = findStandardType(miss);
      EXPECT_TRUE(found == nullptr || found->name == miss) << miss;
    }
    EXPECT_EQ(t->findField(""), -1);
    for (size_t i = 0; i < t->fields.size(); ++i) {
      const std::string& member = t->fields[i].name;
      EXPECT_EQ(t->findField(member), static_cast<int>(i)) << t->name << "." << member;
      for (const std::string& miss : nearMisses(member)) {
        const int found = t->findField(miss);
        EXPECT_TRUE(found < 0 || t->fields[static_cast<size_t>(found)].name == miss) << miss;
      }
    }
  }
}

TEST(NodeTypes, KindsAndMemberKeysAreResolvedOnce) {
  for (const NodeTypePtr& t : standardTypes()) {
    EXPECT_NE(t->kind, NodeKind::Declared) << t->name;
    EXPECT_EQ(kindName(t->kind), t->name);
  }
  EXPECT_EQ(kindName(NodeKind::Declared), "");
  MemberKey translation = memberKey(NodeKind::Transform, "translation");
  EXPECT_EQ(translation.index, findStandardType("Transform")->findField("translation"));
  EXPECT_EQ(memberKey(NodeKind::Transform, "nothing").index, -1);

  Scene scene;
  ParseError error;
  ASSERT_TRUE(parseVrml("PROTO Transform [] { Group {} }  PROTO Mover [] { Group {} }\n"
                        "DEF T Transform {} DEF M Mover {} DEF R Script { field SFInt32 x 3 }"
                        "DEF S Shape {}",
                        stringOptions(), scene, error))
      << error.text();
  // A PROTO named like a built-in type is not of that kind.
  EXPECT_EQ(scene.names.at("T")->type->kind, NodeKind::Declared);
  EXPECT_EQ(scene.names.at("M")->type->kind, NodeKind::Declared);
  EXPECT_EQ(scene.names.at("R")->type->kind, NodeKind::Script);
  EXPECT_EQ(scene.names.at("T")->field(translation), nullptr);
  EXPECT_EQ(scene.names.at("S")->field(translation), nullptr);  // another type
  Scene plain;
  ASSERT_TRUE(parseVrml("DEF T Transform { translation 1 2 3 }",
                        stringOptions(), plain, error));
  EXPECT_EQ(*plain.names.at("T")->field(translation)->as<Vec3f>(), (Vec3f{1, 2, 3}));
}

TEST(Parser, ReadsFieldsOfEveryKind) {
  Scene scene;
  ParseError error;
  ASSERT_TRUE(parse(R"(#VRML V2.0 utf8
    DEF T Transform { translation 1 2 3 rotation 0 1 0 1.57 scale 2,2,2
      children [ Shape { geometry IndexedFaceSet { coordIndex [0 1 2 -1]
        coord Coordinate { point [0 0 0, 1 0 0, 0 1 0] } solid FALSE } } ] }
    PixelTexture { image 2 1 3 0xFF0000 0x00FF00 }
    WorldInfo { info ["a", "b"] title "t" }
    TimeSensor { cycleInterval 2.5 })",
                    scene, error))
      << error.text();
  auto roots = scene.rootNodes();
  ASSERT_EQ(roots.size(), 4u);
  EXPECT_EQ(scene.names.at("T"), roots[0]);
  EXPECT_EQ(*roots[0]->field("translation")->as<Vec3f>(), (Vec3f{1, 2, 3}));
  EXPECT_EQ(*roots[0]->field("scale")->as<Vec3f>(), (Vec3f{2, 2, 2}));
  auto& shape = roots[0]->field("children")->as<std::vector<NodePtr>>()->at(0);
  auto& ifs = *shape->field("geometry")->as<NodePtr>();
  EXPECT_EQ(ifs->field("coordIndex")->as<std::vector<int32_t>>()->size(), 4u);
  EXPECT_FALSE(*ifs->field("solid")->as<bool>());
  auto& coord = *ifs->field("coord")->as<NodePtr>();
  EXPECT_EQ(coord->field("point")->as<std::vector<Vec3f>>()->at(1), (Vec3f{1, 0, 0}));
  const Image& image = *roots[1]->field("image")->as<Image>();
  EXPECT_EQ(image.pixels, (std::vector<uint32_t>{0xFF0000, 0x00FF00}));
  EXPECT_EQ(roots[2]->field("info")->as<std::vector<std::string>>()->size(), 2u);
  EXPECT_EQ(*roots[3]->field("cycleInterval")->as<double>(), 2.5);
}

TEST(Parser, LongListsReadWholeWhateverTheirTextHolds) {
  // Long enough to be given room up front: a comment holding ']' ends the
  // estimate early, and a list without its ']' fails as before.
  std::string points, indices = "# ] a bracket in a comment\n";
  for (int i = 0; i < 40000; ++i) {
    points += std::to_string(i) + ".5 0 -" + std::to_string(i) + ",\n";
    indices += std::to_string(i) + ", ";
  }
  Scene scene;
  ParseError error;
  ASSERT_TRUE(parse("IndexedFaceSet { coord Coordinate { point [ " + points + "] } coordIndex [ " +
                        indices + "] }",
                    scene, error))
      << error.text();
  const Node& faces = *scene.firstNode();
  const auto& index = *faces.field("coordIndex")->as<std::vector<int32_t>>();
  ASSERT_EQ(index.size(), 40000u);
  EXPECT_EQ(index[39999], 39999);
  const NodePtr& coord = *faces.field("coord")->as<NodePtr>();
  const auto& point = *coord->field("point")->as<std::vector<Vec3f>>();
  ASSERT_EQ(point.size(), 40000u);
  EXPECT_EQ(point[39999], (Vec3f{39999.5f, 0, -39999}));
  EXPECT_NE(failure("Coordinate { point [ " + points + " }").text().find("expected"),
            std::string::npos);
}

TEST(Parser, UseSharesTheNodeAndLatestDefWins) {
  Scene scene;
  ParseError error;
  ASSERT_TRUE(parse("DEF M Material {} DEF M Material { transparency 0.5 }"
                    "Shape { appearance Appearance { material USE M } }",
                    scene, error))
      << error.text();
  auto roots = scene.rootNodes();
  auto app = *roots[2]->field("appearance")->as<NodePtr>();
  EXPECT_EQ(*app->field("material")->as<NodePtr>(), roots[1]);
  EXPECT_EQ(scene.names.at("M"), roots[1]);
}

TEST(Parser, ScriptInterfaceMembersAreFields) {
  Scene scene;
  ParseError error;
  ASSERT_TRUE(parse(R"(DEF S Script { url "javascript: function f() {}"
      eventIn SFInt32 in1 field SFVec3f markLocation 1 2 3 eventOut SFString out
      field SFNode self NULL })",
                    scene, error))
      << error.text();
  NodePtr s = scene.names.at("S");
  EXPECT_TRUE(s->type->script);
  EXPECT_EQ(*s->field("markLocation")->as<Vec3f>(), (Vec3f{1, 2, 3}));
  ASSERT_NE(s->field("in1"), nullptr);
  EXPECT_EQ(s->field("in1")->type, FieldType::SFInt32);
  // Another Script keeps its own interface.
  Scene other;
  ASSERT_TRUE(parse("Script { }", other, error));
  EXPECT_EQ(other.firstNode()->field("in1"), nullptr);
}

TEST(Parser, ProtoInstancesGetTheirOwnBodyWiredByIs) {
  Scene scene;
  ParseError error;
  ASSERT_TRUE(parse(R"(PROTO Ball [ field SFColor color 1 0 0 exposedField SFVec3f at 0 0 0 ]
      { Transform { translation IS at children Shape { appearance Appearance {
          material Material { diffuseColor IS color } } geometry Sphere {} } } }
      DEF A Ball { color 0 0 1 }  DEF B Ball { })",
                    scene, error))
      << error.text();
  NodePtr a = scene.names.at("A");
  NodePtr b = scene.names.at("B");
  ASSERT_EQ(a->extras().protoBody.size(), 1u);
  ASSERT_NE(a->extras().protoBody[0], b->extras().protoBody[0]);
  auto material = [](const NodePtr& inst) {
    auto shape = inst->extras().protoBody[0]->field("children")->as<std::vector<NodePtr>>()->at(0);
    auto app = *shape->field("appearance")->as<NodePtr>();
    return *app->field("material")->as<NodePtr>();
  };
  EXPECT_EQ(*material(a)->field("diffuseColor")->as<Vec3f>(), (Vec3f{0, 0, 1}));
  EXPECT_EQ(*material(b)->field("diffuseColor")->as<Vec3f>(), (Vec3f{1, 0, 0}));
  EXPECT_FALSE(a->extras().routes.empty());  // "at" is routed into the body
}

TEST(Parser, ErrorsNameLineColumnAndWhatWasExpected) {
  ParseError e = failure("Group {\n  children [ Box { size 1 2 } ]\n}");
  EXPECT_EQ(e.line, 2u);
  EXPECT_EQ(e.column, 29u);
  EXPECT_EQ(e.message, "expected a number but found '}'");
  e = failure("Transform { scael 1 1 1 }");
  EXPECT_EQ(e.message, "'Transform' has no field 'scael'");
  EXPECT_EQ(e.column, 13u);
  e = failure("Foo { }");
  EXPECT_EQ(e.message, "unknown node type 'Foo'");
  e = failure("Group { children [ USE X ] }");
  EXPECT_EQ(e.message, "USE of 'X', which no DEF names");
  e = failure("DEF T TimeSensor {} DEF P Transform {} ROUTE T.fraction_changed TO P.set_translation");
  EXPECT_EQ(e.message, "ROUTE joins SFFloat to SFVec3f");
  e = failure("DEF T TimeSensor {} ROUTE T.nothing TO T.set_startTime");
  EXPECT_EQ(e.message, "'TimeSensor' sends no event 'nothing'");
  e = failure("Shape { geometry Box { size 1 1 1 }");
  EXPECT_EQ(e.message, "expected a field name or '}' but found end of text");
  e = failure("Material { diffuseColor IS c }");
  EXPECT_EQ(e.message, "IS is only allowed inside a PROTO body");
  e = failure("WorldInfo { title \"open }");
  EXPECT_EQ(e.message, "string is not closed");
  e = failure("DEF G Group { children [ USE G ] }");
  EXPECT_EQ(e.message, "USE of 'G' inside its own definition");
  e = failure("TimeSensor { isActive TRUE }");
  EXPECT_EQ(e.message, "eventOut 'isActive' cannot be given a value");
  EXPECT_EQ(failure("Box {} ]").message, "expected a node but found ']'");
}

TEST(Parser, HeaderIsRequiredForFilesAndOptionalForStrings) {
  Scene scene;
  ParseError error;
  ParseOptions file;
  EXPECT_FALSE(parseVrml("Box {}", file, scene, error));
  EXPECT_EQ(error.message, "expected the header \"#VRML V2.0 utf8\"");
  EXPECT_TRUE(parseVrml("#VRML V2.0 utf8\nBox {}", file, scene, error));
  EXPECT_FALSE(parseVrml("#VRML V1.0 ascii\nSeparator {}", stringOptions(), scene, error));
  EXPECT_TRUE(parseVrml("\xEF\xBB\xBF#VRML V2.0 utf8\nBox {}", file, scene, error));
}

TEST(Parser, LimitsStopRunawayInput) {
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "Group { children ";
  EXPECT_NE(failure(deep).message.find("nesting is deeper than"), std::string::npos);
  // Each level doubles the node count: 2^30 nodes if nothing stopped it.
  std::string bomb = "PROTO P0 [] { Group {} }\n";
  for (int i = 1; i <= 30; ++i) {
    bomb += "PROTO P" + std::to_string(i) + " [] { Group { children [ P" +
            std::to_string(i - 1) + " {} P" + std::to_string(i - 1) + " {} ] } }\n";
  }
  bomb += "P30 {}";
  EXPECT_NE(failure(bomb).message.find("size limit"), std::string::npos);
  EXPECT_EQ(failure("PixelTexture { image 100000 100000 3 0 }").message,
            "image size is out of range");
  EXPECT_NE(failure("PixelTexture { image 2 2 1 1 2 }").message.find("pixel"),
            std::string::npos);
}

TEST(Parser, ScriptMayHoldItsEnclosingNode) {
  Scene scene;
  ParseError error;
  ASSERT_TRUE(parse("DEF G Group { children [ DEF S Script { field SFNode g USE G } ] }",
                    scene, error))
      << error.text();
  NodePtr s = scene.names.at("S");
  EXPECT_EQ(*s->field("g")->as<NodePtr>(), scene.names.at("G"));
  std::weak_ptr<Node> weak = s;
  s.reset();
  scene = Scene{};
  EXPECT_TRUE(weak.expired());  // the cycle was broken, nothing leaked
}

TEST(Parser, ProtoCopiesOfSuchScriptsAreFreedToo) {
  std::weak_ptr<Node> copy;
  {
    Scene scene;
    ParseError error;
    ASSERT_TRUE(parse("PROTO P [] { DEF G Group { children DEF S Script { field SFNode g USE G } } }"
                      "DEF I P {}",
                      scene, error))
        << error.text();
    NodePtr body = scene.names.at("I")->extras().protoBody.at(0);
    NodePtr script = body->field("children")->as<std::vector<NodePtr>>()->at(0);
    EXPECT_EQ(*script->field("g")->as<NodePtr>(), body);  // the copy's own group
    copy = script;
  }
  EXPECT_TRUE(copy.expired());
}

TEST(Parser, ExternProtoResolvesThroughTheLoader) {
  ParseOptions o = stringOptions();
  int loads = 0;
  o.load = [&loads](const std::string& url, const std::string&, std::string& text,
                    std::string& dir) {
    ++loads;
    if (url != "lib.wrl") return false;
    text = "#VRML V2.0 utf8\nPROTO Other [] { Box {} }\n"
           "PROTO Lamp [ exposedField SFFloat level 0.5 ] { DirectionalLight { intensity IS level } }";
    dir = "/lib";
    return true;
  };
  Scene scene;
  ParseError error;
  ASSERT_TRUE(parseVrml("EXTERNPROTO Lamp [ exposedField SFFloat level ] [\"missing.wrl\", "
                        "\"lib.wrl#Lamp\"]\n DEF L Lamp {} DEF M Lamp { level 0.25 }",
                        o, scene, error))
      << error.text();
  NodePtr l = scene.names.at("L");
  ASSERT_EQ(l->extras().protoBody.size(), 1u);
  EXPECT_EQ(l->extras().protoBody[0]->type->name, "DirectionalLight");
  EXPECT_EQ(*l->extras().protoBody[0]->field("intensity")->as<float>(), 0.5f);
  EXPECT_EQ(*scene.names.at("M")->extras().protoBody[0]->field("intensity")->as<float>(), 0.25f);
  EXPECT_EQ(loads, 2);
  // Unresolved: instances keep their interface, with no body.
  ASSERT_TRUE(parseVrml("EXTERNPROTO X [ field SFInt32 n ] \"none.wrl\" DEF Y X { n 3 }", o,
                        scene, error));
  EXPECT_TRUE(scene.names.at("Y")->extras().protoBody.empty());
  EXPECT_EQ(*scene.names.at("Y")->field("n")->as<int32_t>(), 3);
}

}  // namespace
}  // namespace kestrel
