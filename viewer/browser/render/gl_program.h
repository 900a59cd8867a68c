// The compiled shader program and its uniform locations. Needs a current
// OpenGL 3.3 context.
#pragma once

#include <string>

#include "viewer/browser/render/draw_list.h"

namespace kestrel {

class GlProgram {
 public:
  ~GlProgram();
  bool build(std::string* error);
  void use() const;
  int location(const char* name) const;
  void set(const char* name, int v) const;
  void set(const char* name, float v) const;
  void set(const char* name, Vec3f v) const;
  void set(const char* name, const Mat4& m) const;
  // The upper 3x3 of the inverse transpose of MODELVIEW.
  void setNormalMatrix(const Mat4& modelView) const;

 private:
  unsigned id_ = 0;
};

}  // namespace kestrel
