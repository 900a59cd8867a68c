#include "viewer/browser/render/core/render_keys.h"

namespace kestrel {
namespace {

// Finds members of one built-in type, noting the names it lacks.
class KeyFinder {
 public:
  KeyFinder(NodeKind kind, std::vector<std::string>* unresolved)
      : kind_(kind), unresolved_(unresolved) {}

  MemberKey operator()(std::string_view name) const {
    MemberKey key = memberKey(kind_, name);
    if (key.index < 0 && unresolved_ != nullptr)
      unresolved_->push_back(std::string(kindName(kind_)) + "." + std::string(name));
    return key;
  }

 private:
  NodeKind kind_;
  std::vector<std::string>* unresolved_;
};

LightKeys lightKeys(NodeKind kind) {
  KeyFinder key(kind, nullptr);  // each light type lacks some of these
  return {key("on"),          key("color"),    key("intensity"), key("ambientIntensity"),
          key("direction"),   key("location"), key("attenuation"), key("radius"),
          key("beamWidth"),   key("cutOffAngle")};
}

TextureKeys textureKeys(NodeKind kind) {
  KeyFinder key(kind, nullptr);
  return {key("url"), key("image"), key("repeatS"), key("repeatT")};
}

void findGroupingKeys(RenderKeys& k) {
  KeyFinder t(NodeKind::Transform, &k.unresolved);
  k.transform = {t("translation"), t("rotation"), t("scale"), t("scaleOrientation"),
                 t("center"), t("children")};
  k.groupChildren = KeyFinder(NodeKind::Group, &k.unresolved)("children");
  k.anchorChildren = KeyFinder(NodeKind::Anchor, &k.unresolved)("children");
  k.collisionChildren = KeyFinder(NodeKind::Collision, &k.unresolved)("children");
  KeyFinder b(NodeKind::Billboard, &k.unresolved);
  k.billboard = {b("children"), b("axisOfRotation")};
  KeyFinder s(NodeKind::Switch, &k.unresolved);
  k.switchNode = {s("choice"), s("whichChoice")};
  KeyFinder l(NodeKind::LOD, &k.unresolved);
  k.lod = {l("level"), l("range"), l("center")};
}

void findShapeKeys(RenderKeys& k) {
  KeyFinder s(NodeKind::Shape, &k.unresolved);
  k.shape = {s("appearance"), s("geometry")};
  KeyFinder a(NodeKind::Appearance, &k.unresolved);
  k.appearance = {a("material"), a("texture"), a("textureTransform")};
  KeyFinder m(NodeKind::Material, &k.unresolved);
  k.material = {m("diffuseColor"), m("specularColor"), m("emissiveColor"),
                m("ambientIntensity"), m("shininess"), m("transparency")};
  KeyFinder t(NodeKind::TextureTransform, &k.unresolved);
  k.textureTransform = {t("center"), t("scale"), t("translation"), t("rotation")};
  k.directionalLight = lightKeys(NodeKind::DirectionalLight);
  k.pointLight = lightKeys(NodeKind::PointLight);
  k.spotLight = lightKeys(NodeKind::SpotLight);
  k.imageTexture = textureKeys(NodeKind::ImageTexture);
  k.movieTexture = textureKeys(NodeKind::MovieTexture);
  k.pixelTexture = textureKeys(NodeKind::PixelTexture);
}

void findBindableKeys(RenderKeys& k) {
  KeyFinder v(NodeKind::Viewpoint, &k.unresolved);
  k.viewpoint = {v("fieldOfView"), v("position"), v("orientation"), v("jump")};
  KeyFinder n(NodeKind::NavigationInfo, &k.unresolved);
  k.navigationInfo = {n("avatarSize"), n("visibilityLimit"), n("headlight"), n("type"),
                      n("speed")};
  KeyFinder f(NodeKind::Fog, &k.unresolved);
  k.fog = {f("visibilityRange"), f("color"), f("fogType")};
  KeyFinder b(NodeKind::Background, &k.unresolved);
  k.background = {b("skyColor"), b("skyAngle"), b("groundColor"), b("groundAngle"),
                  {b("frontUrl"), b("backUrl"), b("leftUrl"), b("rightUrl"), b("topUrl"),
                   b("bottomUrl")}};
}

RenderKeys findRenderKeys() {
  RenderKeys k;
  findGroupingKeys(k);
  findShapeKeys(k);
  findBindableKeys(k);
  return k;
}

}  // namespace

const LightKeys& RenderKeys::light(NodeKind kind) const {
  if (kind == NodeKind::DirectionalLight) return directionalLight;
  return kind == NodeKind::PointLight ? pointLight : spotLight;
}

const TextureKeys& RenderKeys::texture(NodeKind kind) const {
  if (kind == NodeKind::MovieTexture) return movieTexture;
  return kind == NodeKind::ImageTexture ? imageTexture : pixelTexture;
}

const RenderKeys& renderKeys() {
  static const RenderKeys keys = findRenderKeys();
  return keys;
}

}  // namespace kestrel
