#include "viewer/engine/scene_view.h"

#include <cstdio>

#include "viewer/engine/object_operations.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {

SceneView::SceneView(CVrmlBrowser& browser, ObjectOperations& objects,
                     const std::string& currentName)
    : browser_(browser),
      objects_(objects),
      registry_(objects.registry()),
      currentName_(currentName) {}

bool SceneView::AttachEngine() {
  attached_ = true;
  return attached_;
}

bool SceneView::AddSceneObject(const std::string& sceneText,
                               const std::optional<std::string>& infoText,
                               const std::string& registrationName,
                               const std::optional<TextOrigin>& origin) {
  if (registry_.full()) {
    // Refused before anything reaches the scene.
    logText("object registry full, object not added:", registrationName.c_str());
    return false;
  }
  VrmlContent content;
  bool created = attached_ && (origin ? browser_.createFromFileText(sceneText, *origin, content)
                                       : browser_.createFromString(sceneText, content));
  if (!created) {
    logLine("CREATE VRML FROM STRING FAILED");
    return false;
  }
  auto object = std::make_unique<VisualObject>(content.firstNode());
  if (!addToScene(content)) {
    logLine("ADD TO SCENE FAILED");
    return false;
  }
  bindHandles(*object, infoText);
  registry_.registerObject(std::move(object), registrationName);
  sceneContent_ = true;
  return true;
}

bool SceneView::addToScene(VrmlContent& content) {
  std::optional<MFNodeHandle> children = objects_.currentGroupChildren();
  if (children && children->valid()) return children->append(content);
  return browser_.appendToRoot(content);
}

void SceneView::bindScriptInputs(VisualObject& object, const std::string& n) {
  NodeHandle script;
  if (!browser_.findNode("Script_" + n, script)) return;
  if (!browser_.field(script, "in1", object.inputs[0])) return;
  for (int i = 1; i < 4; ++i) {
    browser_.field(script, "in" + std::to_string(i + 1), object.inputs[static_cast<size_t>(i)]);
  }
  logLine("I SUCCESSFULLY GOT A SCRIPT INPUT!");
  logLine("and I mean I really got it!");
}

void SceneView::bindMaterial(VisualObject& object, const std::string& n) {
  NodeHandle material;
  if (!browser_.findNode("Mat_" + n, material)) return;
  if (!browser_.field(material, "transparency", object.transparency)) {
    logLine("did not get transparency");
  }
  browser_.field(material, "diffuseColor", object.diffuseColor);
  browser_.field(material, "emissiveColor", object.emissiveColor);
}

void SceneView::bindHandles(VisualObject& object, const std::optional<std::string>& infoText) {
  const std::string& n = currentName_;
  bindScriptInputs(object, n);
  if (browser_.findNode("Xform_" + n, object.transformNode)) {
    browser_.field(object.transformNode, "scale", object.scale);
    browser_.field(object.transformNode, "translation", object.innerTranslation);
  }
  if (!object.scale.valid()) browser_.field(object.content, "scale", object.scale);
  browser_.field(object.content, "rotation", object.rotation);
  browser_.field(object.content, "children", object.children);
  NodeHandle info;
  if (browser_.findNode("info_script", info)) browser_.field(info, "inString", object.infoInput);
  if (infoText) object.storeInfoText(*infoText);
  NodeHandle marked;
  if (browser_.findNode(n, marked) && browser_.field(marked, "markLocation", object.markLocation)) {
    logText("We got the marker location for ", n.c_str());
  }
  browser_.field(object.content, "translation", object.translation);
  bindMaterial(object, n);
}

void SceneView::ClearScene() {
  browser_.removeAllRoots();
  sceneContent_ = false;
}

SFFloatHandle SceneView::TestNode(const std::string& name) {
  logLine("CPrismView::TestNode entered");
  if (!attached_) {
    logLine("CPrismView::TestNode false returned #1");
    return {};
  }
  logText("CPrismView::TestNode name in is ", name.c_str());
  NodeHandle node;
  if (!browser_.findNode(name, node)) {
    logLine("CPrismView::TestNode false returned #3");
    return {};
  }
  logLine("CPrismView::TestNode true returned");
  if (node.node()->type->name != "Inline" || !node.node()->extras().inlineScene) {
    logLine("CPrismView::TestNode Failed trying to get Terrain_Material");
    return {};
  }
  NodeHandle material;
  if (!browser_.findInlineNode(node, "Terrain_Material", material)) {
    // Both TestNode lines keep the old view class's name and wording on
    // purpose: log readers match them.
    logLine("CPrismView::TestNode Failed getting Terrain_Material from Inline Nodes");
    return {};
  }
  logLine("CPrismView::TestNode Hey, I got Terrain_Material from Inline Nodes");
  SFFloatHandle transparency;
  if (!browser_.field(material, "transparency", transparency)) {
    logLine("CPrismView::TestNode did not get transparency");
    return {};
  }
  logLine("CPrismView::TestNode SUCCESS");
  return transparency;
}

void SceneView::ChangeObjectColor(const ColorPicker& pick) {
  logLine("attempting to change diffuse color");
  VisualObject* object = registry_.currentObject();
  const SFColorHandle* color = nullptr;
  if (object != nullptr) {
    color = object->diffuseColor.valid()    ? &object->diffuseColor
            : object->emissiveColor.valid() ? &object->emissiveColor
                                            : nullptr;
  }
  if (color == nullptr) {
    logLine("color is NULL");
    return;
  }
  Vec3f rgb;
  if (!color->get(rgb)) {
    logLine("Failed getting color values");
    return;
  }
  char line[200];
  std::snprintf(line, sizeof line, "r %f, g %f, b %f\n", static_cast<double>(rgb.x),
                static_cast<double>(rgb.y), static_cast<double>(rgb.z));
  logLine(line);
  auto toByte = [](float c) { return static_cast<int>(c * 255) & 0xff; };
  std::optional<std::array<int, 3>> chosen = pick({toByte(rgb.x), toByte(rgb.y), toByte(rgb.z)});
  if (!chosen) return;
  Vec3f picked{static_cast<float>((*chosen)[0]) / 255, static_cast<float>((*chosen)[1]) / 255,
               static_cast<float>((*chosen)[2]) / 255};
  std::snprintf(line, sizeof line, "new r %f, g %f, b %f\n", static_cast<double>(picked.x),
                static_cast<double>(picked.y), static_cast<double>(picked.z));
  logLine(line);
  // An object with only an emissive colour is shown the picker but keeps
  // its colour.
  if (object->diffuseColor.valid()) object->diffuseColor.set(picked);
}

void SceneView::ChooseImageTexture(const FileChooser& choose) {
  NodeHandle texture;
  MFStringHandle url;
  if (!browser_.findNode("Imgtexture", texture) || !browser_.field(texture, "url", url)) {
    logLine("Failed getting URL field");
    return;
  }
  if (std::optional<std::string> path = choose()) url.set0(*path);
}

}  // namespace kestrel
