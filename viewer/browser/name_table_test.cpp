#include "viewer/browser/name_table.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "viewer/browser/node.h"

namespace kestrel {
namespace {

NodePtr group() { return Node::create(findStandardType("Group")); }

TEST(NameTable, FindsEveryNameAfterGrowingAndLatestWins) {
  NameTable table;
  EXPECT_EQ(table.find("x"), nullptr);
  std::vector<NodePtr> nodes;
  for (int i = 0; i < 5000; ++i) {
    nodes.push_back(group());
    table.assign("n" + std::to_string(i), nodes.back());
  }
  EXPECT_EQ(table.size(), 5000u);
  for (int i = 0; i < 5000; ++i) EXPECT_EQ(table.find("n" + std::to_string(i)), nodes[i]);
  EXPECT_EQ(table.find("n5000"), nullptr);
  NodePtr later = group();
  table.assign("n7", later);
  EXPECT_EQ(table.size(), 5000u);
  EXPECT_EQ(table.find("n7"), later);
  size_t visited = 0;
  table.forEach([&visited](std::string_view, const NodePtr&) { ++visited; });
  EXPECT_EQ(visited, 5000u);
  table.clear();
  EXPECT_TRUE(table.empty());
  EXPECT_EQ(table.find("n1"), nullptr);
}

// The usual entry is a node under its own DEF name, kept without a copy of
// the name; a node may also be listed under another name, or one under
// both, and replacing a name's node switches between the two kinds.
TEST(NameTable, NodesUnderTheirOwnNamesAndOthers) {
  NameTable table;
  std::vector<NodePtr> nodes;
  for (int i = 0; i < 3000; ++i) {
    nodes.push_back(group());
    nodes.back()->name = "own" + std::to_string(i);
    table.assign("own" + std::to_string(i), nodes.back());
    if (i % 3 == 0) table.assign("alias" + std::to_string(i), nodes.back());
  }
  EXPECT_EQ(table.size(), 4000u);
  for (int i = 0; i < 3000; ++i) {
    ASSERT_EQ(table.find("own" + std::to_string(i)), nodes[i]);
    EXPECT_EQ(table.find("alias" + std::to_string(i)), i % 3 == 0 ? nodes[i] : nullptr);
  }
  table.assign("own5", nodes[6]);    // another node under a node's own name
  table.assign("alias3", nodes[4]);  // and back from an alias to...
  NodePtr named = group();
  named->name = "alias6";
  table.assign("alias6", named);     // ...a node under its own name
  EXPECT_EQ(table.find("own5"), nodes[6]);
  EXPECT_EQ(table.find("own6"), nodes[6]);
  EXPECT_EQ(table.find("alias3"), nodes[4]);
  EXPECT_EQ(table.find("alias6"), named);
  std::map<std::string, NodePtr> seen;
  table.forEach([&](std::string_view name, const NodePtr& node) { seen[std::string(name)] = node; });
  EXPECT_EQ(seen.size(), 4000u);
  EXPECT_EQ(seen["own5"], nodes[6]);
  EXPECT_EQ(seen["alias6"], named);
}

TEST(NameTable, EmptyNamesAndNullNodes) {
  NameTable table;
  table.assign("a", nullptr);  // ignored
  EXPECT_TRUE(table.empty());
  NodePtr n = group();
  table.assign("", n);
  EXPECT_EQ(table.find(""), n);
  table.reserve(1000);
  EXPECT_EQ(table.find(""), n);
  EXPECT_EQ(table.count("b"), 0u);
}

}  // namespace
}  // namespace kestrel
