#include "viewer/browser/render/shaders.h"

namespace kestrel {

const char* const kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 aPos;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec3 aColor;
layout(location = 3) in vec2 aTex;
uniform mat4 uModelView;
uniform mat4 uProj;
uniform mat3 uNormalMat;
uniform mat4 uTexMat;
out vec3 vPos;
out vec3 vNormal;
out vec3 vColor;
out vec2 vTex;
void main() {
  vec4 p = uModelView * vec4(aPos, 1.0);
  vPos = p.xyz;
  vNormal = uNormalMat * aNormal;
  vColor = aColor;
  vTex = (uTexMat * vec4(aTex, 0.0, 1.0)).xy;
  gl_Position = uProj * p;
  gl_PointSize = 2.0;
}
)";

const char* const kFragmentShader = R"(#version 330 core
in vec3 vPos;
in vec3 vNormal;
in vec3 vColor;
in vec2 vTex;
out vec4 fragColor;
uniform int uLit;
uniform int uHasColor;
uniform int uHasTex;
uniform int uTexComps;
uniform sampler2D uTex;
uniform vec3 uDiffuse;
uniform vec3 uSpecular;
uniform vec3 uEmissive;
uniform float uAmbient;
uniform float uShininess;
uniform float uAlpha;
uniform int uNumLights;
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
  vec3 base = uHasColor == 1 ? vColor : uDiffuse;
  float alpha = uAlpha;
  if (uHasTex == 1) {
    vec4 t = texture(uTex, vTex);
    if (uTexComps >= 3) base = t.rgb; else base *= t.r;
    alpha *= t.a;
  }
  vec3 color = base;
  if (uLit == 1) {
    vec3 n = normalize(vNormal);
    if (!gl_FrontFacing) n = -n;
    vec3 v = normalize(-vPos);
    color = uEmissive;
    for (int i = 0; i < uNumLights; ++i) {
      vec3 l;
      float attn = 1.0;
      float spot = 1.0;
      if (uLightKind[i] == 0) {
        l = -uLightDir[i];
      } else {
        vec3 d = uLightPos[i] - vPos;
        float dist = length(d);
        if (dist > uLightRadius[i]) continue;
        l = d / max(dist, 1e-6);
        vec3 a = uLightAtt[i];
        attn = 1.0 / max(a.x + a.y * dist + a.z * dist * dist, 1.0);
        if (uLightKind[i] == 2) {
          float angle = acos(clamp(dot(-l, uLightDir[i]), -1.0, 1.0));
          if (angle >= uLightCut[i]) continue;
          if (angle > uLightBeam[i])
            spot = (uLightCut[i] - angle) / max(uLightCut[i] - uLightBeam[i], 1e-6);
        }
      }
      vec3 ambient = uLightAmb[i] * uLightColor[i] * base * uAmbient;
      float ndl = max(dot(n, l), 0.0);
      float spec = 0.0;
      if (ndl > 0.0) spec = pow(max(dot(n, normalize(l + v)), 0.0), max(uShininess * 128.0, 1.0));
      color += attn * spot * (ambient + uLightI[i] * uLightColor[i] * (base * ndl + uSpecular * spec));
    }
  }
  if (uFogType != 0 && uFogRange > 0.0) {
    float dist = length(vPos);
    float f = uFogType == 1 ? clamp((uFogRange - dist) / uFogRange, 0.0, 1.0)
                            : (dist < uFogRange ? exp(-dist / (uFogRange - dist)) : 0.0);
    color = mix(uFogColor, color, f);
  }
  fragColor = vec4(clamp(color, 0.0, 1.0), alpha);
}
)";

}  // namespace kestrel
