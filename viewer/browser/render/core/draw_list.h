// What one frame draws, gathered from the scene graph: shapes with their
// world matrix, material, texture and lights, the lights themselves and the
// bound Viewpoint, Background, Fog and NavigationInfo. Plain data; built by
// collectDrawList (traversal.h), drawn by GlRenderer.
//
// Node pointers point into the scene the list was made from; the list is
// valid only while that scene is alive and unchanged.
#pragma once

#include <string>
#include <vector>

#include "viewer/browser/node.h"
#include "viewer/browser/render/core/math3d.h"

namespace kestrel {

struct Light {
  enum class Kind { Directional, Point, Spot } kind = Kind::Directional;
  Vec3f color{1, 1, 1};
  float intensity = 1, ambientIntensity = 0;
  Vec3f location;                // world
  Vec3f direction{0, 0, -1};     // world, unit
  Vec3f attenuation{1, 0, 0};
  float radius = 100, beamWidth = 1.570796f, cutOffAngle = 0.785398f;
};

struct MaterialInfo {
  bool lit = false;  // false: no Material node, the shape is drawn unlit
  Vec3f diffuse{0.8f, 0.8f, 0.8f};
  Vec3f specular{0, 0, 0};
  Vec3f emissive{0, 0, 0};
  float ambientIntensity = 0.2f, shininess = 0.2f, transparency = 0;
};

struct DrawItem {
  Mat4 model;
  const Node* geometry = nullptr;
  MaterialInfo material;
  const Node* texture = nullptr;  // ImageTexture, PixelTexture or MovieTexture, or null
  std::string baseDir;            // where the texture's relative URL resolves
  Mat4 textureMatrix;             // applied to (s, t, 0, 1)
  std::vector<int> lights;        // indices into DrawList::lights
  bool transparent = false;
  float depth = 0;                // eye-space distance used for sorting
};

struct Bindings {
  const Node* viewpoint = nullptr;
  Mat4 viewpointMatrix;
  const Node* background = nullptr;
  Mat4 backgroundMatrix;  // only its rotation turns the sky
  std::string backgroundDir;  // where its panorama URLs resolve
  const Node* fog = nullptr;
  Mat4 fogMatrix;
  const Node* navigationInfo = nullptr;
};

// A Sound node where the scene places it.
struct PlacedSound {
  const Node* sound = nullptr;
  Mat4 model;
  std::string baseDir;  // where its AudioClip's relative URL resolves
};

struct DrawList {
  std::vector<DrawItem> items;
  std::vector<Light> lights;
  Bindings bound;
  std::vector<PlacedSound> sounds;
};

}  // namespace kestrel
