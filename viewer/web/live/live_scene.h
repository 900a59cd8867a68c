// The scene as the live web view sees it: every visual object with its
// state and the triangle meshes it draws (from the render core's traversal
// and tessellation, so the page draws what the window draws), the scenery
// that belongs to no object, the bound Viewpoint, Background and lights.
//
// LiveSceneBuilder runs on the engine thread (it reads the scene); the
// snapshot it makes is plain data that the web threads read and serialise
// (live_json.h). Meshes are kept by content in a MeshStore, so a thousand
// equal spheres are one mesh that a page fetches once.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "viewer/browser/render/core/draw_list.h"
#include "viewer/intake/thread_annotations.h"

namespace kestrel {

class Engine;
class UrlResolver;

// One shape drawn: its mesh (an id of the MeshStore), its world matrix, its
// material and texture (an id of the TextureStore, "" for none).
struct LiveItem {
  std::string mesh;
  Mat4 matrix;
  MaterialInfo material;
  std::string texture;
  bool operator==(const LiveItem& other) const;
};

struct LiveObject {
  std::string name;
  std::string group;  // the object it was made under; "" at the scene root
  Vec3f translation;
  Rotation rotation;
  Vec3f scale{1, 1, 1};
  std::optional<Vec3f> diffuseColor, emissiveColor;
  std::optional<float> transparency;
  bool visible = true;
  std::optional<std::string> info;
  std::vector<LiveItem> items;
};

struct LiveView {
  Vec3f position{0, 0, 10};
  Rotation orientation;
  float fieldOfView = 0.785398f;
  std::vector<Vec3f> sky{Vec3f{0, 0, 0}};  // zenith first
  std::vector<Vec3f> ground;               // nadir first
  bool headlight = true;
  std::vector<Light> lights;
  bool operator==(const LiveView& other) const;
};

struct LiveSnapshot {
  uint64_t seq = 0;  // grows with every change published
  LiveView view;
  std::vector<LiveObject> objects;  // in registry order: the index is the id
  std::vector<LiveItem> scenery;    // shapes of no object
};

// Meshes and texture files by id. The engine thread adds; web threads read.
class LiveAssets {
 public:
  // The JSON text of mesh ID, or null.
  std::shared_ptr<const std::string> mesh(const std::string& id) const;
  // The file path of texture ID, or "".
  std::string texturePath(const std::string& id) const;
  void putMesh(const std::string& id, std::shared_ptr<const std::string> json);
  // The id under which PATH is served.
  std::string putTexture(const std::string& path);
  // Forgets the meshes whose ids are not in KEEP.
  void keepMeshes(const std::unordered_set<std::string>& keep);
  size_t meshCount() const;

 private:
  mutable Mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<const std::string>> meshes_ GUARDED_BY(mutex_);
  std::unordered_map<std::string, std::string> textures_ GUARDED_BY(mutex_);
};

class LiveSceneBuilder {
 public:
  explicit LiveSceneBuilder(LiveAssets& assets) : assets_(assets) {}
  // True when ENGINE's scene may differ from the last build.
  bool changed(Engine& engine) const;
  // The scene now (seq 0; the publisher numbers it).
  LiveSnapshot build(Engine& engine);
  // Forgets the engine looked at: the next one is new (its nodes may even
  // sit where the old one's did), so it counts as changed.
  void forget();

 private:
  void refreshOwners(Engine& engine);
  std::string meshId(const Node& geometry);
  LiveItem itemFrom(const DrawItem& item, const UrlResolver& resolver);
  LiveObject objectFrom(Engine& engine, int index);

  LiveAssets& assets_;
  uint64_t seenAny_ = ~uint64_t{0}, seenGeometry_ = ~uint64_t{0};
  int seenObjects_ = -1;
  std::vector<bool> seenShown_;
  // Geometry node -> mesh id while the scene's geometry is unchanged.
  std::unordered_map<const Node*, std::string> meshIds_;
  // Scene node -> the innermost object whose content holds it; and each
  // object's group.
  std::unordered_map<const Node*, int> owner_;
  std::vector<std::string> groups_;
};

}  // namespace kestrel
