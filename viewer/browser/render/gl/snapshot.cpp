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
// BROWSER, when given, names the bound nodes and places movies at its
// clock's positions.
bool renderFrames(const Scene& scene, int width, int height, RgbaImage& image, int frames,
                  const std::string& pngPath, std::string* error, const std::string& renderRoot,
                  const CVrmlBrowser* browser = nullptr) {
  std::unique_ptr<EglContext> context = EglContext::create(error);
  if (!context) return false;
  bool ok;
  {
    GlRenderer renderer;  // its GL objects go before the context does
    UrlResolver resolver(renderRoot);
    renderer.setResolver([&](const std::string& url, const std::string& dir, std::string& path) {
      return resolver.resolve(url, dir, path);
    });
    if (browser) {
      renderer.setBindingSource([browser] { return browser->boundNodes(); });
      renderer.setMediaPositions([browser](const Node& clip) { return browser->mediaPosition(clip); });
    }
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
  renderer_.reset();  // its GL objects go before the context does
}

bool FrameRenderer::render(CVrmlBrowser& browser, int width, int height, RgbaImage& image,
                           std::string* error) {
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
  browser_ = &browser;
  geometrySeen_ = geometry;
  const Scene& scene = browser.scene();
  return renderer_->render(scene.rootNodes(), scene.baseDir, width, height, image, error);
}

int renderSnapshot(CVrmlBrowser& browser, int width, int height, const std::string& pngPath,
                   std::string* error) {
  placeViewerAtBoundViewpoint(browser, width, height);
  RgbaImage image;
  if (!renderFrames(browser.scene(), width, height, image, 1, {}, error, {}, &browser)) return 1;
  return writePng(pngPath, image, error) ? 0 : 1;
}

}  // namespace kestrel
