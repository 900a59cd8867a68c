// Drawing the bound Background before the shapes: the sky and ground
// gradient spheres around the viewer, which turn with the view (and the
// Background's own transform) but never come nearer. One full-screen
// triangle; each pixel finds its view direction and its band colour. The
// six panorama images (front -Z, back +Z, left -X, right +X, top +Y,
// bottom -Y, each seen from inside the cube) lie over the bands, blended
// by their alpha; they are read once per Background node until clear().
//
// Needs a current OpenGL 3.3 context from the first draw() to destruction,
// on the thread that made it.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "viewer/browser/node.h"
#include "viewer/browser/render/core/camera.h"
#include "viewer/browser/render/gl/gl_renderer.h"

namespace kestrel {

class BackgroundPass {
 public:
  BackgroundPass() = default;
  ~BackgroundPass();
  BackgroundPass(const BackgroundPass&) = delete;
  BackgroundPass& operator=(const BackgroundPass&) = delete;

  // Fills the bound framebuffer's viewport with BOUND's Background (black
  // when none) as CAM sees it. Panorama URLs resolve through RESOLVER;
  // images that cannot be read are told in PROBLEMS. Writes no depth and
  // leaves depth testing, face culling and blending off, the depth mask on.
  void draw(const Bindings& bound, const Camera& cam, const TextureResolver& resolver,
            std::vector<std::string>& problems);
  // Drops the panorama textures.
  void clear();

 private:
  struct Faces {
    unsigned texture[6] = {};  // 0: no image for that side
    bool any() const {
      for (unsigned t : texture)
        if (t) return true;
      return false;
    }
  };
  // Builds the program the first time a Background needs it (one of a
  // single colour never does: a clear draws it); false, with the
  // compiler's complaint added to PROBLEMS once, when it cannot.
  bool ensureProgram(std::vector<std::string>& problems);
  const Faces& facesFor(const Node& background, const std::string& dir,
                        const TextureResolver& resolver, std::vector<std::string>& problems);

  unsigned program_ = 0, vao_ = 0;
  bool failed_ = false;
  std::unordered_map<const Node*, Faces> faces_;
};

}  // namespace kestrel
