// Engine: executes the command language. It is the engine loop (one tick
// per timer message, see engine_loop.h) with the dispatch of every command
// code onto the object registry and its operations, the templates and info
// table, the function manager, the scene view and the scene builders.
//
// Engine thread only, except currentImageFile(), which other threads read.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "viewer/browser/vrml_browser.h"
#include "viewer/engine/engine_loop.h"
#include "viewer/engine/function_manager.h"
#include "viewer/engine/object_operations.h"
#include "viewer/engine/scene_builders.h"
#include "viewer/engine/scene_view.h"
#include "viewer/engine/templates.h"
#include "viewer/engine/visual_object_registry.h"
#include "viewer/intake/thread_annotations.h"

namespace kestrel {

class Engine : public EngineLoop {
 public:
  // RENDER_ROOT is where "c:/corvid/render/" paths lead.
  Engine(InternalCommandQueue& primary, InternalCommandQueue& secondary,
         std::string renderRoot = {});
  ~Engine() override;

  // The builders that serve load, label, inline, loadmap, "*" and map
  // requests; without one those commands only write their log lines.
  void setBuilders(SceneBuilders* builders) { builders_ = builders; }
  SceneBuilders& builders() { return *builders_; }

  CVrmlBrowser& browser() { return browser_; }
  SceneView& view() { return view_; }
  const SceneView& view() const { return view_; }
  VisualObjectRegistry& registry() { return registry_; }
  const VisualObjectRegistry& registry() const { return registry_; }
  ObjectOperations& operations() { return operations_; }
  TemplateList& templates() { return templates_; }
  InfoTable& info() { return info_; }
  FunctionManager& functions() { return functions_; }

  const std::string& currentObjectName() const { return currentName_; }
  void setCurrentObjectName(const std::string& name) { currentName_ = name; }
  const std::optional<std::string>& lastCommandFile() const { return lastCommandFile_; }
  void setLastCommandFile(std::optional<std::string> path) { lastCommandFile_ = std::move(path); }
  const std::optional<std::string>& infoText() const { return infoText_; }
  std::string currentImageFile() const;
  void setCurrentImageFile(const std::string& path);
  // The counter of "map_%d" names; the first is 1.
  int nextMapNumber() { return mapCounter_++; }

  // Fast mode on or off, as `fast` and `slow` do; the .wrl loader turns it
  // on so that a whole scene file runs in one tick.
  using EngineLoop::setFastMode;

  // Cycles to the next object and runs "jiggle", as `cycle` does.
  void cycleObjects();

 protected:
  void execute(QueuedCommand& entry, InternalCommandQueue& queue) override;

 private:
  void runDataBlock(QueuedCommand& entry, InternalCommandQueue& queue);
  void runTemplateBlock(QueuedCommand& entry, InternalCommandQueue& queue);
  void runFunctionBlock(QueuedCommand& entry, InternalCommandQueue& queue);
  void runSetInfo(const char* name, const char* value);
  bool dispatchObjectCommand(const QueuedCommand& entry);
  bool dispatchSceneCommand(const QueuedCommand& entry);

  CVrmlBrowser browser_;
  VisualObjectRegistry registry_;
  ObjectOperations operations_;
  std::string currentName_;
  SceneView view_;
  TemplateList templates_;
  InfoTable info_;
  FunctionManager functions_;
  SceneBuilders defaultBuilders_;
  SceneBuilders* builders_ = &defaultBuilders_;
  std::optional<std::string> lastCommandFile_;
  std::optional<std::string> infoText_;
  mutable Mutex imageMutex_;
  std::string currentImageFile_ GUARDED_BY(imageMutex_);
  int mapCounter_ = 1;
};

}  // namespace kestrel
