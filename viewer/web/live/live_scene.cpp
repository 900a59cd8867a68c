#include "viewer/web/live/live_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "viewer/browser/render/core/camera.h"
#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/tessellate.h"
#include "viewer/browser/render/core/traversal.h"
#include "viewer/browser/url_resolver.h"
#include "viewer/engine/engine.h"
#include "viewer/web/live/live_json.h"

namespace kestrel {
namespace {

bool sameMaterial(const MaterialInfo& a, const MaterialInfo& b) {
  return a.lit == b.lit && a.diffuse == b.diffuse && a.specular == b.specular &&
         a.emissive == b.emissive && a.ambientIntensity == b.ambientIntensity &&
         a.shininess == b.shininess && a.transparency == b.transparency;
}

bool sameLight(const Light& a, const Light& b) {
  return a.kind == b.kind && a.color == b.color && a.intensity == b.intensity &&
         a.ambientIntensity == b.ambientIntensity && a.location == b.location &&
         a.direction == b.direction;
}

// FNV-1a over the bytes of V.
template <class T>
void hashInto(uint64_t& h, const std::vector<T>& v) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(v.data());
  for (size_t i = 0; i < v.size() * sizeof(T); ++i) h = (h ^ bytes[i]) * 1099511628211ull;
  h = (h ^ v.size()) * 1099511628211ull;
}

std::string contentId(const Mesh& mesh) {
  uint64_t h = 1469598103934665603ull ^ static_cast<uint64_t>(mesh.kind);
  hashInto(h, mesh.positions);
  hashInto(h, mesh.normals);
  hashInto(h, mesh.colors);
  hashInto(h, mesh.texCoords);
  h = (h ^ (mesh.solid ? 1u : 0u)) * 1099511628211ull;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

// The orientation part of a rigid eye-to-world matrix as an axis and angle.
Rotation rotationOf(const Mat4& m) {
  float trace = m.at(0, 0) + m.at(1, 1) + m.at(2, 2);
  float angle = std::acos(std::max(-1.0f, std::min(1.0f, (trace - 1) / 2)));
  Vec3f axis{m.at(2, 1) - m.at(1, 2), m.at(0, 2) - m.at(2, 0), m.at(1, 0) - m.at(0, 1)};
  if (length(axis) < 1e-6f) {
    if (angle < 1e-3f) return Rotation{0, 0, 1, 0};
    // Half a turn: the axis is the column of the largest diagonal entry.
    Vec3f d{m.at(0, 0), m.at(1, 1), m.at(2, 2)};
    axis = d.x >= d.y && d.x >= d.z ? Vec3f{1, 0, 0} : d.y >= d.z ? Vec3f{0, 1, 0} : Vec3f{0, 0, 1};
  }
  Vec3f unit = normalized(axis);
  return Rotation{unit.x, unit.y, unit.z, angle};
}

LiveView viewFrom(const DrawList& list) {
  LiveView view;
  Mat4 eye = boundEyeToWorld(list.bound);
  view.position = eye.transformPoint(Vec3f{0, 0, 0});
  view.orientation = rotationOf(eye);
  view.fieldOfView = boundFieldOfView(list.bound);
  if (list.bound.background != nullptr) {
    const auto& sky = listOf<Vec3f>(*list.bound.background, "skyColor");
    if (!sky.empty()) view.sky = sky;
    view.ground = listOf<Vec3f>(*list.bound.background, "groundColor");
  }
  if (list.bound.navigationInfo != nullptr) {
    view.headlight = fieldOr<bool>(*list.bound.navigationInfo, "headlight", true);
  }
  view.lights = list.lights;
  return view;
}

}  // namespace

bool LiveItem::operator==(const LiveItem& other) const {
  return mesh == other.mesh && matrix.m == other.matrix.m &&
         sameMaterial(material, other.material) && texture == other.texture;
}

bool LiveView::operator==(const LiveView& other) const {
  if (!(position == other.position && orientation == other.orientation &&
        fieldOfView == other.fieldOfView && sky == other.sky && ground == other.ground &&
        headlight == other.headlight && lights.size() == other.lights.size())) {
    return false;
  }
  for (size_t i = 0; i < lights.size(); ++i) {
    if (!sameLight(lights[i], other.lights[i])) return false;
  }
  return true;
}

std::shared_ptr<const std::string> LiveAssets::mesh(const std::string& id) const {
  MutexLock lock(mutex_);
  auto it = meshes_.find(id);
  return it == meshes_.end() ? nullptr : it->second;
}

std::string LiveAssets::texturePath(const std::string& id) const {
  MutexLock lock(mutex_);
  auto it = textures_.find(id);
  return it == textures_.end() ? std::string() : it->second;
}

void LiveAssets::putMesh(const std::string& id, std::shared_ptr<const std::string> json) {
  MutexLock lock(mutex_);
  meshes_.emplace(id, std::move(json));
}

std::string LiveAssets::putTexture(const std::string& path) {
  MutexLock lock(mutex_);
  // A path keeps its id; the id names no path, so a page cannot ask for
  // any file but those the scene uses.
  for (const auto& [id, known] : textures_) {
    if (known == path) return id;
  }
  std::string id = std::to_string(textures_.size() + 1);
  textures_.emplace(id, path);
  return id;
}

void LiveAssets::keepMeshes(const std::unordered_set<std::string>& keep) {
  MutexLock lock(mutex_);
  std::erase_if(meshes_, [&](const auto& entry) { return !keep.contains(entry.first); });
}

size_t LiveAssets::meshCount() const {
  MutexLock lock(mutex_);
  return meshes_.size();
}

bool LiveSceneBuilder::changed(Engine& engine) const {
  const SceneChanges& changes = engine.browser().changes();
  const VisualObjectRegistry& registry = engine.registry();
  if (changes.any != seenAny_ || registry.size() != seenObjects_) return true;
  for (int i = 0; i < seenObjects_; ++i) {
    if (registry.isShown(i) != seenShown_[static_cast<size_t>(i)]) return true;
  }
  return false;
}

void LiveSceneBuilder::forget() {
  seenAny_ = seenGeometry_ = ~uint64_t{0};
  seenObjects_ = -1;
  seenShown_.clear();
  meshIds_.clear();
  owner_.clear();
  groups_.clear();
}

void LiveSceneBuilder::refreshOwners(Engine& engine) {
  owner_.clear();
  groups_.assign(static_cast<size_t>(engine.registry().size()), "");
  // Objects come in creation order, so an object made under another comes
  // after it and takes its own nodes over.
  for (int i = 0; i < engine.registry().size(); ++i) {
    const VisualObject* object = engine.registry().objectAt(i);
    if (object == nullptr || !object->content.valid()) continue;
    auto outer = owner_.find(object->content.node().get());
    if (outer != owner_.end()) {
      groups_[static_cast<size_t>(i)] = engine.registry().nameAt(outer->second);
    }
    forEachNode(std::vector<NodePtr>{object->content.node()},
                [&](const NodePtr& node) { owner_[node.get()] = i; });
  }
}

std::string LiveSceneBuilder::meshId(const Node& geometry) {
  auto known = meshIds_.find(&geometry);
  if (known != meshIds_.end()) return known->second;
  Mesh mesh = tessellate(geometry);
  std::string id = contentId(mesh);
  if (!assets_.mesh(id)) assets_.putMesh(id, std::make_shared<const std::string>(meshJson(mesh)));
  meshIds_.emplace(&geometry, id);
  return id;
}

LiveItem LiveSceneBuilder::itemFrom(const DrawItem& item, const UrlResolver& resolver) {
  LiveItem live;
  live.mesh = meshId(*item.geometry);
  live.matrix = item.model;
  live.material = item.material;
  if (item.texture != nullptr && kindOf(*item.texture) == NodeKind::ImageTexture) {
    for (const std::string& url : listOf<std::string>(*item.texture, "url")) {
      std::string path;
      std::error_code missing;
      if (resolver.resolve(url, item.baseDir, path) && std::filesystem::is_regular_file(path, missing)) {
        live.texture = assets_.putTexture(path);
        break;
      }
    }
  }
  return live;
}

LiveObject LiveSceneBuilder::objectFrom(Engine& engine, int index) {
  LiveObject live;
  live.name = engine.registry().nameAt(index);
  live.group = groups_[static_cast<size_t>(index)];
  live.visible = engine.registry().isShown(index);
  const VisualObject* object = engine.registry().objectAt(index);
  if (object == nullptr) return live;
  if (object->content.valid()) {
    const Node& content = *object->content.node();
    live.translation = fieldOr<Vec3f>(content, "translation", Vec3f{});
    live.rotation = fieldOr<Rotation>(content, "rotation", Rotation{});
    live.scale = fieldOr<Vec3f>(content, "scale", Vec3f{1, 1, 1});
  }
  object->scale.get(live.scale);  // the object model's scale, where it has one
  Vec3f colour;
  if (object->diffuseColor.get(colour)) live.diffuseColor = colour;
  if (object->emissiveColor.get(colour)) live.emissiveColor = colour;
  float transparency = 0;
  if (object->transparency.get(transparency)) live.transparency = transparency;
  live.info = object->infoText();
  return live;
}

LiveSnapshot LiveSceneBuilder::build(Engine& engine) {
  const SceneChanges& changes = engine.browser().changes();
  VisualObjectRegistry& registry = engine.registry();
  bool geometryChanged = changes.geometry != seenGeometry_;
  if (geometryChanged) meshIds_.clear();  // the nodes may be gone, their memory reused
  if (geometryChanged || registry.size() != seenObjects_) refreshOwners(engine);
  seenAny_ = changes.any;
  seenGeometry_ = changes.geometry;
  seenObjects_ = registry.size();
  seenShown_.clear();
  for (int i = 0; i < seenObjects_; ++i) seenShown_.push_back(registry.isShown(i));

  const Scene& scene = engine.browser().scene();
  DrawList list = collectDrawList(scene.rootNodes(), scene.baseDir, Viewer{});
  LiveSnapshot snapshot;
  snapshot.view = viewFrom(list);
  for (int i = 0; i < seenObjects_; ++i) snapshot.objects.push_back(objectFrom(engine, i));
  for (const DrawItem& item : list.items) {
    if (item.geometry == nullptr) continue;
    auto owner = owner_.find(item.geometry);
    LiveItem live = itemFrom(item, engine.browser().resolver());
    if (owner == owner_.end()) {
      snapshot.scenery.push_back(std::move(live));
    } else {
      snapshot.objects[static_cast<size_t>(owner->second)].items.push_back(std::move(live));
    }
  }
  if (geometryChanged) {
    std::unordered_set<std::string> used;
    for (const auto& [node, id] : meshIds_) used.insert(id);
    assets_.keepMeshes(used);
  }
  return snapshot;
}

}  // namespace kestrel
