// One frame of a scene rendered off screen (EGL, no display needed) and
// written as a PNG file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "viewer/browser/render/gl/image_io.h"
#include "viewer/browser/scene.h"
#include "viewer/browser/vrml_browser.h"

namespace kestrel {

// Renders the browser's scene (or SCENE) from its bound or the default
// viewpoint into a WIDTH x HEIGHT PNG at PNGPATH; movies show the browser's
// frame for its clock (for SCENE their first frame). Returns 0 on success;
// otherwise 1 and ERROR (when not null) says why. Texture URLs resolve
// with RENDERROOT as the browser's resolver does. Call on the thread that
// owns the browser; it makes and drops its own OpenGL context.
int renderSnapshot(CVrmlBrowser& browser, int width, int height, const std::string& pngPath,
                   std::string* error);
int renderSnapshot(const Scene& scene, int width, int height, const std::string& pngPath,
                   std::string* error, const std::string& renderRoot = {});
// Renders FRAMES frames (at least one) with one context and renderer, each
// read back and written to PNGPATH, as a viewer writing a snapshot every
// frame would; for timing the whole pipeline. Returns as renderSnapshot.
int renderSnapshotFrames(const Scene& scene, int width, int height, const std::string& pngPath,
                         int frames, std::string* error, const std::string& renderRoot = {});
// The same frame as pixels, for callers that want no file.
bool renderImage(const Scene& scene, int width, int height, RgbaImage& image,
                 std::string* error, const std::string& renderRoot = {});

class EglContext;
class GlRenderer;
struct FramePrefetch;

// The work of BROWSER's next frame that needs no OpenGL (FramePrefetch in
// gl_renderer.h), done while a FrameRendererStart is still making the
// renderer; given to FrameRenderer::adopt. Texture URLs resolve with
// RENDERROOT. Moves nothing in the scene.
struct FrameAhead {
  FrameAhead();
  FrameAhead(FrameAhead&&) noexcept;
  FrameAhead& operator=(FrameAhead&&) noexcept;
  ~FrameAhead();
  const CVrmlBrowser* browser = nullptr;
  uint64_t geometry = 0;  // the browser's geometry changes it was made at
  std::unique_ptr<FramePrefetch> work;
};
FrameAhead prepareFrameAhead(CVrmlBrowser& browser, int width, int height,
                             const std::string& renderRoot);

// Frames of a changing scene one after another (the frames of a video), with
// one context and renderer for all: meshes and textures are kept while the
// scene's geometry stays as it was. Thread of the browser only; it makes its
// context current for each frame, so several can take turns on one thread.
class FrameRenderer {
 public:
  // Null with the reason in *ERROR when no context can be made. Texture
  // URLs resolve with RENDERROOT as the browser's resolver does.
  static std::unique_ptr<FrameRenderer> create(const std::string& renderRoot,
                                               std::string* error);
  ~FrameRenderer();
  FrameRenderer(const FrameRenderer&) = delete;
  FrameRenderer& operator=(const FrameRenderer&) = delete;

  // Renders BROWSER's scene as it is now from its bound or the default
  // viewpoint into IMAGE (WIDTH x HEIGHT, top row first); movies show the
  // frames for BROWSER's clock.
  bool render(CVrmlBrowser& browser, int width, int height, RgbaImage& image,
              std::string* error);
  // Renders as render() does and writes the image to PNGPATH; returns as
  // renderSnapshot.
  int writeSnapshot(CVrmlBrowser& browser, int width, int height, const std::string& pngPath,
                    std::string* error);
  // The next render() of AHEAD's browser uses its work, unless that
  // browser's geometry has changed since.
  void adopt(FrameAhead ahead);

 private:
  friend class FrameRendererStart;
  FrameRenderer() = default;
  std::unique_ptr<EglContext> context_;
  std::unique_ptr<GlRenderer> renderer_;
  const CVrmlBrowser* browser_ = nullptr;
  uint64_t geometrySeen_ = 0;
  FrameAhead ahead_;
};

// A FrameRenderer made on a thread of its own: loading the OpenGL driver
// and compiling the programs take longer than reading most scenes, so a
// program that renders one frame of a file starts this first and reads
// the file meanwhile. The context is handed over to the thread that takes
// the renderer (it is current on one thread at a time). One not taken is
// dropped with the start.
class FrameRendererStart {
 public:
  explicit FrameRendererStart(std::string renderRoot);
  ~FrameRendererStart();
  FrameRendererStart(const FrameRendererStart&) = delete;
  FrameRendererStart& operator=(const FrameRendererStart&) = delete;

  // Waits for the renderer and makes its context current on the calling
  // thread; null with the reason in *ERROR when none could be made (or it
  // was taken before).
  std::unique_ptr<FrameRenderer> take(std::string* error);

 private:
  // What the thread makes; declared before the thread, so that they exist
  // before it starts.
  std::unique_ptr<FrameRenderer> made_;
  std::string error_;
  std::thread thread_;
};

}  // namespace kestrel
