// Snapshots of a browser's scene show its bound nodes: the Background and
// Viewpoint on top of the binding stacks, and a heads-up display that a
// ProximitySensor keeps in front of the viewpoint.
#include <gtest/gtest.h>

#include <filesystem>

#include "viewer/browser/render/gl/image_io.h"
#include "viewer/browser/render/gl/snapshot.h"
#include "viewer/browser/vrml_browser.h"

namespace kestrel {
namespace {

constexpr const char* kWorld = R"(
DEF SKY1 Background { skyColor 0 0 1 }
DEF SKY2 Background { skyColor 1 0 0 }
DEF HOME Viewpoint { position 0 0 10 }
DEF SIDE Viewpoint { position 30 0 10 }
Transform { translation 30 0 0 children Shape {
  appearance Appearance { material Material { emissiveColor 0 1 0 diffuseColor 0 0 0 } }
  geometry Sphere { radius 2 } } }
)";

void append(CVrmlBrowser& b, const std::string& text) {
  VrmlContent content;
  ASSERT_TRUE(b.createFromString(text, content)) << b.lastError().text();
  ASSERT_TRUE(b.appendToRoot(content));
}

void bind(CVrmlBrowser& b, const char* name) {
  NodeHandle node;
  FieldHandle setBind;
  ASSERT_TRUE(b.findNode(name, node));
  ASSERT_TRUE(b.field(node, "set_bind", setBind));
  ASSERT_TRUE(setBind.set(FieldValue{FieldType::SFBool, true}));
}

RgbaImage snapshot(CVrmlBrowser& b) {
  auto path = std::filesystem::temp_directory_path() /
              ("kestrel_bound_" + std::to_string(::getpid()) + ".png");
  std::string error;
  RgbaImage image;
  EXPECT_EQ(renderSnapshot(b, 64, 64, path.string(), &error), 0) << error;
  EXPECT_TRUE(readImageFile(path.string(), image, &error)) << error;
  std::filesystem::remove(path);
  if (image.width != 64) image.pixels.assign(64 * 64 * 4, 0), image.width = image.height = 64;
  return image;
}

TEST(BoundRender, SnapshotsShowTheBoundBackgroundAndViewpoint) {
  CVrmlBrowser b;
  append(b, kWorld);
  RgbaImage first = snapshot(b);
  EXPECT_EQ(first.at(2, 2)[2], 255);   // the first sky: blue
  EXPECT_LT(first.at(32, 32)[1], 100);  // nothing green ahead
  bind(b, "SKY2");
  bind(b, "SIDE");
  RgbaImage bound = snapshot(b);
  EXPECT_EQ(bound.at(2, 2)[0], 255);    // the second sky: red
  EXPECT_GT(bound.at(32, 32)[1], 200);  // the green sphere straight ahead
}

TEST(BoundRender, AHeadsUpDisplayFollowsTheBoundViewpoint) {
  CVrmlBrowser b;
  append(b, std::string(kWorld) + R"(
DEF NEAR ProximitySensor { size 1000 1000 1000 }
DEF HUD Transform { children Transform { translation 0 0 -3 children Shape {
  appearance Appearance { material Material { emissiveColor 1 1 0 diffuseColor 0 0 0 } }
  geometry Box { size 0.5 0.5 0.5 } } } }
ROUTE NEAR.position_changed TO HUD.set_translation
ROUTE NEAR.orientation_changed TO HUD.set_rotation
)");
  bind(b, "SIDE");
  RgbaImage image = snapshot(b);
  // Yellow in the middle: the box came along to the side viewpoint.
  EXPECT_GT(image.at(32, 32)[0], 200);
  EXPECT_GT(image.at(32, 32)[1], 200);
  EXPECT_LT(image.at(32, 32)[2], 60);
}

}  // namespace
}  // namespace kestrel
