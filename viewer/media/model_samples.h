// Small models in every format the importer reads, written by the tests
// into temporary folders: a box as ASCII and binary STL, a textured quad as
// OBJ with its MTL, a triangle as glTF with its buffer inside the JSON, and
// a coloured quad as PLY.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kestrel::testing {

struct Triangle {
  float v[3][3];
};

// The 12 triangles of the box from LO to HI.
inline std::vector<Triangle> boxTriangles(const float lo[3], const float hi[3]) {
  auto p = [&](int i) {
    return std::vector<float>{(i & 1) ? hi[0] : lo[0], (i & 2) ? hi[1] : lo[1],
                              (i & 4) ? hi[2] : lo[2]};
  };
  const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                           {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  std::vector<Triangle> out;
  for (const auto& q : quads) {
    for (const auto& tri : {std::vector<int>{q[0], q[1], q[2]}, {q[0], q[2], q[3]}}) {
      Triangle t{};
      for (int k = 0; k < 3; ++k) {
        std::vector<float> c = p(tri[k]);
        for (int j = 0; j < 3; ++j) t.v[k][j] = c[j];
      }
      out.push_back(t);
    }
  }
  return out;
}

inline std::string asciiStl(const std::vector<Triangle>& triangles) {
  std::string text = "solid box\n";
  for (const Triangle& t : triangles) {
    text += " facet normal 0 0 0\n  outer loop\n";
    for (const auto& v : t.v) {
      text += "   vertex " + std::to_string(v[0]) + " " + std::to_string(v[1]) + " " +
              std::to_string(v[2]) + "\n";
    }
    text += "  endloop\n endfacet\n";
  }
  return text + "endsolid box\n";
}

inline std::string binaryStl(const std::vector<Triangle>& triangles) {
  std::string bytes(80, 'k');
  uint32_t n = static_cast<uint32_t>(triangles.size());
  bytes.append(reinterpret_cast<const char*>(&n), 4);
  for (const Triangle& t : triangles) {
    float normal[3] = {0, 0, 0};
    bytes.append(reinterpret_cast<const char*>(normal), sizeof normal);
    bytes.append(reinterpret_cast<const char*>(t.v), sizeof t.v);
    bytes.append(2, '\0');
  }
  return bytes;
}

// A red quad from (0,0,0) to (2,1,0) with texture coordinates, material
// "paint" in quad.mtl naming the image wood.png.
inline const char* kQuadObj =
    "mtllib quad.mtl\n"
    "v 0 0 0\nv 2 0 0\nv 2 1 0\nv 0 1 0\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "usemtl paint\n"
    "f 1/1 2/2 3/3 4/4\n";
inline const char* kQuadMtl =
    "newmtl paint\nKd 1 0 0\nKs 0 0 0\nNs 64\nmap_Kd wood.png\n";

// One blue triangle (0,0,0) (1,0,0) (0,1,0), moved by (2,0,0).
inline const char* kTriangleGltf = R"({
  "asset": {"version": "2.0"},
  "scene": 0,
  "scenes": [{"nodes": [0]}],
  "nodes": [{"mesh": 0, "translation": [2, 0, 0]}],
  "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "indices": 1, "material": 0}]}],
  "materials": [{"pbrMetallicRoughness": {"baseColorFactor": [0, 0, 1, 1],
                 "metallicFactor": 0, "roughnessFactor": 0.5}}],
  "buffers": [{"byteLength": 44, "uri":
    "data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAAABAAIAAAA="}],
  "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 36},
                  {"buffer": 0, "byteOffset": 36, "byteLength": 6}],
  "accessors": [
    {"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
     "min": [0, 0, 0], "max": [1, 1, 0]},
    {"bufferView": 1, "componentType": 5123, "count": 3, "type": "SCALAR"}]
}
)";

// The triangle with texture coordinates, textured with a 1 by 1 PNG image
// stored inside the file.
inline const char* kTexturedTriangleGltf = R"({
  "asset": {"version": "2.0"},
  "scene": 0,
  "scenes": [{"nodes": [0]}],
  "nodes": [{"mesh": 0}],
  "meshes": [{"primitives": [{"attributes": {"POSITION": 0, "TEXCOORD_0": 1}, "indices": 2,
                              "material": 0}]}],
  "materials": [{"pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}}],
  "textures": [{"source": 0}],
  "images": [{"uri": "data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg=="}],
  "buffers": [{"byteLength": 68, "uri": "data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAAAAAAAAAAAAAIA/AAAAAAAAAAAAAIA/AAABAAIAAAA="}],
  "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 36},
                  {"buffer": 0, "byteOffset": 36, "byteLength": 24},
                  {"buffer": 0, "byteOffset": 60, "byteLength": 6}],
  "accessors": [
    {"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
     "min": [0, 0, 0], "max": [1, 1, 0]},
    {"bufferView": 1, "componentType": 5126, "count": 3, "type": "VEC2"},
    {"bufferView": 2, "componentType": 5123, "count": 3, "type": "SCALAR"}]
}
)";

// A green quad from (0,0,0) to (1,0,3) with per-vertex colours.
inline const char* kQuadPly =
    "ply\nformat ascii 1.0\nelement vertex 4\n"
    "property float x\nproperty float y\nproperty float z\n"
    "property uchar red\nproperty uchar green\nproperty uchar blue\n"
    "element face 1\nproperty list uchar int vertex_indices\nend_header\n"
    "0 0 0 0 255 0\n1 0 0 0 255 0\n1 0 3 0 255 0\n0 0 3 0 255 0\n"
    "4 0 1 2 3\n";

}  // namespace kestrel::testing
