#include "viewer/browser/render/core/collision.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "viewer/browser/placed_nodes.h"
#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/render_keys.h"
#include "viewer/browser/render/core/tessellate.h"
#include "viewer/browser/render/core/traversal.h"

namespace kestrel {
namespace {

// The point of triangle ABC closest to P (by regions of the triangle).
Vec3f closestOnTriangle(Vec3f p, Vec3f a, Vec3f b, Vec3f c) {
  const Vec3f ab = b - a, ac = c - a, ap = p - a;
  const float d1 = dot(ab, ap), d2 = dot(ac, ap);
  if (d1 <= 0 && d2 <= 0) return a;
  const Vec3f bp = p - b;
  const float d3 = dot(ab, bp), d4 = dot(ac, bp);
  if (d3 >= 0 && d4 <= d3) return b;
  const float vc = d1 * d4 - d3 * d2;
  if (vc <= 0 && d1 >= 0 && d3 <= 0) return a + ab * (d1 / (d1 - d3));
  const Vec3f cp = p - c;
  const float d5 = dot(ab, cp), d6 = dot(ac, cp);
  if (d6 >= 0 && d5 <= d6) return c;
  const float vb = d5 * d2 - d1 * d6;
  if (vb <= 0 && d2 >= 0 && d6 <= 0) return a + ac * (d2 / (d2 - d6));
  const float va = d3 * d6 - d5 * d4;
  if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0)
    return b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
  const float denom = 1 / (va + vb + vc);
  return a + ab * (vb * denom) + ac * (vc * denom);
}

// Where the ray FROM + t * DIR meets triangle ABC (t >= 0), or -1.
float rayHit(Vec3f from, Vec3f dir, Vec3f a, Vec3f b, Vec3f c) {
  const Vec3f e1 = b - a, e2 = c - a;
  const Vec3f h = cross(dir, e2);
  const float det = dot(e1, h);
  if (std::fabs(det) < 1e-12f) return -1;
  const float inv = 1 / det;
  const Vec3f s = from - a;
  const float u = dot(s, h) * inv;
  if (u < 0 || u > 1) return -1;
  const Vec3f q = cross(s, e1);
  const float v = dot(dir, q) * inv;
  if (v < 0 || u + v > 1) return -1;
  const float t = dot(e2, q) * inv;
  return t >= 0 ? t : -1;
}

bool near(const Vec3f& p, float radius, const Vec3f& lo, const Vec3f& hi) {
  return p.x >= lo.x - radius && p.x <= hi.x + radius && p.y >= lo.y - radius &&
         p.y <= hi.y + radius && p.z >= lo.z - radius && p.z <= hi.z + radius;
}

// The Collision node nearest above a node whose PARENTS are given.
const Node* innermostGroup(const std::vector<const Node*>& parents) {
  for (auto it = parents.rbegin(); it != parents.rend(); ++it)
    if ((*it)->type->standard && (*it)->type->kind == NodeKind::Collision) return *it;
  return nullptr;
}

}  // namespace

void CollisionScene::build(const std::vector<NodePtr>& roots, Vec3f viewer) {
  parts_.clear();
  // FIXED: the group of a proxy's surfaces, whose walk starts below it.
  std::function<void(const std::vector<NodePtr>&, const Mat4&, const Node*)> gather =
      [&](const std::vector<NodePtr>& nodes, const Mat4& start, const Node* fixed) {
        forEachPlacedNode(nodes, viewer, [&](const PlacedNode& placed) {
          const Node& n = *placed.node;
          if (!n.type->standard) return true;
          if (n.type->kind == NodeKind::Collision) {
            if (!fieldOr(n, "collide", true)) return false;
            if (NodePtr proxy = fieldOr<NodePtr>(n, "proxy", nullptr)) {
              gather({proxy}, placed.toWorld, &n);
              return false;
            }
          } else if (n.type->kind == NodeKind::Shape) {
            const Node* group = innermostGroup(placed.parents);
            addShape(n, placed.toWorld, group ? group : fixed);
            return false;
          }
          return true;
        }, start);
      };
  gather(roots, Mat4{}, nullptr);
}

void CollisionScene::addShape(const Node& shape, const Mat4& toWorld, const Node* group) {
  const Node* geometry = actualNode(nodeOf(shape, renderKeys().shape.geometry).get());
  if (!geometry) return;
  auto [cached, fresh] = meshes_.try_emplace(geometry);
  if (fresh) {
    Mesh mesh = tessellate(*geometry);
    if (mesh.kind == Mesh::Kind::Triangles) {
      cached->second = std::move(mesh.positions);
      cached->second.resize(cached->second.size() / 3 * 3);
    }
  }
  if (cached->second.empty()) return;
  Part part;
  part.group = group;
  part.triangles.reserve(cached->second.size());
  part.lo = {1e30f, 1e30f, 1e30f};
  part.hi = {-1e30f, -1e30f, -1e30f};
  for (const Vec3f& local : cached->second) {
    Vec3f p = toWorld.transformPoint(local);
    part.triangles.push_back(p);
    part.lo = {std::min(part.lo.x, p.x), std::min(part.lo.y, p.y), std::min(part.lo.z, p.z)};
    part.hi = {std::max(part.hi.x, p.x), std::max(part.hi.y, p.y), std::max(part.hi.z, p.z)};
  }
  parts_.push_back(std::move(part));
}

bool CollisionScene::touches(Vec3f p, float radius, const Node** group) const {
  for (const Part& part : parts_) {
    if (!near(p, radius, part.lo, part.hi)) continue;
    const auto& t = part.triangles;
    for (size_t i = 0; i + 2 < t.size(); i += 3) {
      if (length(closestOnTriangle(p, t[i], t[i + 1], t[i + 2]) - p) <= radius) {
        if (group) *group = part.group;
        return true;
      }
    }
  }
  return false;
}

bool CollisionScene::groundBelow(Vec3f p, Vec3f up, float reach, float& distance) const {
  const Vec3f down = normalized(up) * -1.0f;
  bool found = false;
  distance = reach;
  const Vec3f end = p + down * reach;
  const Vec3f lo{std::min(p.x, end.x), std::min(p.y, end.y), std::min(p.z, end.z)};
  const Vec3f hi{std::max(p.x, end.x), std::max(p.y, end.y), std::max(p.z, end.z)};
  for (const Part& part : parts_) {
    if (part.hi.x < lo.x || part.lo.x > hi.x || part.hi.y < lo.y || part.lo.y > hi.y ||
        part.hi.z < lo.z || part.lo.z > hi.z)
      continue;
    const auto& t = part.triangles;
    for (size_t i = 0; i + 2 < t.size(); i += 3) {
      float d = rayHit(p, down, t[i], t[i + 1], t[i + 2]);
      if (d >= 0 && d <= distance) {
        distance = d;
        found = true;
      }
    }
  }
  return found;
}

}  // namespace kestrel
