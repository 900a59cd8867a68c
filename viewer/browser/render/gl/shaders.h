// GLSL 3.30 sources of the programs that draw shapes: per-pixel VRML97
// lighting (ambient, diffuse, specular per light; emissive; spot cones;
// attenuation), textures, vertex colours, fog.
//
// One source, specialised by feature bits into variants, so a fragment
// pays only for what its shape uses (an unlit shape no lighting loop, a
// shape without specular colour no highlight, directional lights no
// distance or cone terms). Per-shape values come as per-instance vertex
// attributes, so shapes sharing a mesh draw in one instanced call.
#pragma once

#include <string>

namespace kestrel {

constexpr int kMaxLights = 8;

// Feature bits of a program variant.
enum ShaderFeature : unsigned {
  kShaderLit = 1,          // VRML97 lighting; otherwise the base colour as it is
  kShaderVertexColor = 2,  // base colour from the mesh's colours
  kShaderTexture = 4,      // modulated by the texture on unit 0
  kShaderFog = 8,          // fog by eye distance
  kShaderSpecular = 16,    // some specular colour: highlights are computed
  kShaderPositional = 32,  // point or spot lights among the lights
  // With kShaderLit, on a mesh of flat triangles (gpu_mesh.h) lit by
  // directional lights only and without specular colour: the light that
  // reaches a triangle is (nearly) the same all over it, so it is summed
  // per vertex for both sides and a fragment only multiplies its base colour.
  kShaderVertexLit = 64,
  // Every model matrix of the batch is a rotation with a uniform scale
  // (or a mirror): normals transform by the model-view matrix itself.
  kShaderRigid = 128,
  // A batch of one shape: its values come from a uniform array, so the
  // vertex stage does not fetch them once per vertex.
  kShaderSingle = 256,
};
// The number of lights a lit variant loops over is part of its key.
constexpr unsigned kShaderLightShift = 12;
inline unsigned shaderLightCount(unsigned features) { return features >> kShaderLightShift; }
inline unsigned withLightCount(unsigned features, int count) {
  return (features & ((1u << kShaderLightShift) - 1)) | (unsigned(count) << kShaderLightShift);
}

// Vertex attribute locations: mesh data, then per-instance data.
enum ShaderAttribute : unsigned {
  kAttrPosition = 0,
  kAttrNormal = 1,
  kAttrColor = 2,
  kAttrTexCoord = 3,
  kAttrModelView = 4,  // four columns: 4..7
  kAttrDiffuse = 8,    // rgb, alpha
  kAttrSpecular = 9,   // rgb, shininess
  kAttrEmissive = 10,  // rgb, ambientIntensity
  kAttrTexRow0 = 11,   // texture transform: s' = dot(row0, (s, t, 1))
  kAttrTexRow1 = 12,   // t' = dot(row1, (s, t, 1))
};
constexpr int kInstanceFloats = 16 + 4 + 4 + 4 + 3 + 3;
// The same values as the uniform array of a kShaderSingle variant (vec4s).
constexpr int kInstanceUniformVec4s = 9;

std::string vertexShaderSource(unsigned features);
std::string fragmentShaderSource(unsigned features);

}  // namespace kestrel
