// The lights and per-frame uniforms of ShapeDrawer.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include "viewer/browser/render/gl/gl_program.h"
#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/render_keys.h"
#include "viewer/browser/render/gl/shape_drawer.h"

namespace kestrel {

void ShapeDrawer::LightArrays::add(const Light& l) {
  size_t i = static_cast<size_t>(count++);
  kind[i] = static_cast<int>(l.kind);
  positional = positional || l.kind != Light::Kind::Directional;
  auto put = [i](std::array<float, kMaxLights * 3>& a, Vec3f v) {
    a[i * 3] = v.x, a[i * 3 + 1] = v.y, a[i * 3 + 2] = v.z;
  };
  put(color, l.color);
  put(pos, l.location);
  put(dir, l.direction);
  put(att, l.attenuation);
  intensity[i] = l.intensity;
  ambient[i] = l.ambientIntensity;
  radius[i] = l.radius;
  beam[i] = l.beamWidth;
  cut[i] = l.cutOffAngle;
}

int ShapeDrawer::lightSetOf(const DrawItem& item, const DrawList& list, const Camera& cam) {
  for (size_t i = lightSetSources_.size(); i-- > 0;)
    if (*lightSetSources_[i] == item.lights) return static_cast<int>(i);
  LightArrays a;
  if (cam.headlight) a.add(Light{});  // along the view, in eye space already
  for (int i : item.lights) {
    if (a.count >= kMaxLights) break;
    Light l = list.lights[size_t(i)];
    l.location = cam.view.transformPoint(l.location);
    l.direction = normalized(cam.view.transformDir(l.direction));
    a.add(l);
  }
  lightSets_.push_back(a);
  lightSetSources_.push_back(&item.lights);
  return static_cast<int>(lightSets_.size() - 1);
}

void ShapeDrawer::uploadLights(GlProgram& p, int lightSet) {
  const LightArrays& a = lightSets_[size_t(lightSet)];
  const GLsizei n = a.count;  // the variant was built for this many
  if (n == 0) return;
  glUniform1iv(p.location(Uniform::LightKind), n, a.kind.data());
  glUniform3fv(p.location(Uniform::LightColor), n, a.color.data());
  glUniform3fv(p.location(Uniform::LightPos), n, a.pos.data());
  glUniform3fv(p.location(Uniform::LightDir), n, a.dir.data());
  glUniform3fv(p.location(Uniform::LightAtt), n, a.att.data());
  glUniform1fv(p.location(Uniform::LightI), n, a.intensity.data());
  glUniform1fv(p.location(Uniform::LightAmb), n, a.ambient.data());
  glUniform1fv(p.location(Uniform::LightRadius), n, a.radius.data());
  glUniform1fv(p.location(Uniform::LightBeam), n, a.beam.data());
  glUniform1fv(p.location(Uniform::LightCut), n, a.cut.data());
}

void ShapeDrawer::setFrameUniforms(GlProgram& p, const DrawList& list, const Camera& cam) {
  p.set(Uniform::Proj, cam.projection);
  if (!(p.features() & kShaderFog)) return;
  int type = 0;
  float range = 0;
  Vec3f color{1, 1, 1};
  if (const Node* fog = list.bound.fog) {
    const auto& k = renderKeys().fog;
    range = fieldOr(*fog, k.visibilityRange, 0.0f);
    // The range scales with the fog's transform.
    range *= length(list.bound.fogMatrix.transformDir({1, 0, 0}));
    color = fieldOr(*fog, k.color, color);
    type = fieldOr(*fog, k.fogType, std::string("LINEAR")) == "EXPONENTIAL" ? 2 : 1;
  }
  p.set(Uniform::FogType, range > 0 ? type : 0);
  p.set(Uniform::FogColor, color);
  p.set(Uniform::FogRange, range);
}

}  // namespace kestrel
