#include "viewer/browser/render/gl/snapshot.h"

#include <algorithm>

#include "viewer/browser/render/gl/egl_context.h"
#include "viewer/browser/render/gl/gl_renderer.h"
#include "viewer/browser/render/core/camera.h"
#include "viewer/browser/url_resolver.h"

namespace kestrel {

namespace {

// The viewer stands at the bound viewpoint: the sensors that watch it
// answer before the frame is drawn.
void placeViewerAtBoundViewpoint(CVrmlBrowser& browser, int width, int height) {
  const BoundNodes bound = browser.boundNodes();
  const Bindings bindings = findBindings(browser.scene().rootNodes(), &bound);
  browser.viewerMoved(viewerPose(boundEyeToWorld(bindings), boundFieldOfView(bindings), bindings,
                                 width, height));
}

// Renders FRAMES frames into IMAGE, each written to PNGPATH unless it is empty.
bool renderFrames(const Scene& scene, int width, int height, RgbaImage& image, int frames,
                  const std::string& pngPath, std::string* error, const std::string& renderRoot) {
  std::unique_ptr<EglContext> context = EglContext::create(error);
  if (!context) return false;
  bool ok;
  {
    GlRenderer renderer;  // its GL objects go before the context does
    UrlResolver resolver(renderRoot);
    renderer.setResolver([&](const std::string& url, const std::string& dir, std::string& path) {
      return resolver.resolve(url, dir, path);
    });
    ok = renderer.init(error);
    for (int i = 0; ok && i < std::max(frames, 1); ++i)
      ok = renderer.render(scene.rootNodes(), scene.baseDir, width, height, image, error) &&
           (pngPath.empty() || writePng(pngPath, image, error));
  }
  return ok;
}

}  // namespace

bool renderImage(const Scene& scene, int width, int height, RgbaImage& image,
                 std::string* error, const std::string& renderRoot) {
  return renderFrames(scene, width, height, image, 1, {}, error, renderRoot);
}

int renderSnapshotFrames(const Scene& scene, int width, int height, const std::string& pngPath,
                         int frames, std::string* error, const std::string& renderRoot) {
  if (pngPath.empty()) {
    if (error) *error = "no output file";
    return 1;
  }
  RgbaImage image;
  return renderFrames(scene, width, height, image, frames, pngPath, error, renderRoot) ? 0 : 1;
}

int renderSnapshot(const Scene& scene, int width, int height, const std::string& pngPath,
                   std::string* error, const std::string& renderRoot) {
  RgbaImage image;
  if (!renderImage(scene, width, height, image, error, renderRoot)) return 1;
  return writePng(pngPath, image, error) ? 0 : 1;
}

std::unique_ptr<FrameRenderer> FrameRenderer::create(const std::string& renderRoot,
                                                     std::string* error) {
  std::unique_ptr<FrameRenderer> frames(new FrameRenderer);
  frames->context_ = EglContext::create(error);
  if (!frames->context_) return nullptr;
  frames->renderer_ = std::make_unique<GlRenderer>();
  auto resolver = std::make_shared<UrlResolver>(renderRoot);
  frames->renderer_->setResolver(
      [resolver](const std::string& url, const std::string& dir, std::string& path) {
        return resolver->resolve(url, dir, path);
      });
  if (!frames->renderer_->init(error)) return nullptr;
  return frames;
}

FrameRenderer::~FrameRenderer() {
  // Its GL objects go before the context does, with that context current
  // (another renderer's may be).
  if (context_) context_->makeCurrent();
  renderer_.reset();
}

bool FrameRenderer::render(CVrmlBrowser& browser, int width, int height, RgbaImage& image,
                           std::string* error) {
  if (!context_->makeCurrent()) {  // another renderer's may be current
    if (error) *error = "cannot make the OpenGL context current";
    return false;
  }
  // Cached meshes belong to nodes of one scene; after a change of geometry
  // (or for another browser) their memory may have been reused.
  const uint64_t geometry = browser.changes().geometry;
  if (&browser != browser_ || geometry != geometrySeen_) renderer_->clearCaches();
  if (&browser != browser_) {  // its bound nodes; movies at its clock's frames
    const CVrmlBrowser* clock = &browser;
    renderer_->setBindingSource([clock] { return clock->boundNodes(); });
    renderer_->setMediaPositions([clock](const Node& clip) { return clock->mediaPosition(clip); });
  }
  placeViewerAtBoundViewpoint(browser, width, height);
  if (ahead_.work && ahead_.browser == &browser && ahead_.geometry == browser.changes().geometry)
    renderer_->adoptPrefetch(std::move(*ahead_.work));
  ahead_ = {};
  browser_ = &browser;
  geometrySeen_ = geometry;
  const Scene& scene = browser.scene();
  return renderer_->render(scene.rootNodes(), scene.baseDir, width, height, image, error);
}

FrameAhead::FrameAhead() = default;
FrameAhead::FrameAhead(FrameAhead&&) noexcept = default;
FrameAhead& FrameAhead::operator=(FrameAhead&&) noexcept = default;
FrameAhead::~FrameAhead() = default;

FrameAhead prepareFrameAhead(CVrmlBrowser& browser, int width, int height,
                             const std::string& renderRoot) {
  FrameAhead ahead;
  ahead.browser = &browser;
  ahead.geometry = browser.changes().geometry;
  const BoundNodes bound = browser.boundNodes();
  UrlResolver resolver(renderRoot);
  ahead.work = std::make_unique<FramePrefetch>(prefetchFrame(
      browser.scene().rootNodes(), browser.scene().baseDir, width, height, &bound,
      [&](const std::string& url, const std::string& dir, std::string& path) {
        return resolver.resolve(url, dir, path);
      }));
  return ahead;
}

void FrameRenderer::adopt(FrameAhead ahead) { ahead_ = std::move(ahead); }

int FrameRenderer::writeSnapshot(CVrmlBrowser& browser, int width, int height,
                                 const std::string& pngPath, std::string* error) {
  RgbaImage image;
  if (!render(browser, width, height, image, error)) return 1;
  return writePng(pngPath, image, error) ? 0 : 1;
}

int renderSnapshot(CVrmlBrowser& browser, int width, int height, const std::string& pngPath,
                   std::string* error) {
  std::unique_ptr<FrameRenderer> frames = FrameRenderer::create({}, error);
  if (!frames) return 1;
  return frames->writeSnapshot(browser, width, height, pngPath, error);
}

FrameRendererStart::FrameRendererStart(std::string renderRoot)
    : thread_([this, root = std::move(renderRoot)] {
        made_ = FrameRenderer::create(root, &error_);
        if (made_ && !made_->context_->release()) {
          made_.reset();
          error_ = "cannot hand the OpenGL context over";
        }
      }) {}

FrameRendererStart::~FrameRendererStart() {
  if (thread_.joinable()) thread_.join();
}

std::unique_ptr<FrameRenderer> FrameRendererStart::take(std::string* error) {
  if (thread_.joinable()) thread_.join();
  if (made_ && !made_->context_->makeCurrent()) {
    made_.reset();
    error_ = "cannot make the OpenGL context current";
  }
  if (!made_ && error) *error = error_.empty() ? "the renderer was taken before" : error_;
  return std::move(made_);
}

}  // namespace kestrel
