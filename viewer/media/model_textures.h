// Where the base colour image of a model's material comes from: a file the
// model names (used only inside the model's folder) or an image stored in
// the model file itself (written into the texture cache folder).
#pragma once

#include <string>

struct aiMaterial;
struct aiScene;

namespace kestrel {

struct ModelVrmlOptions;

// The absolute path of MATERIAL's base colour (or diffuse) image, or ""
// when it has none, names a file outside the model's folder, or holds an
// embedded image that cannot be written.
std::string baseColorImage(const aiScene& scene, const aiMaterial& material,
                           const ModelVrmlOptions& options);

}  // namespace kestrel
