// Writing an imported model (an assimp scene) as VRML97 text, the text a
// .wrl file would hold: the node hierarchy as nested Transforms, each mesh
// as a Shape with an IndexedFaceSet (coordinates, normals, texture
// coordinates and per-vertex colours, all sharing coordIndex), each
// material as a Material (Phong values, or PBR values mapped as closely as
// VRML97 allows), and the base colour map as an ImageTexture. Faces are
// two-sided (solid FALSE) unless the material says single-sided, as glTF
// materials do unless doubleSided. Meshes without normals get creaseAngle 1
// for the browser to smooth; those without any per-vertex data besides the
// position have equal positions joined (STL repeats every shared corner).
//
// The first material written is DEF Mat_NAME, later ones Mat_NAME_2,
// Mat_NAME_3..., so the object's colour and transparency handles bind to
// the first as for sphere files (a NAME that is no VRML identifier gets no
// DEF names). Images inside the model file are written as files into the
// texture cache folder; images the model names are used where they are
// when they lie inside the model's folder, and dropped otherwise.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct aiScene;

namespace kestrel {

struct ModelVrmlOptions {
  std::string objectName;       // for the material names
  std::string modelFolder;      // where the model's own image names resolve
  std::string modelPath;        // makes cached image names unique per model
  std::string textureCacheDir;  // embedded images go here; "": they are dropped
  float scale = 1;              // uniform scale around the model's origin
};

struct ModelVrml {
  std::vector<std::string> pieces;  // the text, in pieces that end at token boundaries
  size_t triangles = 0;
  size_t vertices = 0;
};

ModelVrml writeModelVrml(const aiScene& scene, const ModelVrmlOptions& options);

// Whether NAME can follow DEF in VRML97 text.
bool isVrmlIdentifier(const std::string& name);

}  // namespace kestrel
