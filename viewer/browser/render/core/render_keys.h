// The members of built-in node types that the renderer reads, each found
// by name once (at first use) instead of at every read: traversal and
// drawing look at every shape of the scene every frame.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "viewer/browser/node_type.h"

namespace kestrel {

// One set for each light type; members a type lacks have index -1.
struct LightKeys {
  MemberKey on, color, intensity, ambientIntensity, direction, location, attenuation, radius,
      beamWidth, cutOffAngle;
};

// ImageTexture, MovieTexture and PixelTexture; url or image is absent in some.
struct TextureKeys {
  MemberKey url, image, repeatS, repeatT;
};

struct RenderKeys {
  struct {
    MemberKey translation, rotation, scale, scaleOrientation, center, children;
  } transform;
  MemberKey groupChildren, anchorChildren, collisionChildren;
  struct {
    MemberKey children, axisOfRotation;
  } billboard;
  struct {
    MemberKey choice, whichChoice;
  } switchNode;
  struct {
    MemberKey level, range, center;
  } lod;
  struct {
    MemberKey appearance, geometry;
  } shape;
  struct {
    MemberKey material, texture, textureTransform;
  } appearance;
  struct {
    MemberKey diffuseColor, specularColor, emissiveColor, ambientIntensity, shininess,
        transparency;
  } material;
  struct {
    MemberKey center, scale, translation, rotation;
  } textureTransform;
  LightKeys directionalLight, pointLight, spotLight;
  TextureKeys imageTexture, movieTexture, pixelTexture;
  struct {
    MemberKey fieldOfView, position, orientation, jump;
  } viewpoint;
  struct {
    MemberKey avatarSize, visibilityLimit, headlight, type, speed;
  } navigationInfo;
  struct {
    MemberKey visibilityRange, color, fogType;
  } fog;
  struct {
    MemberKey skyColor, skyAngle, groundColor, groundAngle;
    std::array<MemberKey, 6> sideUrls;  // front, back, left, right, top, bottom
  } background;

  // "Type.member" for each member above that the type table lacks, apart
  // from the light and texture members some of those types do not have.
  std::vector<std::string> unresolved;

  // The keys for a light or texture node of KIND (SpotLight's or
  // PixelTexture's for any other kind).
  const LightKeys& light(NodeKind kind) const;
  const TextureKeys& texture(NodeKind kind) const;
};

const RenderKeys& renderKeys();

}  // namespace kestrel
