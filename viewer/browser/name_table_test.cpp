#include "viewer/browser/name_table.h"

#include <gtest/gtest.h>

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
