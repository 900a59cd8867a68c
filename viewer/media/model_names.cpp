#include "viewer/media/model_names.h"

#include <array>
#include <cctype>

namespace kestrel {
namespace {

constexpr std::array<const char*, 9> kModelSuffixes = {"gltf", "glb", "obj", "stl", "ply",
                                                       "dae", "3ds", "x3d", "x3dv"};

std::string lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string modelSuffix(const std::string& path) {
  size_t dot = path.find_last_of('.');
  size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return lowered(path.substr(dot + 1));
}

bool isModelFileName(const std::string& path) {
  std::string suffix = modelSuffix(path);
  for (const char* known : kModelSuffixes) {
    if (suffix == known && path.size() > suffix.size() + 1) return true;
  }
  return false;
}

}  // namespace kestrel
