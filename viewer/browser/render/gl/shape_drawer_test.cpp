// The lighting of every program variant against the VRML97 equations, and
// shapes that share a mesh drawn in one call each with its own values.
#include <gtest/gtest.h>

#include "viewer/browser/render/gl/egl_context.h"
#include "viewer/browser/render/gl/gl_renderer.h"
#include "viewer/browser/render/core/test_scene.h"

namespace kestrel {
namespace {

constexpr int kSize = 64;

struct Frame {
  RgbaImage image;
  size_t drawCalls = 0;
  int r(int x, int y) const { return image.at(x, y)[0]; }
  int g(int x, int y) const { return image.at(x, y)[1]; }
  int b(int x, int y) const { return image.at(x, y)[2]; }
};

Frame draw(const std::string& text) {
  Frame f;
  std::string error;
  auto context = EglContext::create(&error);
  EXPECT_TRUE(context) << error;
  if (!context) return f;
  Scene scene = parseScene(text);
  GlRenderer r;
  EXPECT_TRUE(r.init(&error)) << error;
  EXPECT_TRUE(r.render(scene.rootNodes(), {}, kSize, kSize, f.image, &error)) << error;
  f.drawCalls = r.lastDrawCalls();
  if (f.image.width != kSize) f.image.pixels.assign(size_t(kSize * kSize * 4), 0);
  f.image.width = f.image.height = kSize;
  return f;
}

// Light 0.5 from the viewer with ambient 0.4 on a material of ambient 0.5:
// 0.4 * 0.5 * base + 0.5 * base * N.L = 0.7 * base where the face looks at us.
const std::string kLight =
    "NavigationInfo { headlight FALSE } "
    "DirectionalLight { direction 0 0 -1 intensity 0.5 ambientIntensity 0.4 } ";
const std::string kOrange = "material Material { diffuseColor 1 0.5 0 ambientIntensity 0.5 ";

void expectSeventyPercentOrange(const Frame& f) {
  EXPECT_NEAR(f.r(kSize / 2, kSize / 2), 178, 2);
  EXPECT_NEAR(f.g(kSize / 2, kSize / 2), 89, 2);
  EXPECT_NEAR(f.b(kSize / 2, kSize / 2), 0, 1);
}

TEST(ShapeLighting, FacetedBoxFollowsTheLightingEquation) {
  expectSeventyPercentOrange(draw(kLight + "Shape { appearance Appearance { " + kOrange +
                                  "} } geometry Box {} }"));
}

TEST(ShapeLighting, BackOfATwoSidedFaceIsLitLikeItsFront) {
  // Wound clockwise as seen from the viewer: its back faces us.
  expectSeventyPercentOrange(draw(
      kLight + "Shape { appearance Appearance { " + kOrange + "} } geometry IndexedFaceSet {"
      " coord Coordinate { point [-1 -1 0, -1 1 0, 1 1 0, 1 -1 0] } coordIndex [0 1 2 3]"
      " solid FALSE } }"));
}

TEST(ShapeLighting, SmoothSphereFacingTheLightMatchesAtItsCentre) {
  expectSeventyPercentOrange(draw(kLight + "Shape { appearance Appearance { " + kOrange +
                                  "} } geometry Sphere {} }"));
}

TEST(ShapeLighting, SpecularHighlightAddsTheSpecularColour) {
  Frame f = draw(kLight + "Shape { appearance Appearance { " + kOrange +
                 "specularColor 1 1 1 } } geometry Box {} }");
  // 0.7 * base + 0.5 * specular * (N.H)^s with N.H = 1 at the centre.
  EXPECT_EQ(f.r(kSize / 2, kSize / 2), 255);
  EXPECT_NEAR(f.g(kSize / 2, kSize / 2), 217, 3);
  EXPECT_NEAR(f.b(kSize / 2, kSize / 2), 128, 3);
}

TEST(ShapeLighting, EmissiveColourAddsToTheLight) {
  Frame f = draw(kLight + "Shape { appearance Appearance { " + kOrange +
                 "emissiveColor 0 0 0.25 } } geometry Box {} }");
  EXPECT_NEAR(f.r(kSize / 2, kSize / 2), 178, 2);
  EXPECT_NEAR(f.b(kSize / 2, kSize / 2), 64, 2);
}

TEST(ShapeLighting, PointLightOnAFacetedBoxIsLitPerPixel) {
  // A point light close in front: the face is brightest right under it.
  Frame f = draw("NavigationInfo { headlight FALSE } PointLight { location 0 0 1.5 } "
                 "Shape { appearance Appearance { material Material { diffuseColor 1 1 1"
                 " ambientIntensity 0 } } geometry Box {} }");
  int centre = f.r(kSize / 2, kSize / 2);
  EXPECT_GT(centre, 240);
  EXPECT_LT(f.r(kSize / 2 + 12, kSize / 2), centre - 20);
}

TEST(ShapeLighting, NormalsFollowANonUniformScaleAsTheInverseTranspose) {
  // Turned 45 degrees, then stretched fourfold along Z: both faces seen
  // from the front lean away from the light, N.L = 0.243 (62 of 255);
  // normals carried by the matrix itself would give 0.97.
  std::string box = "Shape { appearance Appearance { material Material { diffuseColor 1 1 1"
                    " ambientIntensity 0 } } geometry Box {} }";
  std::string light = "NavigationInfo { headlight FALSE } DirectionalLight { direction 0 0 -1 } ";
  Frame f = draw(light + "Transform { scale 1 1 4 children Transform { rotation 0 1 0 0.7854"
                 " children " + box + " } }");
  EXPECT_NEAR(f.r(kSize / 2 - 6, kSize / 2), 62, 3);
  EXPECT_NEAR(f.r(kSize / 2 + 6, kSize / 2), 62, 3);
  // Turned and scaled evenly, the same box shows N.L = cos 45 degrees.
  Frame even = draw(light + "Transform { scale 2 2 2 children Transform { rotation 0 1 0 0.7854"
                    " children " + box + " } }");
  EXPECT_NEAR(even.r(kSize / 2 - 6, kSize / 2), 180, 3);
}

TEST(ShapeBatches, BoxesSharingAMeshDrawInOneCallWithTheirOwnColours) {
  std::string s = "Viewpoint { position 0 0 12 } ";
  const char* colours[] = {"1 0 0", "0 1 0", "0 0 1"};
  for (int i = 0; i < 3; ++i)
    s += "Transform { translation " + std::to_string(3 * (i - 1)) +
         " 0 0 children Shape { appearance Appearance { material Material { diffuseColor 0 0 0"
         " emissiveColor " + colours[i] + " } } geometry Box {} } } ";
  Frame f = draw(s);
  EXPECT_EQ(f.drawCalls, 1u);
  // The boxes' centres lie at x = 32 - 16, 32, 32 + 16 in a 64-pixel image.
  EXPECT_GT(f.r(16, 32), 240);
  EXPECT_LT(f.g(16, 32), 10);
  EXPECT_GT(f.g(32, 32), 240);
  EXPECT_LT(f.b(32, 32), 10);
  EXPECT_GT(f.b(48, 32), 240);
  EXPECT_LT(f.r(48, 32), 10);
}

TEST(ShapeBatches, TexturedAndPlainShapesDrawApart) {
  Frame f = draw("Shape { appearance Appearance { texture PixelTexture { image 1 1 3 0x00FF00 } }"
                 " geometry Box {} } Transform { translation 3 0 0 children Shape {"
                 " geometry Box {} } }");
  EXPECT_EQ(f.drawCalls, 2u);
  EXPECT_GT(f.g(kSize / 2, kSize / 2), 250);
  EXPECT_LT(f.r(kSize / 2, kSize / 2), 5);
}

}  // namespace
}  // namespace kestrel
