// Draws a scene graph with OpenGL 3.3 core into an off-screen framebuffer.
//
// Needs a current OpenGL 3.3 context (EglContext, or a window's) for its
// whole life, on the thread that made it. Meshes and textures are cached
// by node and kept until clearCaches(): call it when geometry or texture
// nodes change or the scene is replaced. Geometry nodes with identical
// tessellations share one mesh. A frame allocates nothing once the
// buffers have grown to the scene.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "viewer/browser/render/core/camera.h"
#include "viewer/browser/render/core/mesh.h"
#include "viewer/browser/render/gl/gpu_texture.h"
#include "viewer/browser/render/gl/image_io.h"
#include "viewer/browser/scene.h"

namespace kestrel {

// The camera of a frame from the bound nodes, the frame's size and the
// sphere around what it draws (cameraFor has this shape).
using CameraSource = std::function<Camera(const Bindings& bound, int width, int height,
                                          Vec3f sceneCentre, float sceneRadius)>;

// The work of a frame that needs no OpenGL context, done ahead of it
// (while a context is being made): the drawn geometry tessellated and the
// texture image files read.
struct FramePrefetch {
  std::unordered_map<const Node*, Mesh> meshes;  // by geometry node
  DecodedImages images;                          // by file path
};

// The prefetch for the frame render() would draw of ROOTS from the bound
// (or default) viewpoint, bound nodes from BOUND when given, texture URLs
// resolved by RESOLVER. Valid while the nodes stay as they are.
FramePrefetch prefetchFrame(const std::vector<NodePtr>& roots, const std::string& baseDir,
                            int width, int height, const BoundNodes* bound,
                            const TextureResolver& resolver);

class GlRenderer {
 public:
  GlRenderer();
  ~GlRenderer();
  GlRenderer(const GlRenderer&) = delete;
  GlRenderer& operator=(const GlRenderer&) = delete;

  // Compiles the program; false with ERROR filled when it cannot.
  bool init(std::string* error);
  void setResolver(TextureResolver resolver) { resolver_ = std::move(resolver); }
  // Where the bound Viewpoint, Background, Fog and NavigationInfo come
  // from (a browser's binding stacks); without it, the first of each kind.
  void setBindingSource(std::function<BoundNodes()> source) { bindings_ = std::move(source); }
  // Where each MovieTexture is in its movie (the browser's clock); without
  // it movies show their first frame.
  void setMediaPositions(MediaPositions positions);

  // Draws ROOTS from the bound (or default) viewpoint into a WIDTH x HEIGHT
  // image. BASEDIR: where the roots' relative texture URLs resolve.
  bool render(const std::vector<NodePtr>& roots, const std::string& baseDir, int width,
              int height, RgbaImage& out, std::string* error);
  // As above, with CAMERA placing the eye instead of the bound viewpoint.
  bool render(const std::vector<NodePtr>& roots, const std::string& baseDir, int width,
              int height, const CameraSource& camera, RgbaImage& out, std::string* error);
  // Draws ROOTS into the framebuffer object FRAMEBUFFER (a window's; 0 for
  // the default one) of WIDTH x HEIGHT pixels as CAMERA sees them, and
  // reads nothing back. FRAMEBUFFER stays bound.
  bool drawInto(unsigned framebuffer, const std::vector<NodePtr>& roots,
                const std::string& baseDir, int width, int height, const CameraSource& camera,
                std::string* error);
  void clearCaches();
  // Uses AHEAD (of the nodes as they are now) instead of doing that work
  // again in the next frame; clearCaches() drops what it did not use.
  void adoptPrefetch(FramePrefetch ahead);

  // Texture files that could not be read in the last frames.
  const std::vector<std::string>& textureProblems() const { return textureProblems_; }
  // Draw calls of the last frame, and distinct meshes held (for tests and benchmarks).
  size_t lastDrawCalls() const;
  size_t meshCount() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  TextureResolver resolver_;
  std::function<BoundNodes()> bindings_;
  std::vector<std::string> textureProblems_;
};

}  // namespace kestrel
