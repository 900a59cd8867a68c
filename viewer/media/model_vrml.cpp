#include "viewer/media/model_vrml.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include <assimp/material.h>
#include <assimp/scene.h>

#include "viewer/media/model_textures.h"

namespace kestrel {
namespace {

// Pieces are cut at about this size, always between tokens.
constexpr size_t kPieceBytes = 16 * 1024;

class VrmlText {
 public:
  explicit VrmlText(std::vector<std::string>& pieces) : pieces_(pieces) {}
  ~VrmlText() { flush(); }

  VrmlText& operator<<(const std::string& text) {
    current_ += text;
    return *this;
  }
  VrmlText& operator<<(const char* text) {
    current_ += text;
    return *this;
  }
  VrmlText& operator<<(float value) {
    char buffer[32];
    if (!std::isfinite(value)) value = 0;
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    current_.append(buffer, error == std::errc() ? end : buffer);
    current_ += ' ';
    return *this;
  }
  VrmlText& operator<<(unsigned value) {
    char buffer[16];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    current_.append(buffer, error == std::errc() ? end : buffer);
    current_ += ' ';
    return *this;
  }
  // Ends a line; starts a new piece once the current one is big enough.
  void endLine() {
    if (current_.size() >= kPieceBytes) {
      flush();
    } else {
      current_ += '\n';
    }
  }
  void flush() {
    if (!current_.empty()) pieces_.push_back(std::move(current_));
    current_.clear();
  }

 private:
  std::vector<std::string>& pieces_;
  std::string current_;
};

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

float clamp01(float v) { return std::isfinite(v) ? std::clamp(v, 0.0f, 1.0f) : 0.0f; }

void writeColor(VrmlText& out, const char* field, const aiColor3D& c) {
  out << field << " " << clamp01(c.r) << clamp01(c.g) << clamp01(c.b);
}

// The VRML97 Material fields of MATERIAL. PBR values: the base colour is
// the diffuse colour, metals reflect their own colour, smooth surfaces
// shine more. Phong values map directly (the shininess exponent over 128).
void writeMaterialFields(VrmlText& out, const aiMaterial& m) {
  aiColor4D base(0.8f, 0.8f, 0.8f, 1);
  bool pbr = m.Get(AI_MATKEY_BASE_COLOR, base) == AI_SUCCESS;
  if (!pbr) m.Get(AI_MATKEY_COLOR_DIFFUSE, base);
  aiColor3D diffuse(base.r, base.g, base.b), emissive(0, 0, 0), specular(0, 0, 0);
  writeColor(out, "diffuseColor", diffuse);
  if (m.Get(AI_MATKEY_COLOR_EMISSIVE, emissive) == AI_SUCCESS) writeColor(out, "emissiveColor", emissive);
  float metallic = 0, roughness = 1, exponent = 0, opacity = 1;
  if (pbr && m.Get(AI_MATKEY_METALLIC_FACTOR, metallic) == AI_SUCCESS) {
    metallic = clamp01(metallic);
    specular = aiColor3D(0.04f, 0.04f, 0.04f) * (1 - metallic) + diffuse * metallic;
    writeColor(out, "specularColor", specular);
  } else if (m.Get(AI_MATKEY_COLOR_SPECULAR, specular) == AI_SUCCESS) {
    writeColor(out, "specularColor", specular);
  }
  if (pbr && m.Get(AI_MATKEY_ROUGHNESS_FACTOR, roughness) == AI_SUCCESS) {
    float smooth = 1 - clamp01(roughness);
    out << " shininess " << smooth * smooth;
  } else if (m.Get(AI_MATKEY_SHININESS, exponent) == AI_SUCCESS && exponent > 0) {
    out << " shininess " << clamp01(exponent / 128);
  }
  m.Get(AI_MATKEY_OPACITY, opacity);
  float transparency = std::max(1 - clamp01(opacity), 1 - clamp01(base.a));
  if (transparency > 0) out << " transparency " << transparency;
}

// A position by the bits of its coordinates (0 and -0 apart, which only
// leaves a seam).
struct PositionKey {
  uint32_t x, y, z;
  bool operator==(const PositionKey&) const = default;
};
struct PositionHash {
  size_t operator()(const PositionKey& k) const {
    uint64_t h = (uint64_t{k.x} * 0x9E3779B97F4A7C15ull) ^ (uint64_t{k.y} * 0xC2B2AE3D27D4EB4Full);
    return static_cast<size_t>(h ^ (uint64_t{k.z} * 0x165667B19E3779F9ull) ^ (h >> 29));
  }
};
PositionKey keyOf(const aiVector3D& v) {
  return {std::bit_cast<uint32_t>(v.x), std::bit_cast<uint32_t>(v.y), std::bit_cast<uint32_t>(v.z)};
}

class ModelWriter {
 public:
  ModelWriter(const aiScene& scene, const ModelVrmlOptions& options, ModelVrml& result)
      : scene_(scene), options_(options), result_(result), out_(result.pieces),
        defined_(scene.mNumMaterials, false), named_(isVrmlIdentifier(options.objectName)) {}

  void write() {
    out_ << "#VRML V2.0 utf8";
    out_.endLine();
    bool scaled = options_.scale != 1;
    if (scaled) out_ << "Transform { scale " << options_.scale << options_.scale << options_.scale << "children [";
    if (scene_.mRootNode != nullptr) writeNode(*scene_.mRootNode, 0);
    if (scaled) out_ << "] }";
    out_.endLine();
  }

 private:
  void writeNode(const aiNode& node, int depth) {
    // The importer has validated the graph; the limit only bounds the stack.
    if (depth > 1000) return;
    aiVector3D scale, axis, position;
    ai_real angle = 0;
    node.mTransformation.Decompose(scale, axis, angle, position);
    out_ << "Transform { translation " << position.x << position.y << position.z;
    if (angle != 0 && axis.Length() > 0) out_ << "rotation " << axis.x << axis.y << axis.z << angle;
    if (scale != aiVector3D(1, 1, 1)) out_ << "scale " << scale.x << scale.y << scale.z;
    out_ << "children [";
    out_.endLine();
    for (unsigned i = 0; i < node.mNumMeshes; ++i) {
      if (node.mMeshes[i] < scene_.mNumMeshes) writeShape(*scene_.mMeshes[node.mMeshes[i]]);
    }
    for (unsigned i = 0; i < node.mNumChildren; ++i) writeNode(*node.mChildren[i], depth + 1);
    out_ << "] }";
    out_.endLine();
  }

  // Faces are drawn from both sides unless the material says they have one
  // (glTF's doubleSided false): STL, OBJ and PLY files often wind some faces
  // the wrong way, and culling only pays off where the format promises.
  bool singleSided(unsigned index) const {
    int twoSided = 1;
    return index < scene_.mNumMaterials &&
           scene_.mMaterials[index]->Get(AI_MATKEY_TWOSIDED, twoSided) == AI_SUCCESS &&
           twoSided == 0;
  }

  // Normals of zero length would light nothing; without them the browser
  // computes its own.
  static bool usableNormals(const aiMesh& mesh) {
    if (mesh.mNormals == nullptr) return false;
    for (unsigned i = 0; i < mesh.mNumVertices; ++i) {
      float length = mesh.mNormals[i].SquareLength();
      if (!(length > 1e-12f) || !std::isfinite(length)) return false;
    }
    return true;
  }

  static size_t triangleCount(const aiMesh& mesh) {
    size_t n = 0;
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) n += mesh.mFaces[f].mNumIndices == 3;
    return n;
  }

  void writeShape(const aiMesh& mesh) {
    size_t triangles = triangleCount(mesh);
    if (triangles == 0) return;
    result_.triangles += triangles;
    out_ << "Shape { appearance Appearance { ";
    writeMaterial(mesh.mMaterialIndex);
    out_ << "} geometry IndexedFaceSet { ";
    if (!singleSided(mesh.mMaterialIndex)) out_ << "solid FALSE ";
    bool normals = usableNormals(mesh);
    // Without normals the browser smooths edges up to about 57 degrees.
    if (!normals) out_ << "creaseAngle 1 ";
    std::vector<unsigned> welded;
    bool weld = !normals && mesh.mTextureCoords[0] == nullptr && mesh.mColors[0] == nullptr;
    out_ << "coord Coordinate { point [";
    out_.endLine();
    if (weld) {
      welded = writeWelded(mesh);
    } else {
      writeVectors(mesh.mVertices, mesh.mNumVertices);
      result_.vertices += mesh.mNumVertices;
    }
    out_ << "] }";
    if (normals) {
      out_ << " normal Normal { vector [";
      out_.endLine();
      writeVectors(mesh.mNormals, mesh.mNumVertices);
      out_ << "] }";
    }
    if (mesh.mTextureCoords[0] != nullptr && mesh.mNumUVComponents[0] >= 2) writeTexCoords(mesh);
    if (mesh.mColors[0] != nullptr) writeColors(mesh);
    out_ << " coordIndex [";
    out_.endLine();
    writeFaces(mesh, welded);
    out_ << "] } }";
    out_.endLine();
  }

  // Writes each distinct position of MESH once (STL files repeat every
  // shared corner); returns the written index of every vertex.
  std::vector<unsigned> writeWelded(const aiMesh& mesh) {
    std::vector<unsigned> index(mesh.mNumVertices);
    std::unordered_map<PositionKey, unsigned, PositionHash> seen;
    seen.reserve(mesh.mNumVertices / 4);
    for (unsigned i = 0; i < mesh.mNumVertices; ++i) {
      const aiVector3D& v = mesh.mVertices[i];
      auto [at, added] = seen.try_emplace(keyOf(v), static_cast<unsigned>(seen.size()));
      index[i] = at->second;
      if (!added) continue;
      out_ << v.x << v.y << v.z;
      out_.endLine();
    }
    result_.vertices += seen.size();
    return index;
  }

  void writeMaterial(unsigned index) {
    if (index >= scene_.mNumMaterials) {
      out_ << "material Material { } ";
      return;
    }
    const aiMaterial& material = *scene_.mMaterials[index];
    std::string name = materialName(index);
    if (!name.empty() && defined_[index]) {
      out_ << "material USE " << name << " ";
    } else {
      if (!name.empty()) out_ << "material DEF " << name << " Material { ";
      else out_ << "material Material { ";
      writeMaterialFields(out_, material);
      out_ << "} ";
      defined_[index] = true;
    }
    std::string image = baseColorImage(scene_, material, options_);
    if (!image.empty()) out_ << "texture ImageTexture { url " << quoted(image) << " } ";
  }

  // Mat_NAME for the first material written, Mat_NAME_2 and on for later
  // ones; "" when NAME is no identifier.
  std::string materialName(unsigned index) {
    if (!named_) return "";
    auto known = std::find(order_.begin(), order_.end(), index);
    size_t position = known - order_.begin();
    if (known == order_.end()) order_.push_back(index);
    std::string name = "Mat_" + options_.objectName;
    return position == 0 ? name : name + "_" + std::to_string(position + 1);
  }

  void writeVectors(const aiVector3D* v, unsigned n) {
    for (unsigned i = 0; i < n; ++i) {
      out_ << v[i].x << v[i].y << v[i].z;
      out_.endLine();
    }
  }
  void writeTexCoords(const aiMesh& mesh) {
    out_ << " texCoord TextureCoordinate { point [";
    out_.endLine();
    for (unsigned i = 0; i < mesh.mNumVertices; ++i) {
      out_ << mesh.mTextureCoords[0][i].x << mesh.mTextureCoords[0][i].y;
      out_.endLine();
    }
    out_ << "] }";
  }
  void writeColors(const aiMesh& mesh) {
    out_ << " color Color { color [";
    out_.endLine();
    for (unsigned i = 0; i < mesh.mNumVertices; ++i) {
      const aiColor4D& c = mesh.mColors[0][i];
      out_ << clamp01(c.r) << clamp01(c.g) << clamp01(c.b);
      out_.endLine();
    }
    out_ << "] }";
  }
  // The triangles of MESH, their indices mapped through WELDED when given.
  void writeFaces(const aiMesh& mesh, const std::vector<unsigned>& welded) {
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
      const aiFace& face = mesh.mFaces[f];
      if (face.mNumIndices != 3) continue;
      unsigned i[3] = {face.mIndices[0], face.mIndices[1], face.mIndices[2]};
      if (i[0] >= mesh.mNumVertices || i[1] >= mesh.mNumVertices || i[2] >= mesh.mNumVertices) {
        continue;
      }
      if (!welded.empty()) {
        for (unsigned& k : i) k = welded[k];
      }
      out_ << i[0] << i[1] << i[2] << "-1";
      out_.endLine();
    }
  }

  const aiScene& scene_;
  const ModelVrmlOptions& options_;
  ModelVrml& result_;
  VrmlText out_;
  std::vector<bool> defined_;
  std::vector<unsigned> order_;  // materials in the order they got names
  bool named_;
};

bool isIdFirst(unsigned char c) {
  return c > 0x20 && c != 0x7f && std::string_view("\"#'+,-.[\\]{}0123456789").find(static_cast<char>(c)) == std::string_view::npos;
}
bool isIdRest(unsigned char c) {
  return c > 0x20 && c != 0x7f && std::string_view("\"#',.[\\]{}").find(static_cast<char>(c)) == std::string_view::npos;
}

}  // namespace

bool isVrmlIdentifier(const std::string& name) {
  if (name.empty() || !isIdFirst(static_cast<unsigned char>(name[0]))) return false;
  return std::all_of(name.begin() + 1, name.end(), [](char c) { return isIdRest(static_cast<unsigned char>(c)); });
}

ModelVrml writeModelVrml(const aiScene& scene, const ModelVrmlOptions& options) {
  ModelVrml result;
  {
    ModelWriter writer(scene, options, result);
    writer.write();
  }
  return result;
}

}  // namespace kestrel
