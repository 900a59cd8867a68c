#include "viewer/browser/render/core/traversal.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "viewer/browser/lod_selection.h"
#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/render_keys.h"

namespace kestrel {
namespace {

constexpr int kMaxDepth = 256;

class Traverser {
 public:
  Traverser(DrawList& out, const Viewer* viewer, bool bindingsOnly,
            const BoundNodes* wanted = nullptr)
      : out_(out), viewer_(viewer), bindingsOnly_(bindingsOnly), wanted_(wanted) {}

  // Bound nodes the walk did not meet keep the world's coordinates.
  void completeBindings(const std::string& dir) {
    if (!wanted_) return;
    Bindings& b = out_.bound;
    if (!b.viewpoint) b.viewpoint = wanted_->viewpoint;
    if (!b.background) {
      b.background = wanted_->background;
      b.backgroundDir = dir;
    }
    if (!b.fog) b.fog = wanted_->fog;
    if (!b.navigationInfo) b.navigationInfo = wanted_->navigationInfo;
  }

  void children(const std::vector<NodePtr>& nodes, const Mat4& m, const std::string& dir) {
    // DirectionalLights light their siblings: enter them before any child.
    size_t scopeMark = scoped_.size();
    if (!bindingsOnly_) {
      for (const NodePtr& c : nodes) {
        const Node* n = actualNode(c.get());
        if (n && kindOf(*n) == NodeKind::DirectionalLight &&
            fieldOr(*n, keys_.directionalLight.on, true)) {
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
    switch (kindOf(n)) {
      case NodeKind::Transform:
        children(listOf<NodePtr>(n, keys_.transform.children), m * transformNodeMatrix(n), dir);
        break;
      case NodeKind::Group:
        children(listOf<NodePtr>(n, keys_.groupChildren), m, dir);
        break;
      case NodeKind::Anchor:
        children(listOf<NodePtr>(n, keys_.anchorChildren), m, dir);
        break;
      case NodeKind::Collision:
        children(listOf<NodePtr>(n, keys_.collisionChildren), m, dir);
        break;
      case NodeKind::Billboard:
        children(listOf<NodePtr>(n, keys_.billboard.children),
                 m * billboardTurn(n, m, viewer_), dir);
        break;
      case NodeKind::Switch: switchChoice(n, m, dir); break;
      case NodeKind::LOD: lodChoice(n, m, dir); break;
      case NodeKind::Inline:
        if (const auto& inlined = n.extras().inlineScene) {
          children(inlined->rootNodes(), m, inlined->baseDir);
        }
        break;
      case NodeKind::Shape:
        if (!bindingsOnly_) shape(n, m, dir);
        break;
      case NodeKind::PointLight: globalLight(n, m, Light::Kind::Point); break;
      case NodeKind::SpotLight: globalLight(n, m, Light::Kind::Spot); break;
      default: bindable(n, m, dir); break;
    }
  }

  void switchChoice(const Node& n, const Mat4& m, const std::string& dir) {
    const auto& choice = listOf<NodePtr>(n, keys_.switchNode.choice);
    int32_t w = fieldOr(n, keys_.switchNode.whichChoice, int32_t{-1});
    if (w >= 0 && static_cast<size_t>(w) < choice.size())
      children({choice[static_cast<size_t>(w)]}, m, dir);
  }

  void lodChoice(const Node& n, const Mat4& m, const std::string& dir) {
    const auto& level = listOf<NodePtr>(n, keys_.lod.level);
    if (!level.empty()) children({level[lodLevel(n, m, viewer_)]}, m, dir);
  }

  // Point and spot lights light every shape: the first pass collects them.
  void globalLight(const Node& n, const Mat4& m, Light::Kind kind) {
    if (bindingsOnly_ && fieldOr(n, keys_.light(kindOf(n)).on, true)) {
      globalLights.push_back(static_cast<int>(out_.lights.size()));
      out_.lights.push_back(lightOf(n, m, kind));
    }
  }

  // Whether N is the bound node of its kind: the one the stacks name, or
  // without stacks the first met.
  bool isBound(const Node& n, const Node* boundSoFar, const Node* wanted) const {
    return wanted_ ? &n == wanted && !boundSoFar : !boundSoFar;
  }

  void bindable(const Node& n, const Mat4& m, const std::string& dir) {
    Bindings& b = out_.bound;
    const BoundNodes none;
    const BoundNodes& w = wanted_ ? *wanted_ : none;
    switch (kindOf(n)) {
      case NodeKind::Viewpoint:
        if (isBound(n, b.viewpoint, w.viewpoint)) {
          b.viewpoint = &n;
          b.viewpointMatrix = m;
        }
        break;
      case NodeKind::Background:
        if (isBound(n, b.background, w.background)) {
          b.background = &n;
          b.backgroundMatrix = m;
          b.backgroundDir = dir;
        }
        break;
      case NodeKind::Fog:
        if (isBound(n, b.fog, w.fog)) {
          b.fog = &n;
          b.fogMatrix = m;
        }
        break;
      case NodeKind::NavigationInfo:
        if (isBound(n, b.navigationInfo, w.navigationInfo)) b.navigationInfo = &n;
        break;
      case NodeKind::Sound:
        if (bindingsOnly_) out_.sounds.push_back({&n, m, dir});
        break;
      default: break;
    }
  }

  Light lightOf(const Node& n, const Mat4& m, Light::Kind kind) const {
    const LightKeys& k = keys_.light(kindOf(n));
    Light l;
    l.kind = kind;
    l.color = fieldOr(n, k.color, Vec3f{1, 1, 1});
    l.intensity = std::clamp(fieldOr(n, k.intensity, 1.0f), 0.0f, 1.0f);
    l.ambientIntensity = std::clamp(fieldOr(n, k.ambientIntensity, 0.0f), 0.0f, 1.0f);
    l.direction = normalized(m.transformDir(fieldOr(n, k.direction, Vec3f{0, 0, -1})));
    l.location = m.transformPoint(fieldOr(n, k.location, Vec3f{}));
    l.attenuation = fieldOr(n, k.attenuation, Vec3f{1, 0, 0});
    // The radius scales with the light's transform (its largest axis).
    float s = std::max({length(m.transformDir({1, 0, 0})), length(m.transformDir({0, 1, 0})),
                        length(m.transformDir({0, 0, 1}))});
    l.radius = fieldOr(n, k.radius, 100.0f) * s;
    l.beamWidth = fieldOr(n, k.beamWidth, 1.570796f);
    l.cutOffAngle = fieldOr(n, k.cutOffAngle, 0.785398f);
    return l;
  }

  void shape(const Node& n, const Mat4& m, const std::string& dir) {
    const Node* g = actualNode(nodeOf(n, keys_.shape.geometry).get());
    if (!g) return;
    DrawItem item;
    item.model = m;
    item.geometry = g;
    item.baseDir = dir;
    if (const Node* app = actualNode(nodeOf(n, keys_.shape.appearance).get()))
      appearance(*app, item);
    item.transparent = item.material.transparency > 0.001f;
    if (item.texture && kindOf(*item.texture) == NodeKind::PixelTexture) {
      const FieldValue* image = item.texture->field(keys_.pixelTexture.image);
      const Image* img = image ? image->as<Image>() : nullptr;
      if (img && (img->components == 2 || img->components == 4)) item.transparent = true;
    }
    item.lights = globalLights;
    item.lights.insert(item.lights.end(), scoped_.begin(), scoped_.end());
    out_.items.push_back(std::move(item));
  }

  void appearance(const Node& a, DrawItem& item) const {
    if (const Node* mat = actualNode(nodeOf(a, keys_.appearance.material).get()))
      material(*mat, item.material);
    const Node* tex = actualNode(nodeOf(a, keys_.appearance.texture).get());
    if (tex && (kindOf(*tex) == NodeKind::ImageTexture || kindOf(*tex) == NodeKind::PixelTexture ||
                kindOf(*tex) == NodeKind::MovieTexture))
      item.texture = tex;
    if (const Node* tt = actualNode(nodeOf(a, keys_.appearance.textureTransform).get())) {
      // Tc' = -C * S * R * C * T * Tc
      const auto& k = keys_.textureTransform;
      Vec2f c = fieldOr(*tt, k.center, Vec2f{});
      Vec2f s = fieldOr(*tt, k.scale, Vec2f{1, 1});
      Vec2f t = fieldOr(*tt, k.translation, Vec2f{});
      float r = fieldOr(*tt, k.rotation, 0.0f);
      item.textureMatrix = Mat4::translation({-c.x, -c.y, 0}) * Mat4::scaling({s.x, s.y, 1}) *
                           Mat4::rotation({0, 0, 1, r}) * Mat4::translation({c.x, c.y, 0}) *
                           Mat4::translation({t.x, t.y, 0});
    }
  }

  void material(const Node& mat, MaterialInfo& mi) const {
    const auto& k = keys_.material;
    mi.lit = true;
    mi.diffuse = fieldOr(mat, k.diffuseColor, mi.diffuse);
    mi.specular = fieldOr(mat, k.specularColor, mi.specular);
    mi.emissive = fieldOr(mat, k.emissiveColor, mi.emissive);
    mi.ambientIntensity = std::clamp(fieldOr(mat, k.ambientIntensity, 0.2f), 0.0f, 1.0f);
    mi.shininess = std::clamp(fieldOr(mat, k.shininess, 0.2f), 0.0f, 1.0f);
    mi.transparency = std::clamp(fieldOr(mat, k.transparency, 0.0f), 0.0f, 1.0f);
  }

  const RenderKeys& keys_ = renderKeys();
  DrawList& out_;
  const Viewer* viewer_;
  bool bindingsOnly_;
  const BoundNodes* wanted_;
  std::vector<int> scoped_;
  std::unordered_set<const Node*> path_;
  int depth_ = 0;
};

Vec3f viewerLocal(const Mat4& m, const Viewer* viewer) {
  return viewer ? m.inverse().transformPoint(viewer->position) : Vec3f{0, 0, 10};
}

}  // namespace

Mat4 transformNodeMatrix(const Node& n) {
  const auto& k = renderKeys().transform;
  return transformMatrix(fieldOr(n, k.translation, Vec3f{}), fieldOr(n, k.rotation, Rotation{}),
                         fieldOr(n, k.scale, Vec3f{1, 1, 1}),
                         fieldOr(n, k.scaleOrientation, Rotation{}), fieldOr(n, k.center, Vec3f{}));
}

size_t lodLevel(const Node& n, const Mat4& m, const Viewer* viewer) {
  const RenderKeys& keys = renderKeys();
  size_t levels = listOf<NodePtr>(n, keys.lod.level).size();
  if (!viewer || levels == 0) return 0;
  return kestrel::lodLevel(listOf<float>(n, keys.lod.range), fieldOr(n, keys.lod.center, Vec3f{}),
                           viewerLocal(m, viewer), levels);
}

Mat4 billboardTurn(const Node& n, const Mat4& m, const Viewer* viewer) {
  if (!viewer) return Mat4{};
  Vec3f v = viewerLocal(m, viewer);
  Vec3f axis = fieldOr(n, renderKeys().billboard.axisOfRotation, Vec3f{0, 1, 0});
  Mat4 r;
  if (length(axis) < 1e-9f) {
    // Screen-aligned: local Z to the viewer, local Y along the viewer's up.
    Vec3f z = normalized(v);
    Vec3f up = normalized(m.inverse().transformDir(viewer->up));
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

const Node* actualNode(const Node* node) {
  for (int guard = 0; node && !node->extras().protoBody.empty() && guard < kMaxDepth; ++guard)
    node = node->extras().protoBody.front().get();
  return node;
}

Bindings findBindings(const std::vector<NodePtr>& roots, const BoundNodes* bound) {
  DrawList list;
  Traverser t(list, nullptr, true, bound);
  t.children(roots, Mat4{}, {});
  t.completeBindings({});
  return list.bound;
}

std::vector<PlacedSound> findSounds(const std::vector<NodePtr>& roots, const std::string& baseDir,
                                   const Viewer& viewer) {
  DrawList list;
  Traverser t(list, &viewer, true);
  t.children(roots, Mat4{}, baseDir);
  return std::move(list.sounds);
}

DrawList collectDrawList(const std::vector<NodePtr>& roots, const std::string& baseDir,
                         const Viewer& viewer, const BoundNodes* bound) {
  DrawList list;
  // Bindings and the lights that reach everything.
  Traverser first(list, &viewer, true, bound);
  first.children(roots, Mat4{}, baseDir);
  first.completeBindings(baseDir);
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
