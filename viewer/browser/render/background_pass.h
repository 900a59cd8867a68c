// Drawing the bound Background before the shapes: the sky and ground
// gradient spheres around the viewer, which turn with the view (and the
// Background's own transform) but never come nearer. One full-screen
// triangle; each pixel finds its view direction and its band colour.
//
// Needs a current OpenGL 3.3 context from init() to destruction, on the
// thread that made it.
#pragma once

#include <string>

#include "viewer/browser/node.h"
#include "viewer/browser/render/camera.h"

namespace kestrel {

class BackgroundPass {
 public:
  BackgroundPass() = default;
  ~BackgroundPass();
  BackgroundPass(const BackgroundPass&) = delete;
  BackgroundPass& operator=(const BackgroundPass&) = delete;

  // Compiles the pass's program; false with ERROR filled when it cannot.
  bool init(std::string* error);
  // Fills the bound framebuffer's viewport with BACKGROUND (black when
  // null) as CAM sees it. Writes no depth and leaves depth testing, face
  // culling and blending off, the depth mask on.
  void draw(const Node* background, const Mat4& backgroundMatrix, const Camera& cam);

 private:
  unsigned program_ = 0, vao_ = 0;
};

}  // namespace kestrel
