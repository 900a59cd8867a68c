// The viewer's door to the model importer (model_import.h, through the Open
// Asset Import Library), which lives in a module of its own,
// libkestrel_model_formats.so, opened on the first model file
// (program_modules.h says where it is looked for).
//
// Most runs read only VRML: they start without mapping assimp and the
// libraries it pulls in. When the module cannot be opened, every import
// fails with the reason in its WHY ("model formats not loaded: ..."), so the
// model is reported like a file that cannot be read.
//
// A program that links the importer itself (tests do, through
// kestrel_model_formats_builtin) uses that instead and opens nothing.
#pragma once

#include <string>

#include "viewer/media/model_import.h"
#include "viewer/media/model_names.h"

namespace kestrel {

class ModelFormats {
 public:
  virtual ~ModelFormats() = default;
  // importModel's contract (model_import.h).
  virtual bool importModel(const std::string& path, const ModelImportOptions& options,
                           ModelVrml& model, std::string& why) = 0;
};

// importModel through the module; false with WHY set when the module
// cannot be opened. Thread-safe.
bool importModelFile(const std::string& path, const ModelImportOptions& options,
                     ModelVrml& model, std::string& why);

// The file name of the module.
inline constexpr const char* kModelFormatsModule = "libkestrel_model_formats.so";
// The module's entry point, an extern "C" function returning ModelFormats*.
inline constexpr const char* kModelFormatsEntry = "kestrel_model_formats";

// For the importer linked into a program: use FORMATS (which must live as
// long as the process) instead of opening the module.
void useBuiltInModelFormats(ModelFormats* formats);

}  // namespace kestrel
