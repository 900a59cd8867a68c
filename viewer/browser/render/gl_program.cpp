#include "viewer/browser/render/gl_program.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include "viewer/browser/render/shaders.h"

namespace kestrel {
namespace {

GLuint compile(GLenum kind, const char* source, std::string* error) {
  GLuint s = glCreateShader(kind);
  glShaderSource(s, 1, &source, nullptr);
  glCompileShader(s);
  GLint ok = 0;
  glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[2048] = {};
    glGetShaderInfoLog(s, sizeof log, nullptr, log);
    if (error) *error = std::string("shader: ") + log;
    glDeleteShader(s);
    return 0;
  }
  return s;
}

}  // namespace

GlProgram::~GlProgram() {
  if (id_) glDeleteProgram(id_);
}

bool GlProgram::build(std::string* error) {
  GLuint vs = compile(GL_VERTEX_SHADER, kVertexShader, error);
  if (!vs) return false;
  GLuint fs = compile(GL_FRAGMENT_SHADER, kFragmentShader, error);
  if (!fs) {
    glDeleteShader(vs);
    return false;
  }
  id_ = glCreateProgram();
  glAttachShader(id_, vs);
  glAttachShader(id_, fs);
  glLinkProgram(id_);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = 0;
  glGetProgramiv(id_, GL_LINK_STATUS, &ok);
  if (!ok) {
    char log[2048] = {};
    glGetProgramInfoLog(id_, sizeof log, nullptr, log);
    if (error) *error = std::string("program: ") + log;
    return false;
  }
  return true;
}

void GlProgram::use() const { glUseProgram(id_); }
int GlProgram::location(const char* name) const { return glGetUniformLocation(id_, name); }
void GlProgram::set(const char* name, int v) const { glUniform1i(location(name), v); }
void GlProgram::set(const char* name, float v) const { glUniform1f(location(name), v); }
void GlProgram::set(const char* name, Vec3f v) const { glUniform3f(location(name), v.x, v.y, v.z); }
void GlProgram::set(const char* name, const Mat4& m) const {
  glUniformMatrix4fv(location(name), 1, GL_FALSE, m.m.data());
}

void GlProgram::setNormalMatrix(const Mat4& modelView) const {
  Mat4 n = modelView.inverse().transposed();
  float m3[9];
  for (int c = 0; c < 3; ++c)
    for (int r = 0; r < 3; ++r) m3[c * 3 + r] = n.at(r, c);
  glUniformMatrix3fv(location("uNormalMat"), 1, GL_FALSE, m3);
}

}  // namespace kestrel
