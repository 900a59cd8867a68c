// The model importer and its VRML97 writer over arbitrary bytes. The first
// byte picks the format (STL, OBJ, PLY, glTF, GLB); the rest is the file.
// No folder is given, so nothing but the bytes is read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "viewer/media/model_import.h"

// The library itself leaks a few objects of a failed import (an STL facet
// without vertices, a check of its own that fails); those leaks are its own,
// so stacks through it are not reported, and only our code's leaks count.
extern "C" const char* __lsan_default_suppressions() { return "leak:libassimp.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const char* const kFormats[] = {"stl", "obj", "ply", "gltf", "glb"};
  std::string suffix = kFormats[data[0] % 5];
  std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  kestrel::ModelImportOptions options;
  options.objectName = "fuzz";
  kestrel::ModelVrml model;
  std::string why;
  kestrel::importModelBytes(bytes, suffix, "", options, model, why);
  return 0;
}
