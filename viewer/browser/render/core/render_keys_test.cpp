// The members the renderer reads are found in the type table once, and a
// key reads only nodes of its own type.
#include "viewer/browser/render/core/render_keys.h"

#include <gtest/gtest.h>

#include "viewer/browser/parser.h"
#include "viewer/browser/render/core/node_fields.h"

namespace kestrel {
namespace {

TEST(RenderKeys, EveryMemberTheRendererReadsExists) {
  const RenderKeys& k = renderKeys();
  EXPECT_TRUE(k.unresolved.empty()) << k.unresolved.front();
  EXPECT_EQ(&renderKeys(), &k);  // found once
  // The light and texture types lack some members by design.
  EXPECT_GE(k.spotLight.cutOffAngle.index, 0);
  EXPECT_EQ(k.pointLight.cutOffAngle.index, -1);
  EXPECT_EQ(k.directionalLight.location.index, -1);
  EXPECT_GE(k.imageTexture.url.index, 0);
  EXPECT_EQ(k.imageTexture.image.index, -1);
  EXPECT_EQ(&k.light(NodeKind::PointLight), &k.pointLight);
  EXPECT_EQ(&k.texture(NodeKind::PixelTexture), &k.pixelTexture);
}

TEST(RenderKeys, KeysReadTheirOwnTypeAndFallBackOtherwise) {
  Scene scene;
  ParseError error;
  ParseOptions options;
  options.requireHeader = false;
  ASSERT_TRUE(parseVrml("DEF T Transform { translation 1 2 3 children Shape {} }\n"
                        "DEF L SpotLight { cutOffAngle 0.5 }  DEF P PointLight {}",
                        options, scene, error))
      << error.text();
  const RenderKeys& k = renderKeys();
  const Node& t = *scene.names.at("T");
  EXPECT_EQ(fieldOr(t, k.transform.translation, Vec3f{}), (Vec3f{1, 2, 3}));
  EXPECT_EQ(listOf<NodePtr>(t, k.transform.children).size(), 1u);
  // A Group's key on a Transform, and a member a type lacks: the fallback.
  EXPECT_TRUE(listOf<NodePtr>(t, k.groupChildren).empty());
  EXPECT_EQ(fieldOr(*scene.names.at("L"), k.spotLight.cutOffAngle, 0.0f), 0.5f);
  EXPECT_EQ(fieldOr(*scene.names.at("P"), k.pointLight.cutOffAngle, 7.0f), 7.0f);
  EXPECT_EQ(fieldOr(*scene.names.at("P"), k.spotLight.cutOffAngle, 7.0f), 7.0f);
}

}  // namespace
}  // namespace kestrel
