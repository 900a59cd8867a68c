// Field values keep value semantics although SFString and SFImage live on
// the heap, a node's values keep their order as they grow, and a node's
// out-of-line state belongs to that node alone.
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

TEST(FieldValues, NodeValuesKeepTheirOrderAsTheyGrow) {
  FieldValues values;
  EXPECT_TRUE(values.empty());
  for (int i = 0; i < 40; ++i) {
    FieldValue v = FieldValue::zeroOf(FieldType::SFInt32);
    *v.as<int32_t>() = i;
    values.push_back(v);
    EXPECT_EQ(*values.back().as<int32_t>(), i);
  }
  values.push_back(stringValue("last"));
  values.reserve(100);  // moving to more room keeps every value
  ASSERT_EQ(values.size(), 41u);
  for (size_t i = 0; i < 40; ++i) EXPECT_EQ(*values[i].as<int32_t>(), static_cast<int32_t>(i));
  EXPECT_EQ(*values[40].as<std::string>(), "last");
  int expected = 39;
  for (auto v = values.rbegin() + 1; v != values.rend(); ++v) {
    EXPECT_EQ(*v->as<int32_t>(), expected--);
  }
  EXPECT_EQ(expected, -1);

  FieldValues moved = std::move(values);
  EXPECT_EQ(moved.size(), 41u);
  EXPECT_EQ(*moved[40].as<std::string>(), "last");
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
