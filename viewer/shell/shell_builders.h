// ShellBuilders: the scene builders the engine calls for load, label,
// inline, loadmap, map requests and "*" lines, served by the file loaders
// and the VRML text builders of the shell.
//
// Engine thread only. ENGINE and PRIMARY must outlive it; install it with
// Engine::setBuilders and remove it before it dies.
#pragma once

#include <string>

#include "viewer/engine/scene_builders.h"
#include "viewer/shell/scene_file_loaders.h"
#include "viewer/shell/vrml_text_builders.h"

namespace kestrel {

class ShellBuilders : public SceneBuilders {
 public:
  ShellBuilders(Engine& engine, InternalCommandQueue& primary, std::string renderRoot)
      : loaders_(engine, primary, std::move(renderRoot)), text_(engine, primary) {}

  void openFile(const std::string& path) override { loaders_.openSceneFile(path); }
  std::string localPath(const std::string& path) const override {
    return loaders_.localPath(path);
  }
  void mapRequest(const std::string& name) override { text_.flatMap(name); }
  void loadMap(const std::string& name) override { text_.flatMap(name); }
  void starLine(const std::string& text) override { text_.starLine(text); }
  void inlineScene(const std::string& text) override { text_.inlineScene(text); }
  void label(const std::string& text) override { text_.label(text); }

  SceneFileLoaders& loaders() { return loaders_; }
  const SceneFileLoaders& loaders() const { return loaders_; }
  VrmlTextBuilders& textBuilders() { return text_; }

 private:
  SceneFileLoaders loaders_;
  VrmlTextBuilders text_;
};

}  // namespace kestrel
