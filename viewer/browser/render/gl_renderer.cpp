#include "viewer/browser/render/gl_renderer.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <algorithm>
#include <cmath>

#include "viewer/browser/render/background_pass.h"
#include "viewer/browser/render/camera.h"
#include "viewer/browser/render/gl_program.h"
#include "viewer/browser/render/node_fields.h"
#include "viewer/browser/render/shaders.h"
#include "viewer/browser/render/tessellate.h"

namespace kestrel {

constexpr int kMaxLightsUsed = kMaxLights;

struct GpuMesh {
  GLuint vao = 0, vbo = 0;
  GLsizei count = 0;
  Mesh::Kind kind = Mesh::Kind::Triangles;
  bool solid = true, hasColors = false, empty = true;
  Vec3f lo, hi;
};

struct GpuTexture {
  GLuint id = 0;
  int comps = 3;
  bool ok = false;
};

struct GlRenderer::Impl {
  GlProgram program;
  BackgroundPass background;
  std::unordered_map<const Node*, GpuMesh> meshes;
  std::unordered_map<const Node*, GpuTexture> textures;
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
    for (auto& [node, m] : meshes) {
      glDeleteBuffers(1, &m.vbo);
      glDeleteVertexArrays(1, &m.vao);
    }
    for (auto& [node, t] : textures)
      if (t.id) glDeleteTextures(1, &t.id);
    meshes.clear();
    textures.clear();
    background.clear();
  }

  const GpuMesh& meshFor(const Node& g) {
    auto found = meshes.find(&g);
    if (found != meshes.end()) return found->second;
    Mesh m = tessellate(g);
    GpuMesh gm;
    gm.kind = m.kind;
    gm.solid = m.solid;
    gm.hasColors = m.hasColors();
    gm.count = static_cast<GLsizei>(m.vertexCount());
    gm.lo = {1e30f, 1e30f, 1e30f};
    gm.hi = {-1e30f, -1e30f, -1e30f};
    gm.empty = !m.bounds(gm.lo, gm.hi);
    std::vector<float> data;
    data.reserve(m.vertexCount() * 11);
    for (size_t i = 0; i < m.vertexCount(); ++i) {
      Vec3f p = m.positions[i];
      Vec3f n = i < m.normals.size() ? m.normals[i] : Vec3f{0, 0, 1};
      Vec3f c = i < m.colors.size() ? m.colors[i] : Vec3f{1, 1, 1};
      Vec2f t = i < m.texCoords.size() ? m.texCoords[i] : Vec2f{};
      data.insert(data.end(), {p.x, p.y, p.z, n.x, n.y, n.z, c.x, c.y, c.z, t.x, t.y});
    }
    glGenVertexArrays(1, &gm.vao);
    glBindVertexArray(gm.vao);
    glGenBuffers(1, &gm.vbo);
    glBindBuffer(GL_ARRAY_BUFFER, gm.vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * sizeof(float)),
                 data.data(), GL_STATIC_DRAW);
    const GLsizei stride = 11 * sizeof(float);
    const int sizes[4] = {3, 3, 3, 2}, offsets[4] = {0, 3, 6, 9};
    for (GLuint a = 0; a < 4; ++a) {
      glEnableVertexAttribArray(a);
      glVertexAttribPointer(a, sizes[a], GL_FLOAT, GL_FALSE, stride,
                            reinterpret_cast<const void*>(size_t(offsets[a]) * sizeof(float)));
    }
    glBindVertexArray(0);
    return meshes.emplace(&g, gm).first->second;
  }

  const GpuTexture& textureFor(const Node& t, const std::string& dir,
                               const TextureResolver& resolver,
                               std::vector<std::string>& problems) {
    auto found = textures.find(&t);
    if (found != textures.end()) return found->second;
    RgbaImage img;
    int comps = 3;
    if (typeName(t) == "PixelTexture") {
      Image src = fieldOr(t, "image", Image{});
      img = imageFromSFImage(src);
      comps = src.components;
    } else {
      for (const std::string& url : listOf<std::string>(t, "url")) {
        std::string path, why;
        if (resolver ? resolver(url, dir, path) : false) {
          if (readImageFile(path, img, &why)) break;
          problems.push_back(why);
        }
      }
      comps = img.hasAlpha ? 4 : 3;
    }
    GpuTexture gt;
    gt.comps = comps;
    if (img.width > 0) {
      glGenTextures(1, &gt.id);
      glBindTexture(GL_TEXTURE_2D, gt.id);
      glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
      // Rows are stored top first; texture coordinate t = 0 is the bottom.
      std::vector<uint8_t> flipped(img.pixels.size());
      size_t row = size_t(img.width) * 4;
      for (int y = 0; y < img.height; ++y)
        std::copy_n(&img.pixels[size_t(img.height - 1 - y) * row], row, &flipped[size_t(y) * row]);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, img.width, img.height, 0, GL_RGBA,
                   GL_UNSIGNED_BYTE, flipped.data());
      glGenerateMipmap(GL_TEXTURE_2D);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      GLint s = fieldOr(t, "repeatS", true) ? GL_REPEAT : GL_CLAMP_TO_EDGE;
      GLint r = fieldOr(t, "repeatT", true) ? GL_REPEAT : GL_CLAMP_TO_EDGE;
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, s);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, r);
      gt.ok = true;
    }
    return textures.emplace(&t, gt).first->second;
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
};

GlRenderer::GlRenderer() : impl_(std::make_unique<Impl>()) {}
GlRenderer::~GlRenderer() = default;

bool GlRenderer::init(std::string* error) {
  return impl_->program.build(error) && impl_->background.init(error);
}

void GlRenderer::clearCaches() { impl_->clear(); }

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

namespace {

void setLights(const GlProgram& p, const DrawItem& item, const DrawList& list, const Camera& cam) {
  std::vector<Light> lights;
  if (cam.headlight) lights.push_back(Light{});  // along the view, in eye space already
  for (int i : item.lights) {
    if (lights.size() >= size_t(kMaxLightsUsed)) break;
    Light l = list.lights[size_t(i)];
    l.location = cam.view.transformPoint(l.location);
    l.direction = normalized(cam.view.transformDir(l.direction));
    lights.push_back(l);
  }
  p.set("uNumLights", int(lights.size()));
  for (size_t i = 0; i < lights.size(); ++i) {
    const Light& l = lights[i];
    auto name = [&](const char* base) {
      static thread_local std::string s;
      s = std::string(base) + "[" + std::to_string(i) + "]";
      return s.c_str();
    };
    p.set(name("uLightKind"), int(l.kind));
    p.set(name("uLightColor"), l.color);
    p.set(name("uLightPos"), l.location);
    p.set(name("uLightDir"), l.direction);
    p.set(name("uLightAtt"), l.attenuation);
    p.set(name("uLightI"), l.intensity);
    p.set(name("uLightAmb"), l.ambientIntensity);
    p.set(name("uLightRadius"), l.radius);
    p.set(name("uLightBeam"), l.beamWidth);
    p.set(name("uLightCut"), l.cutOffAngle);
  }
}

void setFog(const GlProgram& p, const DrawList& list) {
  int type = 0;
  float range = 0;
  Vec3f color{1, 1, 1};
  if (const Node* fog = list.bound.fog) {
    range = fieldOr(*fog, "visibilityRange", 0.0f);
    // The range scales with the fog's transform.
    range *= length(list.bound.fogMatrix.transformDir({1, 0, 0}));
    color = fieldOr(*fog, "color", color);
    type = fieldOr(*fog, "fogType", std::string("LINEAR")) == "EXPONENTIAL" ? 2 : 1;
  }
  p.set("uFogType", range > 0 ? type : 0);
  p.set("uFogColor", color);
  p.set("uFogRange", range);
}

}  // namespace

bool GlRenderer::render(const std::vector<NodePtr>& roots, const std::string& baseDir,
                        int width, int height, RgbaImage& out, std::string* error) {
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
    if (error) *error = "image size out of range";
    return false;
  }
  Impl& im = *impl_;
  Camera first = im.cameraOf(findBindings(roots), width, height, {}, 1);
  DrawList list = collectDrawList(roots, baseDir, first.viewer);
  Vec3f lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
  for (const DrawItem& item : list.items) {
    const GpuMesh& m = im.meshFor(*item.geometry);
    if (m.empty) continue;
    for (int c = 0; c < 8; ++c) {
      Vec3f p = item.model.transformPoint({c & 1 ? m.hi.x : m.lo.x, c & 2 ? m.hi.y : m.lo.y,
                                           c & 4 ? m.hi.z : m.lo.z});
      lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
      hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
  }
  bool any = lo.x <= hi.x;
  Vec3f centre = any ? (lo + hi) * 0.5f : Vec3f{};
  float radius = any ? length(hi - lo) / 2 : 1;
  Camera cam = im.cameraOf(list.bound, width, height, centre, radius);
  sortForDrawing(list, cam.view, [&](const Node& g) {
    const GpuMesh& m = im.meshFor(g);
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
    const auto& colors = listOf<Vec3f>(*list.bound.background, "skyColor");
    if (!colors.empty()) sky = colors[0];
  }
  glClearColor(sky.x, sky.y, sky.z, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  im.background.draw(list.bound, cam, resolver_, textureProblems_);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_PROGRAM_POINT_SIZE);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  const GlProgram& p = im.program;
  p.use();
  p.set("uProj", cam.projection);
  p.set("uTex", 0);
  setFog(p, list);
  for (const DrawItem& item : list.items) {
    const GpuMesh& m = im.meshFor(*item.geometry);
    if (m.empty) continue;
    Mat4 mv = cam.view * item.model;
    p.set("uModelView", mv);
    p.setNormalMatrix(mv);
    p.set("uTexMat", item.textureMatrix);
    bool faces = m.kind == Mesh::Kind::Triangles;
    const MaterialInfo& mat = item.material;
    p.set("uLit", faces && mat.lit ? 1 : 0);
    p.set("uHasColor", m.hasColors ? 1 : 0);
    // Unlit faces show white (or their texture); lines and points their emissive colour.
    Vec3f base = faces ? (mat.lit ? mat.diffuse : Vec3f{1, 1, 1})
                       : (mat.lit ? mat.emissive : Vec3f{1, 1, 1});
    p.set("uDiffuse", base);
    p.set("uSpecular", mat.specular);
    p.set("uEmissive", mat.emissive);
    p.set("uAmbient", mat.ambientIntensity);
    p.set("uShininess", mat.shininess);
    float alpha = 1 - mat.transparency;
    p.set("uAlpha", alpha);
    int hasTex = 0;
    if (item.texture && faces) {
      const GpuTexture& t = im.textureFor(*item.texture, item.baseDir, resolver_, textureProblems_);
      if (t.ok) {
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, t.id);
        hasTex = 1;
        p.set("uTexComps", t.comps);
      }
    }
    p.set("uHasTex", hasTex);
    if (faces && mat.lit) setLights(p, item, list, cam);
    if (item.transparent) {
      glEnable(GL_BLEND);
      glDepthMask(GL_FALSE);
    } else {
      glDisable(GL_BLEND);
      glDepthMask(GL_TRUE);
    }
    if (faces && m.solid) glEnable(GL_CULL_FACE);
    else glDisable(GL_CULL_FACE);
    glBindVertexArray(m.vao);
    GLenum mode = faces ? GL_TRIANGLES : m.kind == Mesh::Kind::Lines ? GL_LINES : GL_POINTS;
    glDrawArrays(mode, 0, m.count);
  }
  glBindVertexArray(0);
  glDepthMask(GL_TRUE);
  if (im.toTarget) {  // a window shows it; nothing to read back
    GLenum e = glGetError();
    if (e != GL_NO_ERROR && error) *error = "OpenGL error " + std::to_string(e);
    return e == GL_NO_ERROR;
  }

  out.width = width;
  out.height = height;
  out.hasAlpha = false;
  std::vector<uint8_t> raw(size_t(width) * size_t(height) * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, raw.data());
  out.pixels.resize(raw.size());
  size_t row = size_t(width) * 4;
  for (int y = 0; y < height; ++y)  // OpenGL's rows run bottom first
    std::copy_n(&raw[size_t(height - 1 - y) * row], row, &out.pixels[size_t(y) * row]);
  for (size_t i = 3; i < out.pixels.size(); i += 4) out.pixels[i] = 255;
  GLenum e = glGetError();
  if (e != GL_NO_ERROR) {
    if (error) *error = "OpenGL error " + std::to_string(e);
    return false;
  }
  return true;
}

}  // namespace kestrel
