// Importing a model file (glTF, OBJ with its MTL, STL, PLY, Collada, 3DS,
// X3D) with the Open Asset Import Library and converting it into VRML97
// text (model_vrml.h). The model file and everything it names are read
// only from the model's folder (model_files.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "viewer/browser/file_input.h"
#include "viewer/media/model_vrml.h"

namespace kestrel {

struct ModelImportOptions {
  size_t maxFileBytes = kMaxSceneFileBytes;  // per file read
  std::string objectName;                   // see ModelVrmlOptions
  std::string textureCacheDir;              // see ModelVrmlOptions
  float scale = 1;
};

// Reads and converts the model at PATH (its format chosen by the suffix).
// False, with the reason in WHY, for a file that cannot be read, that the
// importer refuses, or that holds no triangles.
bool importModel(const std::string& path, const ModelImportOptions& options, ModelVrml& model,
                 std::string& why);

// The same for a model already in memory. SUFFIX names the format ("stl",
// "obj"...); files the model names are looked for in FOLDER ("" : none).
bool importModelBytes(std::string_view bytes, const std::string& suffix,
                      const std::string& folder, const ModelImportOptions& options,
                      ModelVrml& model, std::string& why);

}  // namespace kestrel
