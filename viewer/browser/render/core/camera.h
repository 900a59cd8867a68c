// The camera of a frame: from the bound Viewpoint (or the default one at
// 0 0 10 looking down -Z) and NavigationInfo, for an image of a given size.
#pragma once

#include "viewer/browser/environment_sensors.h"
#include "viewer/browser/render/core/draw_list.h"
#include "viewer/browser/render/core/traversal.h"

namespace kestrel {

struct Camera {
  Mat4 view;        // world to eye
  Mat4 projection;  // eye to clip
  Viewer viewer;    // position and up in the world
  float nearZ = 0.125f, farZ = 1000;
  bool headlight = true;
};

// SCENERADIUS/SCENECENTRE bound what is drawn, so the far plane can enclose
// it when NavigationInfo sets no visibility limit.
Camera cameraFor(const Bindings& bound, int width, int height, Vec3f sceneCentre,
                 float sceneRadius);

// The same for an eye placed by EYETOWORLD (a rigid motion) with the field
// of view FOV across the image's smaller side; BOUND supplies the
// NavigationInfo's avatar size, visibility limit and headlight.
Camera cameraAt(const Mat4& eyeToWorld, float fov, const Bindings& bound, int width, int height,
                Vec3f sceneCentre, float sceneRadius);

// The viewer's pose for the browser's sensors: an eye placed by EYETOWORLD
// with field of view FOV, in a WIDTH x HEIGHT view, with BOUND's
// visibility limit.
ViewerPose viewerPose(const Mat4& eyeToWorld, float fov, const Bindings& bound, int width,
                      int height);

// The field of view of the bound Viewpoint (0.785398 when none or unusable).
float boundFieldOfView(const Bindings& bound);
// Eye to world of the bound Viewpoint (or the default one at 0 0 10).
Mat4 boundEyeToWorld(const Bindings& bound);

}  // namespace kestrel
