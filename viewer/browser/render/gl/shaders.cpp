#include "viewer/browser/render/gl/shaders.h"

#include <algorithm>

namespace kestrel {
namespace {

const char* const kVertexBody = R"(
layout(location = 0) in vec3 aPos;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec3 aColor;
layout(location = 3) in vec2 aTex;
#if SINGLE
uniform vec4 uInstance[9];
#define iModelView0 uInstance[0]
#define iModelView1 uInstance[1]
#define iModelView2 uInstance[2]
#define iModelView3 uInstance[3]
#define iDiffuse uInstance[4]
#define iSpecular uInstance[5]
#define iEmissive uInstance[6]
#define iTexRow0 uInstance[7].xyz
#define iTexRow1 uInstance[8].xyz
#else
layout(location = 4) in vec4 iModelView0;
layout(location = 5) in vec4 iModelView1;
layout(location = 6) in vec4 iModelView2;
layout(location = 7) in vec4 iModelView3;
layout(location = 8) in vec4 iDiffuse;
layout(location = 9) in vec4 iSpecular;
layout(location = 10) in vec4 iEmissive;
layout(location = 11) in vec3 iTexRow0;
layout(location = 12) in vec3 iTexRow1;
#endif
uniform mat4 uProj;
out vec3 vPos;
out vec3 vNormal;
out vec3 vColor;
out vec2 vTex;
flat out vec4 vDiffuse;
flat out vec4 vSpecular;
flat out vec4 vEmissive;
#if VERTEX_LIT
uniform vec3 uLightColor[8];
uniform vec3 uLightDir[8];
uniform float uLightI[8];
uniform float uLightAmb[8];
out vec3 vFront;
out vec3 vBack;
#endif
void main() {
  mat4 mv = mat4(iModelView0, iModelView1, iModelView2, iModelView3);
  vec4 p = mv * vec4(aPos, 1.0);
  vPos = p.xyz;
#if LIT && RIGID
  // Rotation and uniform scale: the inverse transpose is the matrix itself
  // up to a positive scale.
  vNormal = mat3(mv) * aNormal;
#elif LIT
  // The inverse transpose up to a positive scale: the cofactor matrix.
  mat3 m = mat3(mv);
  mat3 cof = mat3(cross(m[1], m[2]), cross(m[2], m[0]), cross(m[0], m[1]));
  vNormal = (dot(m[0], cof[0]) < 0.0 ? -1.0 : 1.0) * (cof * aNormal);
#else
  vNormal = aNormal;
#endif
#if VERTEX_LIT
  vec3 n = normalize(vNormal);
  vFront = vec3(0.0);
  vBack = vec3(0.0);
  for (int i = 0; i < NUM_LIGHTS; ++i) {
    vec3 ambient = uLightAmb[i] * uLightColor[i] * iEmissive.a;
    vec3 direct = uLightI[i] * uLightColor[i];
    float ndl = dot(n, -uLightDir[i]);
    vFront += ambient + direct * max(ndl, 0.0);
    vBack += ambient + direct * max(-ndl, 0.0);
  }
#endif
  vColor = aColor;
  vec3 st = vec3(aTex, 1.0);
  vTex = vec2(dot(iTexRow0, st), dot(iTexRow1, st));
  vDiffuse = iDiffuse;
  vSpecular = iSpecular;
  vEmissive = iEmissive;
  gl_Position = uProj * p;
  gl_PointSize = 2.0;
}
)";

const char* const kFragmentBody = R"(
in vec3 vPos;
in vec3 vNormal;
in vec3 vColor;
in vec2 vTex;
flat in vec4 vDiffuse;
flat in vec4 vSpecular;
flat in vec4 vEmissive;
#if VERTEX_LIT
in vec3 vFront;
in vec3 vBack;
#endif
out vec4 fragColor;
uniform int uTexComps;
// Texels less opaque than this are not drawn (cut-out textures).
uniform float uAlphaCut;
uniform sampler2D uTex;
uniform int uLightKind[8];
uniform vec3 uLightColor[8];
uniform vec3 uLightPos[8];
uniform vec3 uLightDir[8];
uniform vec3 uLightAtt[8];
uniform float uLightI[8];
uniform float uLightAmb[8];
uniform float uLightRadius[8];
uniform float uLightBeam[8];
uniform float uLightCut[8];
uniform int uFogType;
uniform vec3 uFogColor;
uniform float uFogRange;
void main() {
#if VERTEX_COLOR
  vec3 base = vColor;
#else
  vec3 base = vDiffuse.rgb;
#endif
  float alpha = vDiffuse.a;
#if TEXTURE
  vec4 t = texture(uTex, vTex);
  if (t.a < uAlphaCut) discard;
  if (uTexComps >= 3) base = t.rgb; else base *= t.r;
  // A texture with alpha (2 or 4 components) sets the opacity itself: its
  // alpha replaces the material's 1 - transparency.
  if (uTexComps == 2 || uTexComps == 4) alpha = t.a;
#endif
  vec3 color = base;
#if VERTEX_LIT
  color = vEmissive.rgb + base * (gl_FrontFacing ? vFront : vBack);
#elif LIT
  vec3 n = normalize(vNormal);
  if (!gl_FrontFacing) n = -n;
#if SPECULAR
  vec3 v = normalize(-vPos);
  float exponent = max(vSpecular.a * 128.0, 1.0);
#endif
  float ambientIntensity = vEmissive.a;
  color = vEmissive.rgb;
  for (int i = 0; i < NUM_LIGHTS; ++i) {
    vec3 l = -uLightDir[i];
    float factor = 1.0;
#if POSITIONAL
    if (uLightKind[i] != 0) {
      vec3 d = uLightPos[i] - vPos;
      float dist = length(d);
      if (dist > uLightRadius[i]) continue;
      l = d / max(dist, 1e-6);
      vec3 a = uLightAtt[i];
      factor = 1.0 / max(a.x + a.y * dist + a.z * dist * dist, 1.0);
      if (uLightKind[i] == 2) {
        float angle = acos(clamp(dot(-l, uLightDir[i]), -1.0, 1.0));
        if (angle >= uLightCut[i]) continue;
        if (angle > uLightBeam[i])
          factor *= (uLightCut[i] - angle) / max(uLightCut[i] - uLightBeam[i], 1e-6);
      }
    }
#endif
    vec3 ambient = uLightAmb[i] * uLightColor[i] * base * ambientIntensity;
    float ndl = max(dot(n, l), 0.0);
    vec3 lit = base * ndl;
#if SPECULAR
    if (ndl > 0.0) lit += vSpecular.rgb * pow(max(dot(n, normalize(l + v)), 0.0), exponent);
#endif
    color += factor * (ambient + uLightI[i] * uLightColor[i] * lit);
  }
#endif
#if FOG
  if (uFogRange > 0.0) {
    float dist = length(vPos);
    float f = uFogType == 1 ? clamp((uFogRange - dist) / uFogRange, 0.0, 1.0)
                            : (dist < uFogRange ? exp(-dist / (uFogRange - dist)) : 0.0);
    color = mix(uFogColor, color, f);
  }
#endif
  fragColor = vec4(clamp(color, 0.0, 1.0), alpha);
}
)";

std::string header(unsigned f) {
  const unsigned lights = std::min<unsigned>(shaderLightCount(f), kMaxLights);
  auto flag = [&](const char* name, unsigned bit) {
    return std::string("#define ") + name + ((f & bit) ? " 1\n" : " 0\n");
  };
  return "#version 330 core\n" + flag("LIT", kShaderLit) +
         flag("VERTEX_COLOR", kShaderVertexColor) + flag("TEXTURE", kShaderTexture) +
         flag("FOG", kShaderFog) + flag("SPECULAR", kShaderSpecular) +
         flag("POSITIONAL", kShaderPositional) + flag("VERTEX_LIT", kShaderVertexLit) + flag("RIGID", kShaderRigid) +
         flag("SINGLE", kShaderSingle) + "#define NUM_LIGHTS " + std::to_string(lights) + "\n";
}

}  // namespace

std::string vertexShaderSource(unsigned features) { return header(features) + kVertexBody; }
std::string fragmentShaderSource(unsigned features) { return header(features) + kFragmentBody; }

}  // namespace kestrel
