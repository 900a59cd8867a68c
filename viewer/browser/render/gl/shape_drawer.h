// Draws the shapes of a DrawList into the bound framebuffer with few GL
// calls: shapes are grouped by program variant, mesh, texture and lights
// (opaque ones only; transparent ones keep their far-to-near order), each
// group is one instanced draw reading its per-shape matrix and material
// from a per-frame instance buffer, and uniforms and GL state are sent
// only when they change.
//
// Needs a current OpenGL 3.3 context on the thread that made it for its
// whole life. Buffers are reused from frame to frame.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <array>

#include "viewer/browser/render/core/camera.h"
#include "viewer/browser/render/gl/gpu_mesh.h"
#include "viewer/browser/render/gl/gpu_texture.h"
#include "viewer/browser/render/gl/shaders.h"

namespace kestrel {

class GlProgram;

// Which shapes of a frame draw together and with what.
struct ShapeBatchKey {
  unsigned features = 0;  // ShaderFeature bits and light count (kShaderSingle comes later)
  const GpuMesh* mesh = nullptr;
  unsigned texture = 0;
  int textureComps = 3;
  int lightSet = -1;  // index of a distinct light list in the frame; -1 unlit
  bool cull = false;
  bool transparent = false;
  bool operator==(const ShapeBatchKey&) const = default;
};

class ShapeDrawer {
 public:
  ShapeDrawer();
  ~ShapeDrawer();
  ShapeDrawer(const ShapeDrawer&) = delete;
  ShapeDrawer& operator=(const ShapeDrawer&) = delete;

  // Builds the most common variant; false with ERROR when it cannot.
  bool init(std::string* error);

  // Draws LIST (sorted by sortForDrawing) seen through CAM. Depth test on,
  // blending for transparent shapes; leaves depth writes on.
  bool draw(const DrawList& list, const Camera& cam, MeshCache& meshes, TextureCache& textures,
            const TextureResolver& resolver, std::vector<std::string>& problems,
            std::string* error);

  // Draw calls issued by the last draw() (one per batch).
  size_t lastDrawCalls() const { return drawCalls_; }

 private:
  struct Prepared {
    ShapeBatchKey key;
    const DrawItem* item;
  };
  // The lights of one distinct light list, in eye space, as the uniforms take them.
  struct LightArrays {
    int count = 0;
    bool positional = false;
    std::array<int, kMaxLights> kind{};
    std::array<float, kMaxLights * 3> color{}, pos{}, dir{}, att{};
    std::array<float, kMaxLights> intensity{}, ambient{}, radius{}, beam{}, cut{};

    void add(const Light& l);
  };
  void prepare(const DrawList& list, const Camera& cam, MeshCache& meshes,
               TextureCache& textures, const TextureResolver& resolver,
               std::vector<std::string>& problems);
  int lightSetOf(const DrawItem& item, const DrawList& list, const Camera& cam);
  void writeInstances(const Camera& cam);
  void uploadLights(GlProgram& p, int lightSet);
  void setFrameUniforms(GlProgram& p, const DrawList& list, const Camera& cam);

  // The GL state of one draw() pass, sent only when it changes (-1: unknown).
  struct PassState {
    GlProgram* program = nullptr;
    unsigned boundTexture = 0;
    int blend = -1, cull = -1, depthWrite = -1;
  };
  // The steps of draw(): the instance buffer, where the batch starting at
  // FIRST ends, its program (with per-frame uniforms and lights, null on
  // error), its texture and GL state, and its draw call.
  void uploadInstances();
  size_t batchEnd(size_t first) const;
  GlProgram* useProgram(const ShapeBatchKey& k, size_t count, const DrawList& list,
                        const Camera& cam, PassState& pass, std::string* error);
  void setBatchState(const ShapeBatchKey& k, GlProgram& p, PassState& pass);
  void setSingleInstance(GlProgram& p, size_t index);
  void drawBatch(const ShapeBatchKey& k, GlProgram& p, size_t first, size_t count);

  struct ProgramSlot {
    std::unique_ptr<GlProgram> program;
    uint64_t frame = 0;  // the frame whose per-frame uniforms it holds
    int lights = -1;     // the light set it holds
  };
  ProgramSlot* slot(unsigned features, std::string* error);

  std::unordered_map<unsigned, ProgramSlot> programs_;  // by feature key
  std::vector<Prepared> prepared_;
  std::vector<float> instances_;
  std::vector<LightArrays> lightSets_;
  std::vector<const std::vector<int>*> lightSetSources_;
  unsigned instanceBuffer_ = 0;
  size_t instanceCapacity_ = 0;
  uint64_t frame_ = 0;
  size_t drawCalls_ = 0;
};

}  // namespace kestrel
