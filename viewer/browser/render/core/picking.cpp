#include "viewer/browser/render/core/picking.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/render_keys.h"
#include "viewer/browser/render/core/tessellate.h"
#include "viewer/browser/render/core/traversal.h"

namespace kestrel {
namespace {

constexpr int kMaxDepth = 256;
constexpr float kInfinity = std::numeric_limits<float>::infinity();

// Where RAY enters the box [LO, HI] within [0, LIMIT]; false when it does not.
bool rayMeetsBox(const PickRay& ray, Vec3f lo, Vec3f hi, float limit) {
  float t0 = 0, t1 = limit;
  const float o[3] = {ray.origin.x, ray.origin.y, ray.origin.z};
  const float d[3] = {ray.direction.x, ray.direction.y, ray.direction.z};
  const float l[3] = {lo.x, lo.y, lo.z};
  const float h[3] = {hi.x, hi.y, hi.z};
  for (int i = 0; i < 3; ++i) {
    if (std::fabs(d[i]) < 1e-20f) {
      if (o[i] < l[i] || o[i] > h[i]) return false;
      continue;
    }
    float inv = 1.0f / d[i];
    float a = (l[i] - o[i]) * inv, b = (h[i] - o[i]) * inv;
    if (a > b) std::swap(a, b);
    t0 = std::max(t0, a);
    t1 = std::min(t1, b);
    if (t0 > t1) return false;
  }
  return true;
}

struct TriangleHit {
  float t = kInfinity;
  size_t first = 0;  // index of the triangle's first vertex
  float u = 0, v = 0;  // barycentric weights of its second and third vertex
};

// Möller-Trumbore over the vertices [FIRST, END); a solid mesh's triangles
// only count seen from the front.
void hitTriangles(const Mesh& mesh, size_t first, size_t end, const PickRay& ray,
                  TriangleHit& best) {
  const auto& p = mesh.positions;
  for (size_t i = first; i + 2 < end; i += 3) {
    Vec3f e1 = p[i + 1] - p[i], e2 = p[i + 2] - p[i];
    Vec3f q = cross(ray.direction, e2);
    float det = dot(e1, q);
    if (mesh.solid ? det <= 1e-12f : std::fabs(det) <= 1e-12f) continue;
    float inv = 1.0f / det;
    Vec3f s = ray.origin - p[i];
    float u = dot(s, q) * inv;
    if (u < 0 || u > 1) continue;
    Vec3f r = cross(s, e1);
    float v = dot(ray.direction, r) * inv;
    if (v < 0 || u + v > 1) continue;
    float t = dot(e2, r) * inv;
    if (t > 1e-6f && t < best.t) best = {t, i, u, v};
  }
}

template <class T>
T blend(const std::vector<T>& values, const TriangleHit& h, T fallback) {
  if (values.size() < h.first + 3) return fallback;
  float w = 1 - h.u - h.v;
  const T& a = values[h.first];
  const T& b = values[h.first + 1];
  const T& c = values[h.first + 2];
  if constexpr (std::is_same_v<T, Vec2f>) {
    return {a.x * w + b.x * h.u + c.x * h.v, a.y * w + b.y * h.u + c.y * h.v};
  } else {
    return a * w + b * h.u + c * h.v;
  }
}

class PickWalk {
 public:
  PickWalk(Picker& picker, const Viewer& viewer, const PickRay& ray)
      : picker_(picker), viewer_(viewer), ray_(ray) {
    best_.distance = kInfinity;
  }

  void children(const std::vector<NodePtr>& nodes, const Mat4& m, const std::string& dir) {
    for (const NodePtr& c : nodes) node(c, m, dir);
  }

  PickHit result() && { return std::move(best_); }

 private:
  void node(const NodePtr& written, const Mat4& m, const std::string& dir) {
    NodePtr n = actualNodePtr(written);
    // A node that contains itself is not entered again (the path is short:
    // a search is cheaper than a set).
    if (!n || onPath_.size() >= kMaxDepth ||
        std::find(onPath_.begin(), onPath_.end(), n.get()) != onPath_.end()) {
      return;
    }
    onPath_.push_back(n.get());
    path_.push_back(written);
    frames_.push_back(m);
    visit(*n, m, dir);
    path_.pop_back();
    frames_.pop_back();
    onPath_.pop_back();
  }

  void group(const std::vector<NodePtr>& nodes, const Mat4& m, const std::string& dir) {
    frames_.back() = m;
    children(nodes, m, dir);
  }

  void visit(const Node& n, const Mat4& m, const std::string& dir) {
    switch (kindOf(n)) {
      case NodeKind::Transform:
        group(listOf<NodePtr>(n, keys_.transform.children), m * transformNodeMatrix(n), dir);
        break;
      case NodeKind::Group: group(listOf<NodePtr>(n, keys_.groupChildren), m, dir); break;
      case NodeKind::Anchor: group(listOf<NodePtr>(n, keys_.anchorChildren), m, dir); break;
      case NodeKind::Collision: group(listOf<NodePtr>(n, keys_.collisionChildren), m, dir); break;
      case NodeKind::Billboard:
        group(listOf<NodePtr>(n, keys_.billboard.children),
              m * billboardTurn(n, m, &viewer_), dir);
        break;
      case NodeKind::Switch: {
        const auto& choice = listOf<NodePtr>(n, keys_.switchNode.choice);
        int32_t w = fieldOr(n, keys_.switchNode.whichChoice, int32_t{-1});
        if (w >= 0 && size_t(w) < choice.size()) node(choice[size_t(w)], m, dir);
        break;
      }
      case NodeKind::LOD: {
        const auto& level = listOf<NodePtr>(n, keys_.lod.level);
        if (!level.empty()) node(level[lodLevel(n, m, &viewer_)], m, dir);
        break;
      }
      case NodeKind::Inline:
        if (const auto& inlined = n.extras().inlineScene) {
          children(inlined->rootNodes(), m, inlined->baseDir);
        }
        break;
      case NodeKind::Shape: shape(n, m, dir); break;
      default: break;
    }
  }

  void shape(const Node& n, const Mat4& m, const std::string& dir) {
    NodePtr g = actualNodePtr(nodeOf(n, keys_.shape.geometry));
    if (!g) return;
    const Picker::Cached& c = picker_.meshOf(g);
    if (c.lo.x > c.hi.x || !mayMeet(c, m)) return;
    Mat4 toLocal = m.inverse();
    PickRay local = transformRay(ray_, toLocal);
    if (!rayMeetsBox(local, c.lo, c.hi, best_.distance)) return;
    TriangleHit h;
    h.t = best_.distance;
    const size_t run = Picker::Cached::kChunk * 3;
    for (size_t k = 0; k < c.chunks.size(); ++k) {
      if (rayMeetsBox(local, c.chunks[k].first, c.chunks[k].second, h.t))
        hitTriangles(c.mesh, k * run, std::min((k + 1) * run, c.mesh.positions.size()), local, h);
    }
    if (!(h.t < best_.distance)) return;
    record(g, h, c.mesh, m, toLocal, dir);
  }

  // Whether the ray comes near the sphere round the box under M, nearer
  // than the best hit so far: most shapes are left out here, before their
  // matrix is inverted.
  bool mayMeet(const Picker::Cached& c, const Mat4& m) const {
    Vec3f centre = m.transformPoint((c.lo + c.hi) * 0.5f);
    float scale = std::max({length(m.transformDir({1, 0, 0})), length(m.transformDir({0, 1, 0})),
                            length(m.transformDir({0, 0, 1}))});
    float r = length(c.hi - c.lo) * 0.5f * scale * 1.001f + 1e-6f;
    Vec3f v = centre - ray_.origin;
    float along = dot(v, ray_.direction);
    if (along + r < 0 || along - r > best_.distance) return false;
    return dot(v, v) - along * along <= r * r;
  }

  void record(const NodePtr& geometry, const TriangleHit& h, const Mesh& mesh, const Mat4& m,
              const Mat4& toLocal, const std::string& dir) {
    best_.distance = h.t;
    best_.point = ray_.origin + ray_.direction * h.t;
    Vec3f p0 = mesh.positions[h.first];
    Vec3f face = cross(mesh.positions[h.first + 1] - p0, mesh.positions[h.first + 2] - p0);
    Vec3f local = blend(mesh.normals, h, face);
    Vec3f n = normalized(toLocal.transposed().transformDir(local));
    best_.normal = dot(n, ray_.direction) > 0 ? n * -1.0f : n;
    best_.texCoord = blend(mesh.texCoords, h, Vec2f{});
    best_.path = path_;
    best_.path.push_back(geometry);
    best_.frames = frames_;
    best_.frames.push_back(m);
    best_.baseDir = dir;
  }

  const RenderKeys& keys_ = renderKeys();
  Picker& picker_;
  const Viewer& viewer_;
  PickRay ray_;
  PickHit best_;
  std::vector<NodePtr> path_;
  std::vector<Mat4> frames_;
  std::vector<const Node*> onPath_;
};

void chunkBoxes(Picker::Cached& c) {
  const auto& p = c.mesh.positions;
  const size_t run = Picker::Cached::kChunk * 3;
  for (size_t first = 0; first < p.size(); first += run) {
    Vec3f lo{kInfinity, kInfinity, kInfinity}, hi{-kInfinity, -kInfinity, -kInfinity};
    for (size_t i = first; i < std::min(first + run, p.size()); ++i) {
      lo = {std::min(lo.x, p[i].x), std::min(lo.y, p[i].y), std::min(lo.z, p[i].z)};
      hi = {std::max(hi.x, p[i].x), std::max(hi.y, p[i].y), std::max(hi.z, p[i].z)};
    }
    c.chunks.emplace_back(lo, hi);
  }
}

}  // namespace

PickRay rayThroughPixel(const Camera& camera, float x, float y, int width, int height) {
  float nx = width > 0 ? 2 * x / float(width) - 1 : 0;
  float ny = height > 0 ? 1 - 2 * y / float(height) : 0;
  Mat4 toWorld = (camera.projection * camera.view).inverse();
  Vec3f nearPoint = toWorld.transformPoint({nx, ny, -1});
  Vec3f farPoint = toWorld.transformPoint({nx, ny, 1});
  return {nearPoint, normalized(farPoint - nearPoint)};
}

PickRay transformRay(const PickRay& ray, const Mat4& toLocal) {
  return {toLocal.transformPoint(ray.origin), toLocal.transformDir(ray.direction)};
}

NodePtr actualNodePtr(const NodePtr& node) {
  NodePtr n = node;
  for (int guard = 0; n && !n->extras().protoBody.empty() && guard < kMaxDepth; ++guard)
    n = n->extras().protoBody.front();
  return n;
}

const Picker::Cached& Picker::meshOf(const NodePtr& geometry) {
  auto it = meshes_.find(geometry.get());
  if (it != meshes_.end() && it->second.node.lock() == geometry) return it->second;
  Cached c;
  c.node = geometry;
  c.mesh = tessellate(*geometry);
  c.lo = {kInfinity, kInfinity, kInfinity};
  c.hi = {-kInfinity, -kInfinity, -kInfinity};
  if (c.mesh.kind == Mesh::Kind::Triangles) {
    c.mesh.bounds(c.lo, c.hi);
    chunkBoxes(c);
  }
  return meshes_[geometry.get()] = std::move(c);
}

PickHit Picker::pick(const std::vector<NodePtr>& roots, const std::string& baseDir,
                     const Viewer& viewer, const PickRay& ray) {
  PickWalk walk(*this, viewer, ray);
  walk.children(roots, Mat4{}, baseDir);
  PickHit hit = std::move(walk).result();
  if (!hit.hit()) hit.distance = 0;
  return hit;
}

}  // namespace kestrel
