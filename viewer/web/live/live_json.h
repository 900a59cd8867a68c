// The JSON texts of the live view and the API: the full description of the
// scene, single objects, meshes, and the update between two snapshots.
// Pure functions; safe from any thread.
//
// Numbers are written with six significant digits (the scene holds floats).
// Shapes: see docs/api.md.
#pragma once

#include <string>

#include "viewer/browser/render/core/mesh.h"
#include "viewer/web/live/live_scene.h"

namespace kestrel {

// {"kind":"triangles","positions":[...],"normals":[...],"colors":[...],"uvs":[...],"solid":true}
std::string meshJson(const Mesh& mesh);

// The whole scene: {"seq":N,"view":{...},"objects":[...],"scenery":[...]}.
std::string sceneJson(const LiveSnapshot& snapshot);

// The objects without their shapes: [{"id":0,"name":...}, ...].
std::string objectsJson(const LiveSnapshot& snapshot);

// One object without its shapes (INDEX within the snapshot).
std::string objectJson(const LiveSnapshot& snapshot, size_t index);

// What changed from BEFORE to AFTER, at most one entry per object and
// field: {"seq":N,"changes":[...]}; "" when nothing did.
std::string updateJson(const LiveSnapshot& before, const LiveSnapshot& after);

}  // namespace kestrel
