// GLSL 3.30 sources of the one program that draws every shape: per-pixel
// VRML97 lighting (ambient, diffuse, specular per light; emissive; spot
// cones; attenuation), textures, vertex colours, fog.
#pragma once

namespace kestrel {

constexpr int kMaxLights = 8;
extern const char* const kVertexShader;
extern const char* const kFragmentShader;

}  // namespace kestrel
