#include "viewer/browser/render/gl/gpu_mesh.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "viewer/browser/render/core/tessellate.h"

namespace kestrel {
namespace {

// Meshes up to this many vertices keep a CPU copy so a twin can be found.
constexpr size_t kShareLimit = 65536;
// Meshes of at least this many triangles are drawn in spatial order.
constexpr size_t kReorderTriangles = 65536;

int16_t snorm16(float v) {
  return static_cast<int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
}

uint8_t unorm8(float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

uint64_t hashBytes(const void* data, size_t size, uint64_t h = 1469598103934665603ull) {
  const auto* p = static_cast<const unsigned char*>(data);
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {  // word at a time; the tail byte by byte
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    h = (h ^ w) * 0x100000001b3ull;
    h ^= h >> 29;
  }
  for (; i < size; ++i) h = (h ^ p[i]) * 0x100000001b3ull;
  return h;
}

bool sameVertex(const PackedVertex& a, const PackedVertex& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Spreads the low 10 bits of V three apart, for a 30-bit Morton code.
uint32_t spread3(uint32_t v) {
  v &= 0x3ff;
  v = (v | (v << 16)) & 0x030000ff;
  v = (v | (v << 8)) & 0x0300f00f;
  v = (v | (v << 4)) & 0x030c30c3;
  v = (v | (v << 2)) & 0x09249249;
  return v;
}

}  // namespace

void orderTrianglesSpatially(const std::vector<PackedVertex>& vertices,
                             std::vector<uint32_t>& indices) {
  const size_t n = indices.size() / 3;
  if (n < 2) return;
  float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
  for (const PackedVertex& v : vertices)
    for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], v.pos[a]), hi[a] = std::max(hi[a], v.pos[a]);
  // One scale for every axis, so a flat mesh orders as a 2D one would.
  const float span = std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]});
  std::vector<std::pair<uint32_t, uint32_t>> keys(n);  // Morton code of the centre, triangle
  for (size_t t = 0; t < n; ++t) {
    uint32_t code = 0;
    for (int a = 0; a < 3; ++a) {
      float c = (vertices[indices[t * 3]].pos[a] + vertices[indices[t * 3 + 1]].pos[a] +
                 vertices[indices[t * 3 + 2]].pos[a]) / 3;
      uint32_t q = span > 0 ? uint32_t(std::clamp((c - lo[a]) / span, 0.0f, 1.0f) * 1023.0f) : 0;
      code |= spread3(q) << a;
    }
    keys[t] = {code, uint32_t(t)};
  }
  std::stable_sort(keys.begin(), keys.end(),
                   [](const auto& x, const auto& y) { return x.first < y.first; });
  std::vector<uint32_t> sorted(indices.size());
  for (size_t t = 0; t < n; ++t)
    std::copy_n(&indices[size_t(keys[t].second) * 3], 3, &sorted[t * 3]);
  indices.swap(sorted);
}

bool hasFlatTriangles(const Mesh& m) {
  if (m.kind != Mesh::Kind::Triangles || m.normals.size() != m.positions.size()) return false;
  const float minCos = std::cos(kFlatTriangleAngle);
  auto close = [minCos](Vec3f a, Vec3f b) {
    return a == b || a.x * b.x + a.y * b.y + a.z * b.z >= minCos;  // normals are unit
  };
  for (size_t i = 0; i + 2 < m.normals.size(); i += 3) {
    const Vec3f &a = m.normals[i], &b = m.normals[i + 1], &c = m.normals[i + 2];
    if (!close(a, b) || !close(a, c) || !close(b, c)) return false;
  }
  return true;
}

void packMesh(const Mesh& mesh, std::vector<PackedVertex>& vertices,
              std::vector<uint32_t>& indices) {
  const size_t n = mesh.vertexCount();
  vertices.clear();
  indices.clear();
  vertices.reserve(n);
  indices.reserve(n);
  // Open addressing over the welded vertices; empty slots hold UINT32_MAX.
  size_t slots = 16;
  while (slots < n * 2) slots *= 2;
  std::vector<uint32_t> table(slots, UINT32_MAX);
  for (size_t i = 0; i < n; ++i) {
    PackedVertex v{};
    Vec3f p = mesh.positions[i];
    Vec3f nm = i < mesh.normals.size() ? mesh.normals[i] : Vec3f{0, 0, 1};
    Vec3f c = i < mesh.colors.size() ? mesh.colors[i] : Vec3f{1, 1, 1};
    Vec2f t = i < mesh.texCoords.size() ? mesh.texCoords[i] : Vec2f{};
    v.pos[0] = p.x, v.pos[1] = p.y, v.pos[2] = p.z;
    v.normal[0] = snorm16(nm.x), v.normal[1] = snorm16(nm.y), v.normal[2] = snorm16(nm.z);
    v.tex[0] = t.x, v.tex[1] = t.y;
    v.color[0] = unorm8(c.x), v.color[1] = unorm8(c.y), v.color[2] = unorm8(c.z);
    size_t s = hashBytes(&v, sizeof v) & (slots - 1);
    while (table[s] != UINT32_MAX && !sameVertex(vertices[table[s]], v)) s = (s + 1) & (slots - 1);
    if (table[s] == UINT32_MAX) {
      table[s] = static_cast<uint32_t>(vertices.size());
      vertices.push_back(v);
    }
    indices.push_back(table[s]);
  }
}

MeshCache::~MeshCache() { clear(); }

void MeshCache::clear() {
  for (Entry& e : meshes_) {
    GpuMesh& g = *e.gpu;
    if (g.vbo) glDeleteBuffers(1, &g.vbo);
    if (g.ebo) glDeleteBuffers(1, &g.ebo);
    if (g.vao) glDeleteVertexArrays(1, &g.vao);
  }
  meshes_.clear();
  byContent_.clear();
  byNode_.clear();
  ahead_.clear();
}

const GpuMesh& MeshCache::meshFor(const Node& g) {
  auto found = byNode_.find(&g);
  if (found != byNode_.end()) return *found->second;
  auto made = ahead_.find(&g);
  const GpuMesh& m = upload(made != ahead_.end() ? made->second : tessellate(g));
  if (made != ahead_.end()) ahead_.erase(made);
  byNode_.emplace(&g, &m);
  return m;
}

const GpuMesh& MeshCache::upload(const Mesh& m) {
  Entry e;
  packMesh(m, e.vertices, e.indices);
  if (m.kind == Mesh::Kind::Triangles && e.indices.size() / 3 >= kReorderTriangles)
    orderTrianglesSpatially(e.vertices, e.indices);
  uint64_t h = hashBytes(e.vertices.data(), e.vertices.size() * sizeof(PackedVertex));
  h = hashBytes(e.indices.data(), e.indices.size() * sizeof(uint32_t), h);
  h = h * 31 + static_cast<uint64_t>(m.kind) * 2 + (m.solid ? 1 : 0);
  bool shareable = e.vertices.size() <= kShareLimit;
  if (shareable) {
    auto range = byContent_.equal_range(h);
    for (auto it = range.first; it != range.second; ++it) {
      const Entry& other = meshes_[it->second];
      if (other.gpu->kind == m.kind && other.gpu->solid == m.solid &&
          other.indices == e.indices && other.vertices.size() == e.vertices.size() &&
          (e.vertices.empty() ||
           std::memcmp(other.vertices.data(), e.vertices.data(),
                       e.vertices.size() * sizeof(PackedVertex)) == 0))
        return *other.gpu;
    }
  }
  auto gm = std::make_unique<GpuMesh>();
  gm->kind = m.kind;
  gm->solid = m.solid;
  gm->hasColors = m.hasColors();
  gm->flatTriangles = hasFlatTriangles(m);
  gm->indexCount = static_cast<int>(e.indices.size());
  gm->lo = {1e30f, 1e30f, 1e30f};
  gm->hi = {-1e30f, -1e30f, -1e30f};
  gm->empty = !m.bounds(gm->lo, gm->hi);
  if (!gm->empty) {
    glGenVertexArrays(1, &gm->vao);
    glBindVertexArray(gm->vao);
    glGenBuffers(1, &gm->vbo);
    glBindBuffer(GL_ARRAY_BUFFER, gm->vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(e.vertices.size() * sizeof(PackedVertex)),
                 e.vertices.data(), GL_STATIC_DRAW);
    glGenBuffers(1, &gm->ebo);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, gm->ebo);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(e.indices.size() * sizeof(uint32_t)),
                 e.indices.data(), GL_STATIC_DRAW);
    const GLsizei stride = sizeof(PackedVertex);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(PackedVertex, pos)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 3, GL_SHORT, GL_TRUE, stride,
                          reinterpret_cast<const void*>(offsetof(PackedVertex, normal)));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 3, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                          reinterpret_cast<const void*>(offsetof(PackedVertex, color)));
    glEnableVertexAttribArray(3);
    glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(PackedVertex, tex)));
    glBindVertexArray(0);
  }
  if (!shareable) {
    e.vertices = {};
    e.indices = {};
  }
  e.gpu = std::move(gm);
  meshes_.push_back(std::move(e));
  if (shareable) byContent_.emplace(h, meshes_.size() - 1);
  return *meshes_.back().gpu;
}

}  // namespace kestrel
