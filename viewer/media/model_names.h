// Which files are models, by name alone (no importer needed).
#pragma once

#include <string>

namespace kestrel {

// Whether PATH ends in one of the model suffixes (any letter case): .gltf,
// .glb, .obj, .stl, .ply, .dae, .3ds, .x3d, .x3dv.
bool isModelFileName(const std::string& path);

// The part of PATH after its last ".", in lower case ("" without one): the
// format hint for the importer.
std::string modelSuffix(const std::string& path);

}  // namespace kestrel
