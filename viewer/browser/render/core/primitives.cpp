#include "viewer/browser/render/core/primitives.h"

#include <cmath>

#include "viewer/browser/render/core/math3d.h"

namespace kestrel {
namespace {

constexpr float kPi = 3.14159265358979f;

void vertex(Mesh& m, Vec3f p, Vec3f n, Vec2f t) {
  m.positions.push_back(p);
  m.normals.push_back(n);
  m.texCoords.push_back(t);
}

// Two triangles A B C, A C D (counter-clockwise seen from the front).
void quad(Mesh& m, Vec3f a, Vec3f b, Vec3f c, Vec3f d, Vec3f n) {
  vertex(m, a, n, {0, 0});
  vertex(m, b, n, {1, 0});
  vertex(m, c, n, {1, 1});
  vertex(m, a, n, {0, 0});
  vertex(m, c, n, {1, 1});
  vertex(m, d, n, {0, 1});
}

// A disc at height Y facing +Y (UP) or -Y, texture as seen from that side.
void disc(Mesh& m, float radius, float y, bool up, int segments) {
  Vec3f n{0, up ? 1.0f : -1.0f, 0};
  for (int i = 0; i < segments; ++i) {
    float a0 = 2 * kPi * float(i) / float(segments);
    float a1 = 2 * kPi * float(i + 1) / float(segments);
    Vec3f p0{-std::sin(a0) * radius, y, -std::cos(a0) * radius};
    Vec3f p1{-std::sin(a1) * radius, y, -std::cos(a1) * radius};
    float flip = up ? 1.0f : -1.0f;
    Vec2f t0{0.5f + p0.x / (2 * radius), 0.5f - flip * p0.z / (2 * radius)};
    Vec2f t1{0.5f + p1.x / (2 * radius), 0.5f - flip * p1.z / (2 * radius)};
    Vec3f centre{0, y, 0};
    vertex(m, centre, n, {0.5f, 0.5f});
    if (up) {
      vertex(m, p0, n, t0);
      vertex(m, p1, n, t1);
    } else {
      vertex(m, p1, n, t1);
      vertex(m, p0, n, t0);
    }
  }
}

}  // namespace

Mesh boxMesh(Vec3f size) {
  Mesh m;
  float x = size.x / 2, y = size.y / 2, z = size.z / 2;
  quad(m, {-x, -y, z}, {x, -y, z}, {x, y, z}, {-x, y, z}, {0, 0, 1});       // front
  quad(m, {x, -y, -z}, {-x, -y, -z}, {-x, y, -z}, {x, y, -z}, {0, 0, -1});  // back
  quad(m, {x, -y, z}, {x, -y, -z}, {x, y, -z}, {x, y, z}, {1, 0, 0});       // right
  quad(m, {-x, -y, -z}, {-x, -y, z}, {-x, y, z}, {-x, y, -z}, {-1, 0, 0});  // left
  quad(m, {-x, y, z}, {x, y, z}, {x, y, -z}, {-x, y, -z}, {0, 1, 0});       // top
  quad(m, {-x, -y, -z}, {x, -y, -z}, {x, -y, z}, {-x, -y, z}, {0, -1, 0});  // bottom
  return m;
}

Mesh sphereMesh(float radius, int segments) {
  Mesh m;
  int rings = segments / 2;
  auto at = [&](int i, int j, Vec3f& p, Vec3f& n, Vec2f& t) {
    float theta = kPi * float(j) / float(rings);          // from the north pole
    float phi = 2 * kPi * float(i) / float(segments);     // from -Z, towards -X
    n = {-std::sin(theta) * std::sin(phi), std::cos(theta), -std::sin(theta) * std::cos(phi)};
    p = n * radius;
    t = {float(i) / float(segments), 1 - float(j) / float(rings)};
  };
  for (int j = 0; j < rings; ++j)
    for (int i = 0; i < segments; ++i) {
      Vec3f p[4], n[4];
      Vec2f t[4];
      at(i, j, p[0], n[0], t[0]);
      at(i, j + 1, p[1], n[1], t[1]);
      at(i + 1, j + 1, p[2], n[2], t[2]);
      at(i + 1, j, p[3], n[3], t[3]);
      // The triangles that would touch a pole with two corners have no area.
      if (j + 1 < rings)
        for (int k : {0, 1, 2}) vertex(m, p[k], n[k], t[k]);
      if (j > 0)
        for (int k : {0, 2, 3}) vertex(m, p[k], n[k], t[k]);
    }
  return m;
}

Mesh coneMesh(float bottomRadius, float height, bool side, bool bottom, int segments) {
  Mesh m;
  float h = height / 2;
  if (side) {
    float slope = bottomRadius / (height > 0 ? height : 1);
    for (int i = 0; i < segments; ++i) {
      float a0 = 2 * kPi * float(i) / float(segments);
      float a1 = 2 * kPi * float(i + 1) / float(segments);
      float am = (a0 + a1) / 2;
      auto rim = [&](float a) { return Vec3f{-std::sin(a) * bottomRadius, -h, -std::cos(a) * bottomRadius}; };
      auto nrm = [&](float a) { return normalized({-std::sin(a), slope, -std::cos(a)}); };
      vertex(m, rim(a0), nrm(a0), {float(i) / float(segments), 0});
      vertex(m, rim(a1), nrm(a1), {float(i + 1) / float(segments), 0});
      vertex(m, {0, h, 0}, nrm(am), {(float(i) + 0.5f) / float(segments), 1});
    }
  }
  if (bottom) disc(m, bottomRadius, -h, false, segments);
  return m;
}

Mesh cylinderMesh(float radius, float height, bool side, bool top, bool bottom, int segments) {
  Mesh m;
  float h = height / 2;
  if (side) {
    for (int i = 0; i < segments; ++i) {
      float a0 = 2 * kPi * float(i) / float(segments);
      float a1 = 2 * kPi * float(i + 1) / float(segments);
      Vec3f n0{-std::sin(a0), 0, -std::cos(a0)}, n1{-std::sin(a1), 0, -std::cos(a1)};
      Vec3f b0 = n0 * radius + Vec3f{0, -h, 0}, b1 = n1 * radius + Vec3f{0, -h, 0};
      Vec3f t0 = n0 * radius + Vec3f{0, h, 0}, t1 = n1 * radius + Vec3f{0, h, 0};
      float s0 = float(i) / float(segments), s1 = float(i + 1) / float(segments);
      vertex(m, b0, n0, {s0, 0});
      vertex(m, b1, n1, {s1, 0});
      vertex(m, t1, n1, {s1, 1});
      vertex(m, b0, n0, {s0, 0});
      vertex(m, t1, n1, {s1, 1});
      vertex(m, t0, n0, {s0, 1});
    }
  }
  if (top) disc(m, radius, h, true, segments);
  if (bottom) disc(m, radius, -h, false, segments);
  return m;
}

}  // namespace kestrel
