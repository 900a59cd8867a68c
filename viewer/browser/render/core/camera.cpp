#include "viewer/browser/render/core/camera.h"

#include <algorithm>
#include <cmath>

#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/render_keys.h"

namespace kestrel {
namespace {

// M without its scale and shear: the same origin and direction of view
// (-Z), the nearest right-angled up (Y), and X to make it right-handed. A Viewpoint under a scaling Transform
// moves with it but sees at the scale of the world; a view matrix with a
// scale would put eye-space depths, light distances and the clip planes
// out of step with each other.
Mat4 rigid(const Mat4& m) {
  Vec3f o = m.transformPoint({0, 0, 0});
  Vec3f z = normalized(m.transformDir({0, 0, 1}));
  Vec3f x = normalized(cross(m.transformDir({0, 1, 0}), z));
  if (length(x) < 0.5f || length(z) < 0.5f) return Mat4::translation(o);  // degenerate
  Vec3f y = cross(z, x);
  Mat4 r;
  const Vec3f axes[4] = {x, y, z, o};
  for (int c = 0; c < 4; ++c) {
    r.at(0, c) = axes[c].x;
    r.at(1, c) = axes[c].y;
    r.at(2, c) = axes[c].z;
  }
  return r;
}

}  // namespace

float boundFieldOfView(const Bindings& bound) {
  float fov = 0.785398f;
  if (bound.viewpoint) fov = fieldOr(*bound.viewpoint, renderKeys().viewpoint.fieldOfView, fov);
  return fov > 0.01f && fov < 3.1f ? fov : 0.785398f;
}

Mat4 boundEyeToWorld(const Bindings& bound) {
  Vec3f position{0, 0, 10};
  Rotation orientation;
  Mat4 parent;
  if (bound.viewpoint) {
    position = fieldOr(*bound.viewpoint, renderKeys().viewpoint.position, position);
    orientation = fieldOr(*bound.viewpoint, renderKeys().viewpoint.orientation, orientation);
    parent = bound.viewpointMatrix;
  }
  return rigid(parent * Mat4::translation(position) * Mat4::rotation(orientation));
}

Camera cameraFor(const Bindings& bound, int width, int height, Vec3f sceneCentre,
                 float sceneRadius) {
  return cameraAt(boundEyeToWorld(bound), boundFieldOfView(bound), bound, width, height,
                  sceneCentre, sceneRadius);
}

Camera cameraAt(const Mat4& eyeToWorld, float fov, const Bindings& bound, int width, int height,
                Vec3f sceneCentre, float sceneRadius) {
  Camera cam;
  cam.view = eyeToWorld.inverse();
  cam.viewer.position = eyeToWorld.transformPoint({0, 0, 0});
  cam.viewer.up = normalized(eyeToWorld.transformDir({0, 1, 0}));

  float avatar = 0.25f, limit = 0;
  if (bound.navigationInfo) {
    const auto& size = listOf<float>(*bound.navigationInfo, renderKeys().navigationInfo.avatarSize);
    if (!size.empty() && size[0] > 0) avatar = size[0];
    limit = fieldOr(*bound.navigationInfo, renderKeys().navigationInfo.visibilityLimit, 0.0f);
    cam.headlight = fieldOr(*bound.navigationInfo, renderKeys().navigationInfo.headlight, true);
  }
  float reach = length(cam.viewer.position - sceneCentre) + sceneRadius;
  cam.farZ = limit > 0 ? limit : std::max(reach * 1.05f, 1.0f);
  // Keep the depth range within what a 24-bit buffer resolves.
  cam.nearZ = std::max(std::min(avatar / 2, cam.farZ / 10), cam.farZ / 100000);
  float aspect = float(std::max(width, 1)) / float(std::max(height, 1));
  // fieldOfView is the angle across the image's smaller side.
  float fovy = aspect >= 1 ? fov : 2 * std::atan(std::tan(fov / 2) / aspect);
  cam.projection = Mat4::perspective(fovy, aspect, cam.nearZ, cam.farZ);
  return cam;
}

}  // namespace kestrel
