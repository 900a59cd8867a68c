#include "viewer/browser/render/gl/shape_drawer.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "viewer/browser/render/gl/gl_program.h"
#include "viewer/browser/render/gl/shaders.h"

namespace kestrel {

ShapeDrawer::ShapeDrawer() = default;

ShapeDrawer::~ShapeDrawer() {
  if (instanceBuffer_) glDeleteBuffers(1, &instanceBuffer_);
}

bool ShapeDrawer::init(std::string* error) {
  return slot(withLightCount(kShaderLit | kShaderRigid, 1), error) != nullptr;
}

ShapeDrawer::ProgramSlot* ShapeDrawer::slot(unsigned features, std::string* error) {
  ProgramSlot& s = programs_[features];
  if (!s.program) {
    auto built = std::make_unique<GlProgram>();
    if (!built->build(features, error)) {
      programs_.erase(features);
      return nullptr;
    }
    s.program = std::move(built);
  }
  return &s;
}

namespace {

// A rotation with one scale for every axis (possibly mirrored).
bool isRigid(const Mat4& m) {
  Vec3f x{m.at(0, 0), m.at(1, 0), m.at(2, 0)}, y{m.at(0, 1), m.at(1, 1), m.at(2, 1)},
      z{m.at(0, 2), m.at(1, 2), m.at(2, 2)};
  float xx = dot(x, x), yy = dot(y, y), zz = dot(z, z);
  float eps = 1e-5f * std::max({xx, yy, zz});
  return xx > 0 && std::fabs(xx - yy) <= eps && std::fabs(xx - zz) <= eps &&
         std::fabs(dot(x, y)) <= eps && std::fabs(dot(y, z)) <= eps && std::fabs(dot(x, z)) <= eps;
}

}  // namespace

void ShapeDrawer::prepare(const DrawList& list, const Camera& cam, MeshCache& meshes,
                          TextureCache& textures, const TextureResolver& resolver,
                          std::vector<std::string>& problems) {
  prepared_.clear();
  lightSets_.clear();
  lightSetSources_.clear();
  const bool fog = list.bound.fog != nullptr;
  for (const DrawItem& item : list.items) {
    const GpuMesh& m = meshes.meshFor(*item.geometry);
    if (m.empty) continue;
    ShapeBatchKey k;
    k.mesh = &m;
    const bool faces = m.kind == Mesh::Kind::Triangles;
    const MaterialInfo& mat = item.material;
    if (item.texture && faces) {
      const GpuTexture& t = textures.textureFor(*item.texture, item.baseDir, resolver, problems);
      if (t.ok) {
        k.features |= kShaderTexture;
        k.texture = t.id;
        k.textureComps = t.comps;
        k.cutout = t.cutout;
        k.textureBlends = t.blends();
      }
    }
    if (m.hasColors) k.features |= kShaderVertexColor;
    if (fog) k.features |= kShaderFog;
    if (faces && mat.lit) {
      k.features |= kShaderLit;
      k.lightSet = lightSetOf(item, list, cam);
      if (lightSets_[size_t(k.lightSet)].positional) k.features |= kShaderPositional;
      if (mat.specular.x > 0 || mat.specular.y > 0 || mat.specular.z > 0)
        k.features |= kShaderSpecular;
      if (m.flatTriangles && !(k.features & (kShaderSpecular | kShaderPositional)))
        k.features |= kShaderVertexLit;
      if (isRigid(item.model)) k.features |= kShaderRigid;
      k.features = withLightCount(k.features, lightSets_[size_t(k.lightSet)].count);
    }
    k.cull = faces && m.solid;
    k.transparent = item.transparent || k.textureBlends;
    prepared_.push_back({k, &item});
  }
  // Opaque shapes in any order draw nearly the same picture: group them.
  // Where two coincide (a line on a face) the first drawn wins, so meshes
  // go in the order they were made (their VAO names), never by address:
  // the picture must not depend on where the heap put them.
  auto firstTransparent = std::stable_partition(
      prepared_.begin(), prepared_.end(), [](const Prepared& p) { return !p.key.transparent; });
  std::stable_sort(prepared_.begin(), firstTransparent, [](const Prepared& a, const Prepared& b) {
    const ShapeBatchKey &x = a.key, &y = b.key;
    if (x.features != y.features) return x.features < y.features;
    if (x.mesh->vao != y.mesh->vao) return x.mesh->vao < y.mesh->vao;
    if (x.texture != y.texture) return x.texture < y.texture;
    if (x.lightSet != y.lightSet) return x.lightSet < y.lightSet;
    return x.cull < y.cull;
  });
}

void ShapeDrawer::writeInstances(const Camera& cam) {
  instances_.resize(prepared_.size() * kInstanceFloats);
  float* out = instances_.data();
  for (const Prepared& p : prepared_) {
    const DrawItem& item = *p.item;
    const MaterialInfo& mat = item.material;
    const bool faces = p.key.mesh->kind == Mesh::Kind::Triangles;
    // Unlit faces show white (or their texture); lines and points their emissive colour.
    Vec3f base = faces ? (mat.lit ? mat.diffuse : Vec3f{1, 1, 1})
                       : (mat.lit ? mat.emissive : Vec3f{1, 1, 1});
    const Mat4& t = item.textureMatrix;
    Mat4 mv = cam.view * item.model;
    out = std::copy(mv.m.begin(), mv.m.end(), out);
    *out++ = base.x, *out++ = base.y, *out++ = base.z, *out++ = 1 - mat.transparency;
    *out++ = mat.specular.x, *out++ = mat.specular.y, *out++ = mat.specular.z,
    *out++ = mat.shininess;
    *out++ = mat.emissive.x, *out++ = mat.emissive.y, *out++ = mat.emissive.z,
    *out++ = mat.ambientIntensity;
    *out++ = t.at(0, 0), *out++ = t.at(0, 1), *out++ = t.at(0, 3);
    *out++ = t.at(1, 0), *out++ = t.at(1, 1), *out++ = t.at(1, 3);
  }
}

namespace {

// Points the per-instance attributes of the bound VAO at instance FIRST.
void pointInstances(size_t first) {
  const GLsizei stride = kInstanceFloats * sizeof(float);
  const int sizes[] = {4, 4, 4, 4, 4, 4, 4, 3, 3};
  size_t offset = first * size_t(stride);
  for (GLuint i = 0; i < 9; ++i) {
    GLuint a = kAttrModelView + i;
    glEnableVertexAttribArray(a);
    glVertexAttribPointer(a, sizes[i], GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offset));
    glVertexAttribDivisor(a, 1);
    offset += size_t(sizes[i]) * sizeof(float);
  }
}

void setCapability(GLenum cap, bool on, int& current) {
  if (current == int(on)) return;
  if (on) glEnable(cap);
  else glDisable(cap);
  current = int(on);
}

}  // namespace

namespace {

// One instance's floats (see writeInstances): the model-view matrix and
// three colours fill whole vec4s; each texture transform row has three
// floats and takes a vec4 of its own in the uniform array.
constexpr size_t kWholeVec4Floats = 16 + 4 + 4 + 4;
constexpr size_t kTextureRowFloats = 3;
static_assert(kWholeVec4Floats + 2 * kTextureRowFloats == kInstanceFloats);
static_assert(kWholeVec4Floats / 4 + 2 == kInstanceUniformVec4s);

GLenum primitiveOf(Mesh::Kind kind) {
  switch (kind) {
    case Mesh::Kind::Triangles: return GL_TRIANGLES;
    case Mesh::Kind::Lines: return GL_LINES;
    default: return GL_POINTS;
  }
}

}  // namespace

void ShapeDrawer::uploadInstances() {
  if (!instanceBuffer_) glGenBuffers(1, &instanceBuffer_);
  glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer_);
  const size_t bytes = instances_.size() * sizeof(float);
  if (bytes > instanceCapacity_) {
    instanceCapacity_ = std::max(bytes, instanceCapacity_ * 2);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(instanceCapacity_), nullptr, GL_STREAM_DRAW);
  }
  if (bytes) glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(bytes), instances_.data());
}

size_t ShapeDrawer::batchEnd(size_t first) const {
  size_t end = first + 1;
  while (end < prepared_.size() && prepared_[end].key == prepared_[first].key) ++end;
  return end;
}

GlProgram* ShapeDrawer::useProgram(const ShapeBatchKey& k, size_t count, const DrawList& list,
                                   const Camera& cam, PassState& pass, std::string* error) {
  ProgramSlot* s = slot(k.features | (count == 1 ? unsigned(kShaderSingle) : 0u), error);
  if (!s) return nullptr;
  GlProgram* p = s->program.get();
  if (p != pass.program) {
    p->use();
    pass.program = p;
  }
  if (s->frame != frame_) {
    setFrameUniforms(*p, list, cam);
    s->frame = frame_;
    s->lights = -1;
  }
  if (k.lightSet >= 0 && s->lights != k.lightSet) {
    uploadLights(*p, k.lightSet);
    s->lights = k.lightSet;
  }
  return p;
}

void ShapeDrawer::setBatchState(const ShapeBatchKey& k, GlProgram& p, PassState& pass) {
  if (k.texture && k.texture != pass.boundTexture) {
    glBindTexture(GL_TEXTURE_2D, k.texture);
    pass.boundTexture = k.texture;
  }
  if (k.texture) {
    p.set(Uniform::TexComps, k.textureComps);
    p.set(Uniform::AlphaCut, k.cutout ? 0.5f : 0.0f);
  }
  setCapability(GL_BLEND, k.transparent, pass.blend);
  if (pass.depthWrite != int(!k.transparent)) {
    glDepthMask(k.transparent ? GL_FALSE : GL_TRUE);
    pass.depthWrite = int(!k.transparent);
  }
  setCapability(GL_CULL_FACE, k.cull, pass.cull);
}

void ShapeDrawer::setSingleInstance(GlProgram& p, size_t index) {
  float single[kInstanceUniformVec4s * 4] = {};
  const float* in = &instances_[index * kInstanceFloats];
  const float* row0 = in + kWholeVec4Floats;
  std::copy_n(in, kWholeVec4Floats, single);
  std::copy_n(row0, kTextureRowFloats, single + kWholeVec4Floats);
  std::copy_n(row0 + kTextureRowFloats, kTextureRowFloats, single + kWholeVec4Floats + 4);
  glUniform4fv(p.location(Uniform::Instance), kInstanceUniformVec4s, single);
}

void ShapeDrawer::drawBatch(const ShapeBatchKey& k, GlProgram& p, size_t first, size_t count) {
  glBindVertexArray(k.mesh->vao);
  const GLenum mode = primitiveOf(k.mesh->kind);
  if (count == 1) {
    setSingleInstance(p, first);
    glDrawElements(mode, k.mesh->indexCount, GL_UNSIGNED_INT, nullptr);
  } else {
    pointInstances(first);
    glDrawElementsInstanced(mode, k.mesh->indexCount, GL_UNSIGNED_INT, nullptr, GLsizei(count));
  }
  ++drawCalls_;
}

bool ShapeDrawer::draw(const DrawList& list, const Camera& cam, MeshCache& meshes,
                       TextureCache& textures, const TextureResolver& resolver,
                       std::vector<std::string>& problems, std::string* error) {
  ++frame_;
  drawCalls_ = 0;
  prepare(list, cam, meshes, textures, resolver, problems);
  writeInstances(cam);
  uploadInstances();
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_PROGRAM_POINT_SIZE);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glActiveTexture(GL_TEXTURE0);
  PassState pass;
  bool ok = true;
  for (size_t first = 0, end = 0; first < prepared_.size(); first = end) {
    end = batchEnd(first);
    const ShapeBatchKey& k = prepared_[first].key;
    GlProgram* p = useProgram(k, end - first, list, cam, pass, error);
    if (!p) {
      ok = false;
      break;
    }
    setBatchState(k, *p, pass);
    drawBatch(k, *p, first, end - first);
  }
  glBindVertexArray(0);
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
  return ok;
}

}  // namespace kestrel
