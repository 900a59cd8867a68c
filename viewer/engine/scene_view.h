// SceneView: the scene node access of the view, without any window. It has
// the browser make nodes from VRML text, puts them under the current group
// or at the root, binds a new visual object's handles by the DEF naming
// conventions (Script_N, Xform_N, N, Mat_N, info_script) and registers it.
// Also the other direct scene operations of the view: attaching the
// browser, emptying the scene, the terrain transparency lookup, the colour
// change and the image texture choice.
//
// The window's CPrismView owns one and forwards to it; --headless and the
// tests use it directly. Engine thread only.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "viewer/browser/visual_object.h"
#include "viewer/browser/vrml_browser.h"

namespace kestrel {

class ObjectOperations;
class VisualObjectRegistry;

class SceneView {
 public:
  // A colour picker: gets the initial colour as 0-255 components and
  // returns the chosen one, or nullopt when cancelled.
  using ColorPicker = std::function<std::optional<std::array<int, 3>>(std::array<int, 3>)>;
  // A file chooser: returns the chosen path, or nullopt when cancelled.
  using FileChooser = std::function<std::optional<std::string>()>;

  // BROWSER and OBJECTS (with its registry) must outlive the view.
  // CURRENT_NAME is the engine's current object name, which names the nodes
  // to look up.
  SceneView(CVrmlBrowser& browser, ObjectOperations& objects, const std::string& currentName);

  // Obtains the browser's engine interface (again, for `reset`).
  bool AttachEngine();
  // Builds, adds and registers one visual object from SCENE_TEXT under
  // REGISTRATION_NAME; false (with its log line) when nothing was added.
  // With ORIGIN the text holds a file's lines and is read as that file is
  // (leniently, relative URLs beside it); without, strictly.
  bool AddSceneObject(const std::string& sceneText, const std::optional<std::string>& infoText,
                      const std::string& registrationName,
                      const std::optional<TextOrigin>& origin = std::nullopt);
  void ClearScene();
  // The "Terrain_Material" transparency inside the Inline named NAME.
  SFFloatHandle TestNode(const std::string& name);
  void ChangeObjectColor(const ColorPicker& pick);
  void ChooseImageTexture(const FileChooser& choose);

  bool hasSceneContent() const { return sceneContent_; }
  CVrmlBrowser& browser() { return browser_; }

 private:
  void bindHandles(VisualObject& object, const std::optional<std::string>& infoText);
  void bindScriptInputs(VisualObject& object, const std::string& n);
  void bindMaterial(VisualObject& object, const std::string& n);
  bool addToScene(VrmlContent& content);

  CVrmlBrowser& browser_;
  ObjectOperations& objects_;
  VisualObjectRegistry& registry_;
  const std::string& currentName_;
  bool attached_ = false;
  bool sceneContent_ = false;
};

}  // namespace kestrel
