#include "viewer/browser/render/core/camera.h"

#include <algorithm>
#include <cmath>

#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/render_keys.h"

namespace kestrel {
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
  // A Viewpoint under a scaling Transform moves with it but sees at the
  // scale of the world: eye depths, light distances and clip planes stay in step.
  return rigidPart(parent * Mat4::translation(position) * Mat4::rotation(orientation));
}

ViewerPose viewerPose(const Mat4& eyeToWorld, float fov, const Bindings& bound, int width,
                      int height) {
  ViewerPose pose;
  pose.position = eyeToWorld.transformPoint({0, 0, 0});
  pose.orientation = axisAngleOf(eyeToWorld);
  pose.fieldOfView = fov;
  pose.aspect = float(std::max(width, 1)) / float(std::max(height, 1));
  if (bound.navigationInfo)
    pose.visibilityLimit =
        fieldOr(*bound.navigationInfo, renderKeys().navigationInfo.visibilityLimit, 0.0f);
  return pose;
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
