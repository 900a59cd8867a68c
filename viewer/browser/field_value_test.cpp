// Field values keep value semantics although SFString and SFImage live on
// the heap, and a node's out-of-line state belongs to that node alone.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "viewer/browser/field_value.h"
#include "viewer/browser/node.h"

namespace kestrel {
namespace {

FieldValue stringValue(const std::string& text) {
  FieldValue v = FieldValue::zeroOf(FieldType::SFString);
  *v.as<std::string>() = text;
  return v;
}

TEST(FieldValues, HeapHeldValuesCopyCompareAndMoveLikeValues) {
  FieldValue a = stringValue("left");
  FieldValue b = a;
  *b.as<std::string>() = "right";
  EXPECT_EQ(*a.as<std::string>(), "left");  // the copy has its own text
  EXPECT_FALSE(sameValue(a, b));
  b = a;
  EXPECT_TRUE(sameValue(a, b));
  EXPECT_TRUE(sameValue(FieldValue::zeroOf(FieldType::SFString), stringValue("")));

  FieldValue moved = std::move(a);
  EXPECT_EQ(*moved.as<std::string>(), "left");
  FieldValue reused = std::move(b);
  b = stringValue("again");  // a moved-from value can be assigned and read
  EXPECT_EQ(*b.as<std::string>(), "again");
  EXPECT_EQ(*reused.as<std::string>(), "left");

  FieldValue image = FieldValue::zeroOf(FieldType::SFImage);
  EXPECT_EQ(image.as<Image>()->width, 0);
  EXPECT_EQ(image.as<std::string>(), nullptr);
  Image picture;
  picture.width = 2;
  picture.height = 1;
  picture.components = 1;
  picture.pixels = {7, 9};
  image.data = picture;
  FieldValue other = image;
  other.as<Image>()->pixels[1] = 8;
  EXPECT_EQ(image.as<Image>()->pixels[1], 9u);
  EXPECT_FALSE(sameValue(image, other));

  // Visitors see the held std::string, and the tag survives assignment.
  std::string seen;
  visitData(
      [&seen](const auto& d) {
        if constexpr (std::is_same_v<std::decay_t<decltype(d)>, std::string>) seen = d;
      },
      moved.data);
  EXPECT_EQ(seen, "left");
  EXPECT_EQ(moved.type, FieldType::SFString);
  FieldValue node = FieldValue::zeroOf(FieldType::MFNode);
  node = moved;
  EXPECT_EQ(node.type, FieldType::SFString);
}

TEST(FieldValues, NodeExtrasAreMadePerNode) {
  NodePtr sensor = Node::create(findStandardType("TimeSensor"));
  NodePtr other = Node::create(findStandardType("TimeSensor"));
  EXPECT_FALSE(sensor->extras().sensorActive);
  EXPECT_TRUE(sensor->extras().routes.empty());
  sensor->editExtras().sensorActive = true;
  sensor->editExtras().cycleStart = 4.5;
  sensor->editExtras().routes.push_back({0, other, 1});
  EXPECT_TRUE(sensor->extras().sensorActive);
  EXPECT_EQ(sensor->extras().cycleStart, 4.5);
  EXPECT_EQ(sensor->extras().routes.size(), 1u);
  EXPECT_FALSE(other->extras().sensorActive);  // nothing shared between nodes
  EXPECT_EQ(other->extras().cycleStart, 0.0);
  EXPECT_TRUE(other->extras().routes.empty());
  EXPECT_TRUE(Node::create(findStandardType("Group"))->extras().routes.empty());
}

}  // namespace
}  // namespace kestrel
