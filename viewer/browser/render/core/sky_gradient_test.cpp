#include "viewer/browser/render/core/sky_gradient.h"

#include <gtest/gtest.h>

#include <cmath>

#include "viewer/browser/render/core/test_scene.h"

namespace kestrel {
namespace {

SkyGradient gradientOf(const std::string& text) {
  static std::vector<Scene> keep;  // the nodes must outlive the gradient's reading
  keep.push_back(parseScene(text));
  return skyGradientOf(keep.back().rootNodes().at(0).get());
}

void expectColor(Vec3f c, float r, float g, float b) {
  EXPECT_NEAR(c.x, r, 1e-3);
  EXPECT_NEAR(c.y, g, 1e-3);
  EXPECT_NEAR(c.z, b, 1e-3);
}

Vec3f at(const SkyGradient& g, float fromTop) {
  return skyColorAt(g, {std::sin(fromTop), std::cos(fromTop), 0});
}

TEST(SkyGradient, NoBackgroundIsABlackSky) {
  SkyGradient g = skyGradientOf(nullptr);
  expectColor(skyColorAt(g, {0, 1, 0}), 0, 0, 0);
  expectColor(skyColorAt(g, {0, -1, 0}), 0, 0, 0);
}

TEST(SkyGradient, OneSkyColourFillsTheWholeSphere) {
  SkyGradient g = gradientOf("Background { skyColor 0 0 1 }");
  for (Vec3f d : {Vec3f{0, 1, 0}, Vec3f{1, 0, 0}, Vec3f{0, -1, 0}, Vec3f{0, 0, -3}})
    expectColor(skyColorAt(g, d), 0, 0, 1);
}

TEST(SkyGradient, SkyBlendsBetweenItsAngles) {
  SkyGradient g = gradientOf("Background { skyColor [1 0 0, 0 1 0, 0 0 1] skyAngle [1, 2] }");
  expectColor(at(g, 0), 1, 0, 0);
  expectColor(at(g, 0.5f), 0.5f, 0.5f, 0);
  expectColor(at(g, 1), 0, 1, 0);
  expectColor(at(g, 1.5f), 0, 0.5f, 0.5f);
  expectColor(at(g, 2.5f), 0, 0, 1);  // past the last angle: the last colour
}

TEST(SkyGradient, GroundCoversUpToItsLastAngleAndTheSkyShowsAbove) {
  SkyGradient g = gradientOf(
      "Background { skyColor 0 0 1 groundColor [0 1 0, 1 1 0] groundAngle [1.2] }");
  expectColor(skyColorAt(g, {0, -1, 0}), 0, 1, 0);
  expectColor(at(g, float(M_PI) - 0.6f), 0.5f, 1, 0);
  expectColor(at(g, float(M_PI) - 1.3f), 0, 0, 1);  // beyond the ground
  expectColor(skyColorAt(g, {1, 0, 0}), 0, 0, 1);
}

TEST(SkyGradient, LoneGroundColourIsAPlainGroundUpToTheHorizon) {
  SkyGradient g = gradientOf("Background { skyColor 0 0 1 groundColor 0 1 0 }");
  expectColor(skyColorAt(g, {1, -0.01f, 0}), 0, 1, 0);
  expectColor(skyColorAt(g, {1, 0.01f, 0}), 0, 0, 1);
}

TEST(SkyGradient, MalformedAnglesAreTidied) {
  // Too many angles, one decreasing, one out of range, colours too many.
  SkyGradient g = gradientOf(
      "Background { skyColor [1 1 1, 0 0 0, 1 0 0] skyAngle [2, 1, 9, 3] "
      "groundColor [0 1 0, 0 0 1] groundAngle [7] }");
  ASSERT_EQ(g.skyAngles.size(), 2u);
  EXPECT_FLOAT_EQ(g.skyAngles[0], 2);
  EXPECT_FLOAT_EQ(g.skyAngles[1], 2);
  ASSERT_EQ(g.groundAngles.size(), 1u);
  EXPECT_NEAR(g.groundAngles[0], M_PI / 2, 1e-6);
  expectColor(at(g, 1), 0.5f, 0.5f, 0.5f);
  float t = (float(M_PI) - 2.5f) / float(M_PI / 2);
  expectColor(at(g, 2.5f), 0, 1 - t, t);  // the ground, its angle clamped to the horizon
  expectColor(skyColorAt(g, {0, 0, 0}), 1, 1, 1);  // no direction: looks up
}

}  // namespace
}  // namespace kestrel
