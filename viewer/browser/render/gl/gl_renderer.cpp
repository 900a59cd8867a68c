#include "viewer/browser/render/gl/gl_renderer.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <algorithm>
#include <cmath>

#include "viewer/browser/render/gl/background_pass.h"
#include "viewer/browser/render/core/camera.h"
#include "viewer/browser/render/gl/gpu_mesh.h"
#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/render_keys.h"
#include "viewer/browser/render/core/tessellate.h"
#include "viewer/browser/render/core/traversal.h"
#include "viewer/browser/render/gl/shape_drawer.h"

namespace kestrel {

struct GlRenderer::Impl {
  MeshCache meshes;
  TextureCache textures;
  ShapeDrawer shapes;
  BackgroundPass background;
  GLuint fbo = 0, color = 0, depth = 0;
  int fbWidth = 0, fbHeight = 0;
  // Set by drawInto for one frame: where it goes and who places the camera.
  const CameraSource* cameraSource = nullptr;
  bool toTarget = false;
  GLuint target = 0;

  ~Impl() {
    clear();
    if (fbo) glDeleteFramebuffers(1, &fbo);
    if (color) glDeleteRenderbuffers(1, &color);
    if (depth) glDeleteRenderbuffers(1, &depth);
  }

  void clear() {
    meshes.clear();
    textures.clear();
    background.clear();
  }

  Camera cameraOf(const Bindings& bound, int w, int h, Vec3f centre, float radius) const {
    return cameraSource ? (*cameraSource)(bound, w, h, centre, radius)
                        : cameraFor(bound, w, h, centre, radius);
  }

  void bindTarget(int w, int h) {
    if (toTarget) {
      glBindFramebuffer(GL_FRAMEBUFFER, target);
      return;
    }
    ensureFramebuffer(w, h);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  }

  void ensureFramebuffer(int w, int h) {
    if (fbo && w == fbWidth && h == fbHeight) return;
    if (!fbo) {
      glGenFramebuffers(1, &fbo);
      glGenRenderbuffers(1, &color);
      glGenRenderbuffers(1, &depth);
    }
    glBindRenderbuffer(GL_RENDERBUFFER, color);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    fbWidth = w;
    fbHeight = h;
  }

  // The world box around every drawn mesh; false when nothing is drawn.
  bool sceneBounds(const DrawList& list, Vec3f& lo, Vec3f& hi) {
    lo = {1e30f, 1e30f, 1e30f};
    hi = {-1e30f, -1e30f, -1e30f};
    for (const DrawItem& item : list.items) {
      const GpuMesh& m = meshes.meshFor(*item.geometry);
      if (m.empty) continue;
      for (int c = 0; c < 8; ++c) {
        Vec3f p = item.model.transformPoint({c & 1 ? m.hi.x : m.lo.x, c & 2 ? m.hi.y : m.lo.y,
                                             c & 4 ? m.hi.z : m.lo.z});
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
      }
    }
    return lo.x <= hi.x;
  }

  // Marks the faces whose texture has partial alpha as transparent, so
  // that they are sorted back to front with the other transparent shapes.
  void markBlendingTextures(DrawList& list, const TextureResolver& resolver,
                            std::vector<std::string>& problems) {
    for (DrawItem& item : list.items) {
      if (item.transparent || item.texture == nullptr) continue;
      if (meshes.meshFor(*item.geometry).kind != Mesh::Kind::Triangles) continue;
      if (textures.textureFor(*item.texture, item.baseDir, resolver, problems).blends())
        item.transparent = true;
    }
  }

  // Reads the framebuffer into OUT, top row first, opaque.
  void readBack(int width, int height, RgbaImage& out) {
    out.width = width;
    out.height = height;
    out.hasAlpha = false;
    out.pixels.resize(size_t(width) * size_t(height) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, out.pixels.data());
    flipRows(out);  // OpenGL's rows run bottom first
    for (size_t i = 3; i < out.pixels.size(); i += 4) out.pixels[i] = 255;
  }
};

namespace {

// Reads the image files of texture T as TextureCache::textureFor would try
// them (each URL that resolves, up to the first that reads) into IMAGES.
void readTextureFiles(const Node& t, const std::string& dir, const TextureResolver& resolver,
                      DecodedImages& images) {
  if (kindOf(t) != NodeKind::ImageTexture || !resolver) return;
  for (const std::string& url : listOf<std::string>(t, renderKeys().texture(kindOf(t)).url)) {
    std::string path;
    if (!resolver(url, dir, path)) continue;
    auto [it, fresh] = images.try_emplace(path);
    if (fresh) it->second.ok = readImageFile(path, it->second.image, &it->second.why);
    if (it->second.ok) return;
  }
}

}  // namespace

FramePrefetch prefetchFrame(const std::vector<NodePtr>& roots, const std::string& baseDir,
                            int width, int height, const BoundNodes* bound,
                            const TextureResolver& resolver) {
  FramePrefetch ahead;
  Camera first = cameraFor(findBindings(roots, bound), width, height, {}, 1);
  DrawList list = collectDrawList(roots, baseDir, first.viewer, bound);
  for (const DrawItem& item : list.items) {
    if (!ahead.meshes.count(item.geometry))
      ahead.meshes.emplace(item.geometry, tessellate(*item.geometry));
    if (item.texture) readTextureFiles(*item.texture, item.baseDir, resolver, ahead.images);
  }
  return ahead;
}

GlRenderer::GlRenderer() : impl_(std::make_unique<Impl>()) {}
GlRenderer::~GlRenderer() = default;

bool GlRenderer::init(std::string* error) {
  return impl_->shapes.init(error);
}

void GlRenderer::clearCaches() { impl_->clear(); }
void GlRenderer::adoptPrefetch(FramePrefetch ahead) {
  impl_->meshes.adoptTessellations(std::move(ahead.meshes));
  impl_->textures.adoptDecodedImages(std::move(ahead.images));
}
void GlRenderer::setMediaPositions(MediaPositions positions) {
  impl_->textures.setMediaPositions(std::move(positions));
}

size_t GlRenderer::lastDrawCalls() const { return impl_->shapes.lastDrawCalls(); }
size_t GlRenderer::meshCount() const { return impl_->meshes.sharedMeshCount(); }

bool GlRenderer::render(const std::vector<NodePtr>& roots, const std::string& baseDir,
                        int width, int height, const CameraSource& camera, RgbaImage& out,
                        std::string* error) {
  impl_->cameraSource = &camera;
  bool ok = render(roots, baseDir, width, height, out, error);
  impl_->cameraSource = nullptr;
  return ok;
}

bool GlRenderer::drawInto(unsigned framebuffer, const std::vector<NodePtr>& roots,
                          const std::string& baseDir, int width, int height,
                          const CameraSource& camera, std::string* error) {
  impl_->cameraSource = &camera;
  impl_->toTarget = true;
  impl_->target = framebuffer;
  RgbaImage unused;
  bool ok = render(roots, baseDir, width, height, unused, error);
  impl_->cameraSource = nullptr;
  impl_->toTarget = false;
  return ok;
}

bool GlRenderer::render(const std::vector<NodePtr>& roots, const std::string& baseDir,
                        int width, int height, RgbaImage& out, std::string* error) {
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
    if (error) *error = "image size out of range";
    return false;
  }
  Impl& im = *impl_;
  BoundNodes stacked;
  if (bindings_) stacked = bindings_();
  const BoundNodes* bound = bindings_ ? &stacked : nullptr;
  Camera first = im.cameraOf(findBindings(roots, bound), width, height, {}, 1);
  DrawList list = collectDrawList(roots, baseDir, first.viewer, bound);
  Vec3f lo, hi;
  bool any = im.sceneBounds(list, lo, hi);
  Vec3f centre = any ? (lo + hi) * 0.5f : Vec3f{};
  float radius = any ? length(hi - lo) / 2 : 1;
  Camera cam = im.cameraOf(list.bound, width, height, centre, radius);
  im.markBlendingTextures(list, resolver_, textureProblems_);
  sortForDrawing(list, cam.view, [&](const Node& g) {
    const GpuMesh& m = im.meshes.meshFor(g);
    return (m.lo + m.hi) * 0.5f;
  });

  im.bindTarget(width, height);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    if (error) *error = "framebuffer incomplete";
    return false;
  }
  glViewport(0, 0, width, height);
  Vec3f sky{0, 0, 0};
  if (list.bound.background) {
    const auto& colors = listOf<Vec3f>(*list.bound.background, renderKeys().background.skyColor);
    if (!colors.empty()) sky = colors[0];
  }
  glClearColor(sky.x, sky.y, sky.z, 1);
  glDepthMask(GL_TRUE);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  im.background.draw(list.bound, cam, resolver_, textureProblems_);
  if (!im.shapes.draw(list, cam, im.meshes, im.textures, resolver_, textureProblems_, error))
    return false;
  if (!im.toTarget) im.readBack(width, height, out);  // a window shows it: nothing to read
  GLenum e = glGetError();
  if (e != GL_NO_ERROR) {
    if (error) *error = "OpenGL error " + std::to_string(e);
    return false;
  }
  return true;
}

}  // namespace kestrel
