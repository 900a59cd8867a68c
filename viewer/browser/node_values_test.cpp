// How a node holds its member values: only those that differ from the
// type's defaults until its first edit, every one after it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "viewer/browser/node.h"
#include "viewer/browser/parser.h"
#include "viewer/browser/writer.h"

namespace kestrel {
namespace {

Scene parsed(std::string_view text) {
  ParseOptions options;
  options.requireHeader = false;
  Scene scene;
  ParseError error;
  EXPECT_TRUE(parseVrml(text, options, scene, error)) << error.text();
  return scene;
}

size_t memberIndex(const Node& n, std::string_view name) {
  const int i = n.type->findField(name);
  EXPECT_GE(i, 0) << name;
  return static_cast<size_t>(i);
}

Vec3f vec3(const Node& n, std::string_view name) { return *n.field(name)->as<Vec3f>(); }

TEST(NodeValues, MembersNotGivenReadTheirDefaultsWithoutBeingStored) {
  NodePtr fresh = Node::create(findStandardType("Transform"));
  for (size_t i = 0; i < fresh->valueCount(); ++i) {
    EXPECT_FALSE(fresh->storesValue(i)) << fresh->type->fields[i].name;
    EXPECT_EQ(fresh->value(i).type, fresh->type->fields[i].type);
  }
  EXPECT_EQ(vec3(*fresh, "scale"), (Vec3f{1, 1, 1}));
  EXPECT_EQ(*fresh->field("rotation")->as<Rotation>(), (Rotation{0, 0, 1, 0}));

  Scene scene = parsed("DEF T Transform { translation 1 2 3 children Shape {} }");
  NodePtr t = scene.names.at("T");
  EXPECT_TRUE(t->storesValue(memberIndex(*t, "translation")));
  EXPECT_TRUE(t->storesValue(memberIndex(*t, "children")));
  EXPECT_FALSE(t->storesValue(memberIndex(*t, "scale")));
  EXPECT_FALSE(t->storesValue(memberIndex(*t, "bboxSize")));
  EXPECT_EQ(vec3(*t, "translation"), (Vec3f{1, 2, 3}));
  EXPECT_EQ(vec3(*t, "scale"), (Vec3f{1, 1, 1}));
  EXPECT_EQ(vec3(*t, "bboxSize"), (Vec3f{-1, -1, -1}));
  EXPECT_EQ(t->field("children")->as<std::vector<NodePtr>>()->size(), 1u);
  // Events read as the zero of their type.
  EXPECT_TRUE(t->field("addChildren")->as<std::vector<NodePtr>>()->empty());
  // Members given twice keep the last value, in member order.
  Scene twice = parsed("DEF M Material { shininess 0.5 diffuseColor 1 0 0 shininess 0.25 }");
  NodePtr m = twice.names.at("M");
  EXPECT_EQ(*m->field("shininess")->as<float>(), 0.25f);
  EXPECT_EQ(vec3(*m, "diffuseColor"), (Vec3f{1, 0, 0}));
  EXPECT_EQ(*m->field("transparency")->as<float>(), 0.0f);
}

// A node's values are read first and stored together when its members
// end: in whatever order they came, given twice, or beside the interface
// a Script declares as it is read.
TEST(NodeValues, ValuesReadForANodeAreStoredTogetherWhateverTheirOrder) {
  Scene scene = parsed(
      "DEF T Transform { translation 1 2 3 children [ DEF In Transform { scale 2 2 2 } ] "
      "center 1 1 1 translation 4 5 6 }\n"
      "DEF S Script { url \"a.js\" field SFInt32 a 3 directOutput TRUE "
      "field SFNode n USE In mustEvaluate TRUE field SFFloat b 2.5 }");
  NodePtr t = scene.names.at("T");
  EXPECT_EQ(vec3(*t, "translation"), (Vec3f{4, 5, 6}));
  EXPECT_EQ(vec3(*t, "center"), (Vec3f{1, 1, 1}));
  EXPECT_EQ(vec3(*t, "scale"), (Vec3f{1, 1, 1}));
  EXPECT_FALSE(t->storesValue(memberIndex(*t, "scale")));
  const auto& children = *t->field("children")->as<std::vector<NodePtr>>();
  ASSERT_EQ(children.size(), 1u);
  EXPECT_EQ(vec3(*children[0], "scale"), (Vec3f{2, 2, 2}));
  NodePtr s = scene.names.at("S");
  EXPECT_EQ(*s->field("url")->as<std::vector<std::string>>(), std::vector<std::string>{"a.js"});
  EXPECT_EQ(*s->field("a")->as<int32_t>(), 3);
  EXPECT_TRUE(*s->field("directOutput")->as<bool>());
  EXPECT_TRUE(*s->field("mustEvaluate")->as<bool>());
  EXPECT_EQ(*s->field("n")->as<NodePtr>(), children[0]);
  EXPECT_EQ(*s->field("b")->as<float>(), 2.5f);
}

TEST(NodeValues, AnEditAfterTheParseKeepsEveryOtherValue) {
  const char* text =
      "DEF T Transform { translation 1 2 3 rotation 0 1 0 1.5 children [ DEF S Shape {} ] }";
  Scene scene = parsed(text);
  NodePtr t = scene.names.at("T");
  std::vector<FieldValue> before;
  for (size_t i = 0; i < t->valueCount(); ++i) before.push_back(t->value(i));
  const std::string writtenBefore = writeScene(scene).text;

  const size_t scale = memberIndex(*t, "scale");
  t->editValue(scale) = FieldValue{FieldType::SFVec3f, Vec3f{2, 2, 2}};
  for (size_t i = 0; i < t->valueCount(); ++i) {
    EXPECT_TRUE(t->storesValue(i));
    if (i != scale) {
      EXPECT_TRUE(sameValue(t->value(i), before[i])) << t->type->fields[i].name;
    }
  }
  EXPECT_EQ(vec3(*t, "scale"), (Vec3f{2, 2, 2}));
  EXPECT_EQ(t->field("children")->as<std::vector<NodePtr>>()->at(0), scene.names.at("S"));
  // The written scene differs by the one member only.
  std::string written = writeScene(scene).text;
  const size_t at = written.find("scale 2 2 2");
  ASSERT_NE(at, std::string::npos) << written;
  const size_t lineStart = written.rfind('\n', at) + 1;
  written.erase(lineStart, written.find('\n', at) + 1 - lineStart);
  EXPECT_EQ(written, writtenBefore);
  // Another node of the type is not touched by the edit.
  EXPECT_EQ(vec3(*Node::create(t->type), "scale"), (Vec3f{1, 1, 1}));
}

TEST(NodeValues, ProtoCopiesAndUsedNodesHoldTheirOwnValues) {
  Scene scene = parsed(
      "PROTO Q [ field SFNode n Box {} ] { Shape { geometry IS n } }\n"
      "PROTO P [ exposedField SFColor color 1 0 0 ] {\n"
      "  Group { children [\n"
      "    Shape { appearance Appearance { material Material { diffuseColor IS color } } }\n"
      "    Transform { translation 0 5 0 children Q {} }\n"
      "  ] }\n"
      "}\n"
      "DEF A P {}\n"
      "DEF B P { color 0 0 1 }\n"
      "DEF U Transform { translation 4 0 0 }\n"
      "Group { children [ USE U USE U ] }\n");
  auto bodyGroup = [&](const char* name) { return scene.names.at(name)->extras().protoBody.at(0); };
  auto materialOf = [](const NodePtr& group) {
    const auto& kids = *group->field("children")->as<std::vector<NodePtr>>();
    NodePtr appearance = *kids.at(0)->field("appearance")->as<NodePtr>();
    return *appearance->field("material")->as<NodePtr>();
  };
  auto transformOf = [](const NodePtr& group) {
    return group->field("children")->as<std::vector<NodePtr>>()->at(1);
  };
  NodePtr a = bodyGroup("A");
  NodePtr b = bodyGroup("B");
  ASSERT_NE(a, b);
  EXPECT_EQ(vec3(*materialOf(a), "diffuseColor"), (Vec3f{1, 0, 0}));
  EXPECT_EQ(vec3(*materialOf(b), "diffuseColor"), (Vec3f{0, 0, 1}));
  EXPECT_EQ(vec3(*transformOf(a), "translation"), (Vec3f{0, 5, 0}));
  // A node the default of a member holds is copied for each instance.
  auto innerOf = [&](const NodePtr& group) {
    NodePtr q = transformOf(group)->field("children")->as<std::vector<NodePtr>>()->at(0);
    return *q->field("n")->as<NodePtr>();
  };
  ASSERT_TRUE(innerOf(a) && innerOf(b));
  EXPECT_EQ(innerOf(a)->type->name, "Box");
  EXPECT_NE(innerOf(a), innerOf(b));

  // Editing one instance's copy leaves the other's alone.
  transformOf(a)->editField("translation")->data = Vec3f{7, 7, 7};
  EXPECT_EQ(vec3(*transformOf(a), "translation"), (Vec3f{7, 7, 7}));
  EXPECT_EQ(vec3(*transformOf(b), "translation"), (Vec3f{0, 5, 0}));

  // A USE'd node is one node: an edit shows through every use.
  NodePtr u = scene.names.at("U");
  NodePtr group = scene.rootNodes().back();
  const auto& uses = *group->field("children")->as<std::vector<NodePtr>>();
  ASSERT_EQ(uses.size(), 2u);
  u->editField("scale")->data = Vec3f{3, 3, 3};
  EXPECT_EQ(vec3(*uses[0], "scale"), (Vec3f{3, 3, 3}));
  EXPECT_EQ(vec3(*uses[1], "translation"), (Vec3f{4, 0, 0}));
}

TEST(NodeValues, AnEditedValueStaysPutAcrossLaterEdits) {
  Scene scene = parsed("DEF M Material { diffuseColor 0.5 0.5 0.5 }");
  NodePtr m = scene.names.at("M");
  // Taken for editing: the node holds every member from here on.
  FieldValue* diffuse = m->editField("diffuseColor");
  const FieldValue* shininess = &m->value(memberIndex(*m, "shininess"));
  m->editField("emissiveColor")->data = Vec3f{0, 1, 0};
  m->editField("transparency")->data = 0.5f;
  m->editValue(memberIndex(*m, "shininess")).data = 0.75f;
  diffuse->data = Vec3f{1, 0, 0};
  EXPECT_EQ(*shininess->as<float>(), 0.75f);
  EXPECT_EQ(vec3(*m, "diffuseColor"), (Vec3f{1, 0, 0}));
  EXPECT_EQ(vec3(*m, "emissiveColor"), (Vec3f{0, 1, 0}));
  EXPECT_EQ(*m->field("ambientIntensity")->as<float>(), 0.2f);
}

TEST(NodeValues, DefNamesAreHeldAsTextAndCopiedWithTheirNodes) {
  NodeName none;
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(none.view(), "");
  const std::string text = std::string(300, 'n') + "_end";
  NodeName name(text);
  EXPECT_EQ(name.size(), 304u);
  NodeName copy = name;
  EXPECT_EQ(copy, name);
  EXPECT_TRUE(copy.view().ends_with("_end"));
  copy = std::string_view("other");
  EXPECT_EQ(copy, std::string_view("other"));
  EXPECT_EQ(name.size(), 304u);  // a copy owns its text
  NodeName moved = std::move(copy);
  EXPECT_EQ("DEF " + moved + " Group", "DEF other Group");
  moved = std::string_view();
  EXPECT_TRUE(moved.empty());

  Scene scene = parsed("PROTO P [] { DEF Inner Group {} } DEF Outer P {}");
  NodePtr body = scene.names.at("Outer")->extras().protoBody.at(0);
  EXPECT_EQ(body->name, std::string_view("Inner"));
  EXPECT_EQ(scene.names.at("Outer")->name.str(), "Outer");
}

}  // namespace
}  // namespace kestrel
