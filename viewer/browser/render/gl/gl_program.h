// One compiled shader program variant (see shaders.h) and its uniform
// locations, looked up once when it is built. Needs a current OpenGL 3.3
// context.
#pragma once

#include <array>
#include <string>

#include "viewer/browser/render/core/draw_list.h"

namespace kestrel {

// Compiles VERTEX and FRAGMENT and links them into a program; its id, or 0
// with the compiler's or linker's log, after WHAT, in *ERROR.
unsigned linkShaderProgram(const std::string& vertex, const std::string& fragment,
                           const std::string& what, std::string* error);

enum class Uniform {
  Proj, Tex, TexComps, NumLights, LightKind, LightColor, LightPos, LightDir, LightAtt,
  LightI, LightAmb, LightRadius, LightBeam, LightCut, FogType, FogColor, FogRange, Instance,
  Count
};

class GlProgram {
 public:
  GlProgram() = default;
  ~GlProgram();
  GlProgram(const GlProgram&) = delete;
  GlProgram& operator=(const GlProgram&) = delete;

  // Compiles and links the variant with FEATURES (ShaderFeature bits).
  bool build(unsigned features, std::string* error);
  bool build(std::string* error) { return build(kAllFeatures, error); }
  void use() const;
  unsigned features() const { return features_; }

  // -1 when the variant does not use U.
  int location(Uniform u) const { return locations_[static_cast<size_t>(u)]; }
  int location(const char* name) const;
  void set(Uniform u, int v) const;
  void set(Uniform u, float v) const;
  void set(Uniform u, Vec3f v) const;
  void set(Uniform u, const Mat4& m) const;

  // Every per-pixel feature with the most lights.
  static constexpr unsigned kAllFeatures = 63u | (8u << 12);

 private:
  unsigned id_ = 0;
  unsigned features_ = 0;
  std::array<int, static_cast<size_t>(Uniform::Count)> locations_{};
};

}  // namespace kestrel
