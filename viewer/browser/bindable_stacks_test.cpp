// The binding stacks, driven through the browser: what binds at load,
// set_bind TRUE and FALSE in every position, and bound nodes leaving the
// scene.
#include "viewer/browser/bindable_stacks.h"

#include <gtest/gtest.h>

#include "viewer/browser/browser_test_support.h"

namespace kestrel {
namespace {

using testing::append;
using testing::named;
using testing::read;

constexpr const char* kViews = R"(#VRML V2.0 utf8
DEF A Viewpoint { position 0 0 10 }
DEF B Viewpoint { position 0 0 20 }
DEF C Viewpoint { position 0 0 30 }
DEF BG Background { skyColor 0 0 1 }
DEF BG2 Background { skyColor 1 0 0 }
DEF F Fog { visibilityRange 30 }
DEF N NavigationInfo { type "WALK" }
DEF G Group { children DEF D Viewpoint { position 0 0 40 } }
DEF SEEN Collision { collide FALSE }
ROUTE A.isBound TO SEEN.set_collide
)";

bool bind(CVrmlBrowser& b, std::string_view name, bool value) {
  return testing::send(b, name, "set_bind", FieldType::SFBool, value);
}
bool bound(const CVrmlBrowser& b, std::string_view name) {
  return read<bool>(b, name, "isBound");
}
double bindTime(const CVrmlBrowser& b, std::string_view name) {
  return read<double>(b, name, "bindTime");
}
const Node* viewpoint(const CVrmlBrowser& b) { return b.boundNodes().viewpoint; }
const Node* node(const CVrmlBrowser& b, std::string_view name) {
  return named(b, name).node().get();
}

TEST(BindableStacks, FirstOfEachKindBindsAtLoadAndSetBindMovesNodesOnTheStack) {
  CVrmlBrowser b;
  b.advanceTime(1);
  append(b, kViews);
  // Load: the first of each kind, with its events.
  EXPECT_EQ(viewpoint(b), node(b, "A"));
  EXPECT_TRUE(bound(b, "A"));
  EXPECT_EQ(bindTime(b, "A"), 1);
  EXPECT_FALSE(bound(b, "B"));
  EXPECT_EQ(b.boundNodes().background, node(b, "BG"));
  EXPECT_EQ(b.boundNodes().fog, node(b, "F"));
  EXPECT_EQ(b.boundNodes().navigationInfo, node(b, "N"));
  EXPECT_TRUE(read<bool>(b, "SEEN", "collide"));  // isBound TRUE went along the route

  // Binding another: the old top hears FALSE, the new one TRUE and the time.
  b.advanceTime(2);
  ASSERT_TRUE(bind(b, "B", true));
  EXPECT_EQ(viewpoint(b), node(b, "B"));
  EXPECT_FALSE(bound(b, "A"));
  EXPECT_FALSE(read<bool>(b, "SEEN", "collide"));
  EXPECT_TRUE(bound(b, "B"));
  EXPECT_EQ(bindTime(b, "B"), 2);

  b.advanceTime(3);
  bind(b, "C", true);  // stack: A B C
  EXPECT_FALSE(bound(b, "B"));
  b.advanceTime(4);
  bind(b, "B", true);  // nested: B moves up from the middle: A C B
  EXPECT_EQ(viewpoint(b), node(b, "B"));
  EXPECT_FALSE(bound(b, "C"));
  EXPECT_EQ(bindTime(b, "B"), 4);
  b.advanceTime(5);
  bind(b, "B", true);  // the top again: nothing happens
  EXPECT_EQ(bindTime(b, "B"), 4);
  EXPECT_EQ(b.viewpointStack().size(), 3u);

  // Unbinding below the top takes the node off silently: A B.
  b.advanceTime(6);
  bind(b, "C", false);
  EXPECT_EQ(viewpoint(b), node(b, "B"));
  EXPECT_FALSE(bound(b, "C"));
  EXPECT_EQ(b.viewpointStack().size(), 2u);
  // Unbinding the top binds the next one down again.
  b.advanceTime(7);
  bind(b, "B", false);
  EXPECT_FALSE(bound(b, "B"));
  EXPECT_EQ(viewpoint(b), node(b, "A"));
  EXPECT_TRUE(bound(b, "A"));
  EXPECT_EQ(bindTime(b, "A"), 7);
  EXPECT_TRUE(read<bool>(b, "SEEN", "collide"));
  // A node not on the stack ignores set_bind FALSE.
  bind(b, "C", false);
  EXPECT_EQ(viewpoint(b), node(b, "A"));

  // The other kinds have stacks of their own.
  bind(b, "BG2", true);
  EXPECT_EQ(b.boundNodes().background, node(b, "BG2"));
  EXPECT_FALSE(bound(b, "BG"));
  EXPECT_EQ(viewpoint(b), node(b, "A"));
  bind(b, "F", false);
  EXPECT_EQ(b.boundNodes().fog, nullptr);
  EXPECT_FALSE(bound(b, "F"));

  // The last one off leaves nothing bound.
  bind(b, "A", false);
  EXPECT_EQ(viewpoint(b), nullptr);
  EXPECT_FALSE(bound(b, "A"));
}

TEST(BindableStacks, ABoundNodeThatLeavesTheSceneHandsOver) {
  CVrmlBrowser b;
  append(b, kViews);
  b.advanceTime(8);
  bind(b, "D", true);  // stack: A D
  EXPECT_EQ(viewpoint(b), node(b, "D"));
  NodeHandle d = named(b, "D");
  FieldHandle remove;
  ASSERT_TRUE(b.field(named(b, "G"), "removeChildren", remove));
  b.advanceTime(9);
  ASSERT_TRUE(remove.set(FieldValue{FieldType::MFNode, std::vector<NodePtr>{d.node()}}));
  EXPECT_EQ(viewpoint(b), node(b, "A"));
  EXPECT_TRUE(bound(b, "A"));
  EXPECT_EQ(bindTime(b, "A"), 9);
  EXPECT_FALSE(*d.node()->field("isBound")->as<bool>());
  EXPECT_EQ(b.viewpointStack().size(), 1u);

  // An emptied scene has nothing bound; new content binds its own first nodes.
  b.removeAllRoots();
  EXPECT_EQ(viewpoint(b), nullptr);
  EXPECT_EQ(b.boundNodes().background, nullptr);
  append(b, "DEF E Viewpoint {} DEF E2 Viewpoint {}");
  EXPECT_EQ(viewpoint(b), node(b, "E"));
  // Later content leaves a bound node bound.
  append(b, "DEF H Viewpoint {}");
  EXPECT_EQ(viewpoint(b), node(b, "E"));
  EXPECT_FALSE(bound(b, "H"));
}

TEST(BindableStacks, ProtoInstancesBindThroughTheirInterface) {
  CVrmlBrowser b;
  append(b, R"(PROTO View [ exposedField SFVec3f where 0 0 5 eventIn SFBool set_bind
                            eventOut SFBool isBound ]
               { Viewpoint { position IS where set_bind IS set_bind isBound IS isBound } }
               DEF P View { where 1 2 3 }
               DEF Q Viewpoint {})");
  const Node* body = named(b, "P").node()->extras().protoBody.front().get();
  EXPECT_EQ(viewpoint(b), body);
  bind(b, "Q", true);
  EXPECT_EQ(viewpoint(b), node(b, "Q"));
  bind(b, "P", true);  // through the instance's interface
  EXPECT_EQ(viewpoint(b), body);
  EXPECT_TRUE(bound(b, "P"));
}

}  // namespace
}  // namespace kestrel
