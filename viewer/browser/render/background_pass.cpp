#include "viewer/browser/render/background_pass.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <algorithm>
#include <string>

#include "viewer/browser/render/sky_gradient.h"

namespace kestrel {
namespace {

constexpr int kMaxBands = 16;  // colours per sphere the shader takes

const char* const kVertex = R"(#version 330 core
out vec2 vNdc;
void main() {
  // One triangle that covers the screen.
  vec2 p = vec2(gl_VertexID == 1 ? 3.0 : -1.0, gl_VertexID == 2 ? 3.0 : -1.0);
  vNdc = p;
  gl_Position = vec4(p, 0.0, 1.0);
}
)";

const char* const kFragment = R"(#version 330 core
in vec2 vNdc;
out vec4 fragColor;
uniform mat4 uClipToDir;
uniform int uSkyN;
uniform float uSkyAngle[16];
uniform vec3 uSkyColor[16];
uniform int uGroundN;
uniform float uGroundAngle[16];
uniform vec3 uGroundColor[16];
vec3 band(int n, float angles[16], vec3 colors[16], float a) {
  float from = 0.0;
  for (int i = 0; i + 1 < n; ++i) {
    if (a <= angles[i]) {
      float span = angles[i] - from;
      float t = span > 0.0 ? (a - from) / span : 1.0;
      return mix(colors[i], colors[i + 1], t);
    }
    from = angles[i];
  }
  return colors[n - 1];
}
void main() {
  vec4 far = uClipToDir * vec4(vNdc, 1.0, 1.0);
  vec4 near = uClipToDir * vec4(vNdc, -1.0, 1.0);
  vec3 dir = normalize(far.xyz / far.w - near.xyz / near.w);
  float fromTop = acos(clamp(dir.y, -1.0, 1.0));
  vec3 c = band(uSkyN, uSkyAngle, uSkyColor, fromTop);
  if (uGroundN > 0) {
    float fromBottom = 3.14159265 - fromTop;
    if (fromBottom <= uGroundAngle[uGroundN - 2])
      c = band(uGroundN, uGroundAngle, uGroundColor, fromBottom);
  }
  fragColor = vec4(c, 1.0);
}
)";

GLuint compile(GLenum kind, const char* source, std::string* error) {
  GLuint s = glCreateShader(kind);
  glShaderSource(s, 1, &source, nullptr);
  glCompileShader(s);
  GLint ok = 0;
  glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[2048] = {};
    glGetShaderInfoLog(s, sizeof log, nullptr, log);
    if (error) *error = std::string("background shader: ") + log;
    glDeleteShader(s);
    return 0;
  }
  return s;
}

// Only the rotation of M: its upper 3x3 with the columns made unit length.
Mat4 rotationOf(const Mat4& m) {
  Mat4 r;
  for (int c = 0; c < 3; ++c) {
    Vec3f col = normalized(Vec3f{m.at(0, c), m.at(1, c), m.at(2, c)});
    r.at(0, c) = col.x;
    r.at(1, c) = col.y;
    r.at(2, c) = col.z;
  }
  return r;
}

void setBands(GLuint program, const char* count, const char* angle, const char* color,
              const std::vector<float>& angles, const std::vector<Vec3f>& colors) {
  size_t n = std::min<size_t>(colors.size(), kMaxBands);
  glUniform1i(glGetUniformLocation(program, count), GLint(n));
  std::vector<float> a(kMaxBands, 0), c(size_t(kMaxBands) * 3, 0);
  for (size_t i = 0; i < n; ++i) {
    if (i < angles.size()) a[i] = angles[i];
    c[i * 3] = colors[i].x;
    c[i * 3 + 1] = colors[i].y;
    c[i * 3 + 2] = colors[i].z;
  }
  glUniform1fv(glGetUniformLocation(program, angle), kMaxBands, a.data());
  glUniform3fv(glGetUniformLocation(program, color), kMaxBands, c.data());
}

}  // namespace

BackgroundPass::~BackgroundPass() {
  if (program_) glDeleteProgram(program_);
  if (vao_) glDeleteVertexArrays(1, &vao_);
}

bool BackgroundPass::init(std::string* error) {
  GLuint vs = compile(GL_VERTEX_SHADER, kVertex, error);
  GLuint fs = vs ? compile(GL_FRAGMENT_SHADER, kFragment, error) : 0;
  if (!fs) {
    if (vs) glDeleteShader(vs);
    return false;
  }
  program_ = glCreateProgram();
  glAttachShader(program_, vs);
  glAttachShader(program_, fs);
  glLinkProgram(program_);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = 0;
  glGetProgramiv(program_, GL_LINK_STATUS, &ok);
  if (!ok) {
    if (error) *error = "background shader: link failed";
    glDeleteProgram(program_);
    program_ = 0;
    return false;
  }
  glGenVertexArrays(1, &vao_);
  return true;
}

void BackgroundPass::draw(const Node* background, const Mat4& backgroundMatrix,
                          const Camera& cam) {
  if (!program_) return;
  SkyGradient sky = skyGradientOf(background);
  // Clip space back to directions in the Background's frame, with every
  // translation dropped: the spheres stay centred on the viewer.
  Mat4 toClip = cam.projection * rotationOf(cam.view) * rotationOf(backgroundMatrix);
  glUseProgram(program_);
  glUniformMatrix4fv(glGetUniformLocation(program_, "uClipToDir"), 1, GL_FALSE,
                     toClip.inverse().m.data());
  setBands(program_, "uSkyN", "uSkyAngle", "uSkyColor", sky.skyAngles, sky.skyColors);
  setBands(program_, "uGroundN", "uGroundAngle", "uGroundColor", sky.groundAngles,
           sky.groundColors);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glDepthMask(GL_FALSE);
  glBindVertexArray(vao_);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  glBindVertexArray(0);
  glDepthMask(GL_TRUE);
}

}  // namespace kestrel
