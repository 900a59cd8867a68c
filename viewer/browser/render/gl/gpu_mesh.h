// Tessellated meshes in GPU buffers: one indexed vertex buffer per mesh,
// vertices packed (float position, 16-bit normal, float texture
// coordinate, 8-bit colour) and welded where a tessellation repeats them,
// so a large ElevationGrid shades each grid point once.
//
// MeshCache maps geometry nodes to meshes; nodes whose tessellations are
// identical (1000 default Boxes, say) share one mesh and one VAO, so they
// can be drawn with one instanced call. Needs a current OpenGL 3.3 context
// on the thread that made it, from the first call to clear()/destruction.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "viewer/browser/node.h"
#include "viewer/browser/render/core/mesh.h"

namespace kestrel {

// Within this angle (radians) between a triangle's vertex normals, light
// summed per vertex and interpolated differs from light summed per pixel by
// less than a quarter of one 8-bit level away from the shadow line.
constexpr float kFlatTriangleAngle = 0.0873f;  // 5 degrees

// One vertex as the GPU reads it (attributes 0 to 3).
struct PackedVertex {
  float pos[3];
  int16_t normal[4];  // signed normalized; [3] is padding
  float tex[2];
  uint8_t color[4];   // normalized; [3] is padding
};
static_assert(sizeof(PackedVertex) == 32);

// True for a triangle mesh whose every triangle has flat normals (above).
bool hasFlatTriangles(const Mesh& mesh);

// Packs MESH and welds identical vertices: INDICES draw the same
// primitives in the same order as MESH's unindexed vertices.
void packMesh(const Mesh& mesh, std::vector<PackedVertex>& vertices,
              std::vector<uint32_t>& indices);

// Reorders the triangles of INDICES by the Morton code of their centres,
// so neighbouring triangles are drawn one after another: the GPU's vertex
// cache then shades each shared vertex about once, and a rasterizer's
// tiles see their triangles together.
void orderTrianglesSpatially(const std::vector<PackedVertex>& vertices,
                             std::vector<uint32_t>& indices);

struct GpuMesh {
  unsigned vao = 0, vbo = 0, ebo = 0;
  int indexCount = 0;
  Mesh::Kind kind = Mesh::Kind::Triangles;
  bool solid = true, hasColors = false, empty = true;
  // Every triangle's three normals lie within kFlatTriangleAngle of each
  // other (faceted meshes; finely divided smooth ones).
  bool flatTriangles = false;
  Vec3f lo, hi;  // local bounds (when not empty)
};

class MeshCache {
 public:
  MeshCache() = default;
  ~MeshCache();
  MeshCache(const MeshCache&) = delete;
  MeshCache& operator=(const MeshCache&) = delete;

  // The mesh of geometry node G, tessellated and uploaded on first use.
  const GpuMesh& meshFor(const Node& g);
  // Tessellations made ahead (before there was a context), used by
  // meshFor instead of tessellating those nodes again. They must be of
  // the nodes as they are now; clear() drops those not used.
  void adoptTessellations(std::unordered_map<const Node*, Mesh> ahead) {
    ahead_ = std::move(ahead);
  }
  // Deletes every buffer; nodes are tessellated again when next drawn.
  void clear();
  size_t sharedMeshCount() const { return meshes_.size(); }

 private:
  struct Entry {
    std::unique_ptr<GpuMesh> gpu;
    std::vector<PackedVertex> vertices;  // kept (small meshes only) to find twins
    std::vector<uint32_t> indices;
  };
  const GpuMesh& upload(const Mesh& m);

  std::unordered_map<const Node*, const GpuMesh*> byNode_;
  std::unordered_map<const Node*, Mesh> ahead_;
  std::unordered_multimap<uint64_t, size_t> byContent_;  // hash -> index in meshes_
  std::vector<Entry> meshes_;
};

}  // namespace kestrel
