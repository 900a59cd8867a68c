#include "viewer/media/model_textures.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <assimp/material.h>
#include <assimp/scene.h>

#include "viewer/media/model_files.h"
#include "viewer/media/model_vrml.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

bool materialImage(const aiMaterial& material, std::string& name) {
  aiString path;
  for (aiTextureType type : {aiTextureType_BASE_COLOR, aiTextureType_DIFFUSE}) {
    if (material.GetTexture(type, 0, &path) == AI_SUCCESS && path.length > 0) {
      name = path.C_Str();
      return true;
    }
  }
  return false;
}

// FNV-1a of TEXT, so models of one base name in different folders do not
// share cached images.
uint32_t hashOf(const std::string& text) {
  uint32_t hash = 2166136261u;
  for (unsigned char c : text) hash = (hash ^ c) * 16777619u;
  return hash;
}

// The suffix of a compressed embedded image the renderer can decode; "" for
// any other (raw texels, unknown formats).
std::string imageSuffix(const aiTexture& texture) {
  if (texture.mHeight != 0) return "";
  std::string hint = texture.achFormatHint;
  if (hint == "png") return "png";
  if (hint == "jpg" || hint == "jpeg") return "jpg";
  return "";
}

std::string writeEmbedded(const aiTexture& texture, int index, const ModelVrmlOptions& options) {
  std::string suffix = imageSuffix(texture);
  if (options.textureCacheDir.empty() || suffix.empty() || texture.pcData == nullptr) return "";
  std::error_code error;
  fs::create_directories(options.textureCacheDir, error);
  if (error) return "";
  char tag[16];
  std::snprintf(tag, sizeof tag, "%08x", hashOf(fs::absolute(options.modelPath).string()));
  std::string name = (options.objectName.empty() ? "model" : options.objectName) + "-" + tag +
                     "-" + std::to_string(index) + "." + suffix;
  fs::path file = fs::absolute(fs::path(options.textureCacheDir) / name);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(texture.pcData), texture.mWidth);
  out.close();
  return out ? file.string() : "";
}

}  // namespace

std::string baseColorImage(const aiScene& scene, const aiMaterial& material,
                           const ModelVrmlOptions& options) {
  std::string name;
  if (!materialImage(material, name)) return "";
  auto [embedded, index] = scene.GetEmbeddedTextureAndIndex(name.c_str());
  if (embedded != nullptr) return writeEmbedded(*embedded, index, options);
  if (name[0] == '*') return "";
  for (char& c : name) c = c == '\\' ? '/' : c;
  return options.modelFolder.empty() ? "" : pathInsideFolder(options.modelFolder, name);
}

}  // namespace kestrel
