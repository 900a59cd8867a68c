#include "viewer/browser/render/core/traversal.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "viewer/browser/render/core/node_fields.h"

namespace kestrel {
namespace {

constexpr int kMaxDepth = 256;

class Traverser {
 public:
  Traverser(DrawList& out, const Viewer* viewer, bool bindingsOnly)
      : out_(out), viewer_(viewer), bindingsOnly_(bindingsOnly) {}

  void children(const std::vector<NodePtr>& nodes, const Mat4& m, const std::string& dir) {
    // DirectionalLights light their siblings: enter them before any child.
    size_t scopeMark = scoped_.size();
    if (!bindingsOnly_) {
      for (const NodePtr& c : nodes) {
        const Node* n = actualNode(c.get());
        if (n && typeName(*n) == "DirectionalLight" && fieldOr(*n, "on", true)) {
          Light l = lightOf(*n, m, Light::Kind::Directional);
          scoped_.push_back(static_cast<int>(out_.lights.size()));
          out_.lights.push_back(l);
        }
      }
    }
    for (const NodePtr& c : nodes) node(c.get(), m, dir);
    scoped_.resize(scopeMark);
  }

  void node(const Node* raw, const Mat4& m, const std::string& dir) {
    const Node* n = actualNode(raw);
    if (!n || depth_ >= kMaxDepth || !path_.insert(n).second) return;
    ++depth_;
    visit(*n, m, dir);
    --depth_;
    path_.erase(n);
  }

  std::vector<int> globalLights;

 private:
  void visit(const Node& n, const Mat4& m, const std::string& dir) {
    const std::string& t = typeName(n);
    if (t == "Transform") {
      Mat4 local = transformMatrix(fieldOr(n, "translation", Vec3f{}),
                                   fieldOr(n, "rotation", Rotation{}),
                                   fieldOr(n, "scale", Vec3f{1, 1, 1}),
                                   fieldOr(n, "scaleOrientation", Rotation{}),
                                   fieldOr(n, "center", Vec3f{}));
      children(listOf<NodePtr>(n, "children"), m * local, dir);
    } else if (t == "Group" || t == "Anchor" || t == "Collision") {
      children(listOf<NodePtr>(n, "children"), m, dir);
    } else if (t == "Billboard") {
      children(listOf<NodePtr>(n, "children"), m * billboardTurn(n, m), dir);
    } else if (t == "Switch") {
      const auto& choice = listOf<NodePtr>(n, "choice");
      int32_t w = fieldOr(n, "whichChoice", int32_t{-1});
      if (w >= 0 && static_cast<size_t>(w) < choice.size())
        children({choice[static_cast<size_t>(w)]}, m, dir);
    } else if (t == "LOD") {
      const auto& level = listOf<NodePtr>(n, "level");
      if (!level.empty()) children({level[lodLevel(n, m, level.size())]}, m, dir);
    } else if (t == "Inline") {
      if (n.inlineScene) children(n.inlineScene->rootNodes(), m, n.inlineScene->baseDir);
    } else if (t == "Shape") {
      if (!bindingsOnly_) shape(n, m, dir);
    } else if (t == "PointLight" || t == "SpotLight") {
      if (bindingsOnly_ && fieldOr(n, "on", true)) {
        globalLights.push_back(static_cast<int>(out_.lights.size()));
        out_.lights.push_back(
            lightOf(n, m, t == "PointLight" ? Light::Kind::Point : Light::Kind::Spot));
      }
    } else if (t == "Viewpoint") {
      if (!out_.bound.viewpoint) {
        out_.bound.viewpoint = &n;
        out_.bound.viewpointMatrix = m;
      }
    } else if (t == "Background") {
      if (!out_.bound.background) {
        out_.bound.background = &n;
        out_.bound.backgroundMatrix = m;
        out_.bound.backgroundDir = dir;
      }
    } else if (t == "Fog") {
      if (!out_.bound.fog) {
        out_.bound.fog = &n;
        out_.bound.fogMatrix = m;
      }
    } else if (t == "NavigationInfo") {
      if (!out_.bound.navigationInfo) out_.bound.navigationInfo = &n;
    }
  }

  Light lightOf(const Node& n, const Mat4& m, Light::Kind kind) {
    Light l;
    l.kind = kind;
    l.color = fieldOr(n, "color", Vec3f{1, 1, 1});
    l.intensity = std::clamp(fieldOr(n, "intensity", 1.0f), 0.0f, 1.0f);
    l.ambientIntensity = std::clamp(fieldOr(n, "ambientIntensity", 0.0f), 0.0f, 1.0f);
    l.direction = normalized(m.transformDir(fieldOr(n, "direction", Vec3f{0, 0, -1})));
    l.location = m.transformPoint(fieldOr(n, "location", Vec3f{}));
    l.attenuation = fieldOr(n, "attenuation", Vec3f{1, 0, 0});
    // The radius scales with the light's transform (its largest axis).
    float s = std::max({length(m.transformDir({1, 0, 0})), length(m.transformDir({0, 1, 0})),
                        length(m.transformDir({0, 0, 1}))});
    l.radius = fieldOr(n, "radius", 100.0f) * s;
    l.beamWidth = fieldOr(n, "beamWidth", 1.570796f);
    l.cutOffAngle = fieldOr(n, "cutOffAngle", 0.785398f);
    return l;
  }

  Vec3f viewerLocal(const Mat4& m) const {
    return viewer_ ? m.inverse().transformPoint(viewer_->position) : Vec3f{0, 0, 10};
  }

  size_t lodLevel(const Node& n, const Mat4& m, size_t levels) const {
    if (!viewer_) return 0;
    const auto& range = listOf<float>(n, "range");
    float d = length(viewerLocal(m) - fieldOr(n, "center", Vec3f{}));
    size_t i = 0;
    while (i < range.size() && d >= range[i]) ++i;
    return std::min(i, levels - 1);
  }

  Mat4 billboardTurn(const Node& n, const Mat4& m) const {
    if (!viewer_) return Mat4{};
    Vec3f v = viewerLocal(m);
    Vec3f axis = fieldOr(n, "axisOfRotation", Vec3f{0, 1, 0});
    Mat4 r;
    if (length(axis) < 1e-9f) {
      // Screen-aligned: local Z to the viewer, local Y along the viewer's up.
      Vec3f z = normalized(v);
      Vec3f up = normalized(m.inverse().transformDir(viewer_->up));
      Vec3f x = normalized(cross(up, z));
      if (length(x) < 1e-6f || length(z) < 1e-6f) return r;
      Vec3f y = cross(z, x);
      for (int i = 0; i < 3; ++i) {
        r.at(i, 0) = i == 0 ? x.x : i == 1 ? x.y : x.z;
        r.at(i, 1) = i == 0 ? y.x : i == 1 ? y.y : y.z;
        r.at(i, 2) = i == 0 ? z.x : i == 1 ? z.y : z.z;
      }
      return r;
    }
    axis = normalized(axis);
    Vec3f p = v - axis * dot(v, axis);
    Vec3f z0 = Vec3f{0, 0, 1} - axis * axis.z;
    if (length(p) < 1e-6f || length(z0) < 1e-6f) return r;
    float angle = std::atan2(dot(cross(z0, p), axis), dot(z0, p));
    return Mat4::rotation({axis.x, axis.y, axis.z, angle});
  }

  void shape(const Node& n, const Mat4& m, const std::string& dir) {
    const Node* g = actualNode(nodeOf(n, "geometry").get());
    if (!g) return;
    DrawItem item;
    item.model = m;
    item.geometry = g;
    item.baseDir = dir;
    if (const Node* app = actualNode(nodeOf(n, "appearance").get())) appearance(*app, item);
    item.transparent = item.material.transparency > 0.001f;
    if (item.texture && typeName(*item.texture) == "PixelTexture") {
      Image img = fieldOr(*item.texture, "image", Image{});
      if (img.components == 2 || img.components == 4) item.transparent = true;
    }
    item.lights = globalLights;
    item.lights.insert(item.lights.end(), scoped_.begin(), scoped_.end());
    out_.items.push_back(std::move(item));
  }

  static void appearance(const Node& a, DrawItem& item) {
    if (const Node* mat = actualNode(nodeOf(a, "material").get())) {
      MaterialInfo& mi = item.material;
      mi.lit = true;
      mi.diffuse = fieldOr(*mat, "diffuseColor", mi.diffuse);
      mi.specular = fieldOr(*mat, "specularColor", mi.specular);
      mi.emissive = fieldOr(*mat, "emissiveColor", mi.emissive);
      mi.ambientIntensity = std::clamp(fieldOr(*mat, "ambientIntensity", 0.2f), 0.0f, 1.0f);
      mi.shininess = std::clamp(fieldOr(*mat, "shininess", 0.2f), 0.0f, 1.0f);
      mi.transparency = std::clamp(fieldOr(*mat, "transparency", 0.0f), 0.0f, 1.0f);
    }
    const Node* tex = actualNode(nodeOf(a, "texture").get());
    if (tex && (typeName(*tex) == "ImageTexture" || typeName(*tex) == "PixelTexture"))
      item.texture = tex;
    if (const Node* tt = actualNode(nodeOf(a, "textureTransform").get())) {
      // Tc' = -C * S * R * C * T * Tc
      Vec2f c = fieldOr(*tt, "center", Vec2f{});
      Vec2f s = fieldOr(*tt, "scale", Vec2f{1, 1});
      Vec2f t = fieldOr(*tt, "translation", Vec2f{});
      float r = fieldOr(*tt, "rotation", 0.0f);
      item.textureMatrix = Mat4::translation({-c.x, -c.y, 0}) * Mat4::scaling({s.x, s.y, 1}) *
                           Mat4::rotation({0, 0, 1, r}) * Mat4::translation({c.x, c.y, 0}) *
                           Mat4::translation({t.x, t.y, 0});
    }
  }

  DrawList& out_;
  const Viewer* viewer_;
  bool bindingsOnly_;
  std::vector<int> scoped_;
  std::unordered_set<const Node*> path_;
  int depth_ = 0;
};

}  // namespace

const Node* actualNode(const Node* node) {
  for (int guard = 0; node && !node->protoBody.empty() && guard < kMaxDepth; ++guard)
    node = node->protoBody.front().get();
  return node;
}

Bindings findBindings(const std::vector<NodePtr>& roots) {
  DrawList list;
  Traverser t(list, nullptr, true);
  t.children(roots, Mat4{}, {});
  return list.bound;
}

DrawList collectDrawList(const std::vector<NodePtr>& roots, const std::string& baseDir,
                         const Viewer& viewer) {
  DrawList list;
  Traverser first(list, &viewer, true);  // bindings and the lights that reach everything
  first.children(roots, Mat4{}, baseDir);
  Traverser second(list, &viewer, false);
  second.globalLights = first.globalLights;
  second.children(roots, Mat4{}, baseDir);
  return list;
}

void sortForDrawing(DrawList& list, const Mat4& view,
                    const std::function<Vec3f(const Node&)>& center) {
  for (DrawItem& item : list.items) {
    if (item.transparent)
      item.depth = -(view * item.model).transformPoint(center(*item.geometry)).z;
  }
  std::stable_partition(list.items.begin(), list.items.end(),
                        [](const DrawItem& i) { return !i.transparent; });
  auto firstTransparent = std::find_if(list.items.begin(), list.items.end(),
                                       [](const DrawItem& i) { return i.transparent; });
  std::stable_sort(firstTransparent, list.items.end(),
                   [](const DrawItem& a, const DrawItem& b) { return a.depth > b.depth; });
}

}  // namespace kestrel
