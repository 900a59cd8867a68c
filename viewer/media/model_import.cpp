#include "viewer/media/model_import.h"

#include <filesystem>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <assimp/BaseImporter.h>
#include <assimp/Importer.hpp>
#include <assimp/MemoryIOWrapper.h>
#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include "viewer/browser/file_input.h"
#include "viewer/media/model_files.h"

// Debian builds the library with its assertions on, and an assertion that
// fails aborts the program: a damaged PLY trips one in triangulation. This
// definition takes the place of the library's own (the program's symbol
// comes first when the library's calls are bound) and throws instead, which
// the library's import turns into a failed read, so the file is refused.
namespace Assimp {
void aiAssertViolation(const char* failedExpression, const char* file, int line) {
  throw std::runtime_error(std::string("the library's check failed: ") + failedExpression +
                           " (" + file + ":" + std::to_string(line) + ")");
}
}  // namespace Assimp

namespace kestrel {
namespace {

// Vertices shared by faces are joined by the importer only for formats that
// store them apart per face and are small in practice; STL vertices are
// joined while writing (far faster for the million-triangle files STL is
// used for), glTF and PLY store them shared already. Normals are not
// generated here: the browser smooths meshes without normals itself.
unsigned importSteps(const std::string& suffix) {
  unsigned steps = aiProcess_Triangulate | aiProcess_SortByPType | aiProcess_ValidateDataStructure;
  if (suffix == "stl") return steps | aiProcess_RemoveComponent;
  if (suffix == "gltf" || suffix == "glb" || suffix == "ply") return steps;
  return steps | aiProcess_JoinIdenticalVertices;
}

std::string readRefusal(FileRead read, size_t maxBytes) {
  std::string why = refusalText(read, maxBytes);
  if (!why.empty()) return why;
  return read == FileRead::kCannotOpen ? "cannot open the file" : "cannot read the file";
}

// The importer's message with the name it gives a file read from memory
// replaced by a plain one.
std::string withoutMagicName(std::string message) {
  const std::string magic = AI_MEMORYIO_MAGIC_FILENAME ".";
  for (size_t at = message.find(magic); at != std::string::npos; at = message.find(magic, at)) {
    message.replace(at, magic.size(), "model.");
  }
  return message;
}

// Leaves the importer only the readers of the file's own format. By default
// the library, when the reader of the suffix's format refuses the bytes,
// guesses the format from them and hands them to any of its sixty readers;
// a file is read as what its name says or refused. Unregistered readers
// belong to the caller, so they are deleted here.
void keepReadersOf(Assimp::Importer& importer, const std::string& suffix) {
  std::vector<Assimp::BaseImporter*> others;
  for (size_t i = 0; i < importer.GetImporterCount(); ++i) {
    Assimp::BaseImporter* reader = importer.GetImporter(i);
    std::set<std::string> suffixes;
    reader->GetExtensionList(suffixes);
    if (suffixes.count(suffix) == 0) others.push_back(reader);
  }
  for (Assimp::BaseImporter* reader : others) {
    if (importer.UnregisterLoader(reader) == AI_SUCCESS) delete reader;
  }
}

// The library's PLY reader looks for the header's end line by line and,
// when no line starts with "end_header" (a damaged "pros end_header"), goes
// on past the end of the file and never returns. Such files are refused
// first. Other header lines stay the library's to judge: exporters write
// lines of their own there (Blender 2.4's "Created by ...").
std::string plyHeaderProblem(std::string_view bytes) {
  for (size_t start = 0; start < bytes.size();) {
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    const std::string_view line = bytes.substr(start, end - start);
    const std::string_view word = line.substr(0, line.find_first_of(" \t\r"));
    if (word == "end_header") return "";
    start = end + 1;
  }
  return "not a readable model: PLY: no header line starts with end_header";
}

// Runs the importer; its own exceptions (and running out of memory on a
// file that claims huge counts) become a refusal.
const aiScene* runImporter(Assimp::Importer& importer, std::string_view bytes,
                           const std::string& suffix, unsigned steps, std::string& why) {
  try {
    const aiScene* scene =
        importer.ReadFileFromMemory(bytes.data(), bytes.size(), steps, suffix.c_str());
    if (scene == nullptr) why = "not a readable model: " + withoutMagicName(importer.GetErrorString());
    return scene;
  } catch (const std::bad_alloc&) {
    why = "not a readable model: it needs more memory than there is";
  } catch (const std::exception& e) {
    why = std::string("not a readable model: ") + e.what();
  }
  return nullptr;
}

}  // namespace

bool importModelBytes(std::string_view bytes, const std::string& suffix,
                      const std::string& folder, const ModelImportOptions& options,
                      ModelVrml& model, std::string& why) {
  if (bytes.empty()) {
    why = "the file is empty";
    return false;
  }
  Assimp::Importer importer;
  // Points and lines are no part of a surface model.
  importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
  keepReadersOf(importer, suffix);
  // Files the model names resolve in its folder; without one, nowhere.
  importer.SetIOHandler(new FolderIoSystem(folder, options.maxFileBytes));
  // STL facet normals are often zero or wrong: the surface's own count.
  importer.SetPropertyInteger(AI_CONFIG_PP_RVC_FLAGS, aiComponent_NORMALS);
  if (suffix == "ply") {
    why = plyHeaderProblem(bytes);
    if (!why.empty()) return false;
  }
  const aiScene* scene = runImporter(importer, bytes, suffix, importSteps(suffix), why);
  if (scene == nullptr && suffix == "x3dv") {
    // The library reads X3D's XML encoding only; say what would work.
    why = "not a readable model: X3D's classic encoding (.x3dv) is not read, its XML encoding "
          "(.x3d) is";
  }
  if (scene == nullptr) return false;
  ModelVrmlOptions vrml{options.objectName, folder, folder + "/" + options.objectName,
                        options.textureCacheDir, options.scale};
  model = writeModelVrml(*scene, vrml);
  if (model.triangles == 0) {
    why = "the model has no triangles";
    return false;
  }
  return true;
}

bool importModel(const std::string& path, const ModelImportOptions& options, ModelVrml& model,
                 std::string& why) {
  std::string bytes;
  if (FileRead read = readRegularFile(path, options.maxFileBytes, bytes); read != FileRead::kOk) {
    why = readRefusal(read, options.maxFileBytes);
    return false;
  }
  std::string folder = std::filesystem::path(path).parent_path().string();
  return importModelBytes(bytes, modelSuffix(path), folder.empty() ? "." : folder, options, model,
                          why);
}

}  // namespace kestrel
