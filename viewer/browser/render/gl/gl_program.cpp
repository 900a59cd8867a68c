#include "viewer/browser/render/gl/gl_program.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include "viewer/browser/render/gl/shaders.h"

namespace kestrel {
namespace {

GLuint compile(GLenum kind, const std::string& source, const std::string& what,
               std::string* error) {
  GLuint s = glCreateShader(kind);
  const char* text = source.c_str();
  glShaderSource(s, 1, &text, nullptr);
  glCompileShader(s);
  GLint ok = 0;
  glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[2048] = {};
    glGetShaderInfoLog(s, sizeof log, nullptr, log);
    if (error) *error = what + " shader: " + log;
    glDeleteShader(s);
    return 0;
  }
  return s;
}

// Array uniforms are looked up by their first element's name.
constexpr const char* kUniformNames[] = {
    "uProj",        "uTex",          "uTexComps",   "uNumLights",  "uLightKind[0]",
    "uLightColor[0]", "uLightPos[0]", "uLightDir[0]", "uLightAtt[0]", "uLightI[0]",
    "uLightAmb[0]", "uLightRadius[0]", "uLightBeam[0]", "uLightCut[0]", "uFogType",
    "uFogColor",    "uFogRange",    "uInstance[0]"};
static_assert(std::size(kUniformNames) == static_cast<size_t>(Uniform::Count));

}  // namespace

unsigned linkShaderProgram(const std::string& vertex, const std::string& fragment,
                           const std::string& what, std::string* error) {
  GLuint vs = compile(GL_VERTEX_SHADER, vertex, what, error);
  if (!vs) return 0;
  GLuint fs = compile(GL_FRAGMENT_SHADER, fragment, what, error);
  if (!fs) {
    glDeleteShader(vs);
    return 0;
  }
  GLuint id = glCreateProgram();
  glAttachShader(id, vs);
  glAttachShader(id, fs);
  glLinkProgram(id);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = 0;
  glGetProgramiv(id, GL_LINK_STATUS, &ok);
  if (!ok) {
    char log[2048] = {};
    glGetProgramInfoLog(id, sizeof log, nullptr, log);
    if (error) *error = what + " program: " + log;
    glDeleteProgram(id);
    return 0;
  }
  return id;
}

GlProgram::~GlProgram() {
  if (id_) glDeleteProgram(id_);
}

bool GlProgram::build(unsigned features, std::string* error) {
  GLuint id = linkShaderProgram(vertexShaderSource(features), fragmentShaderSource(features),
                                "scene", error);
  if (!id) return false;
  if (id_) glDeleteProgram(id_);
  id_ = id;
  features_ = features;
  for (size_t i = 0; i < locations_.size(); ++i)
    locations_[i] = glGetUniformLocation(id_, kUniformNames[i]);
  glUseProgram(id_);
  glUniform1i(location(Uniform::Tex), 0);
  return true;
}

void GlProgram::use() const { glUseProgram(id_); }
int GlProgram::location(const char* name) const { return glGetUniformLocation(id_, name); }
void GlProgram::set(Uniform u, int v) const { glUniform1i(location(u), v); }
void GlProgram::set(Uniform u, float v) const { glUniform1f(location(u), v); }
void GlProgram::set(Uniform u, Vec3f v) const { glUniform3f(location(u), v.x, v.y, v.z); }
void GlProgram::set(Uniform u, const Mat4& m) const {
  glUniformMatrix4fv(location(u), 1, GL_FALSE, m.m.data());
}

}  // namespace kestrel
