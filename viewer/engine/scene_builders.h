// The scene builders and file loaders as the engine sees them: the commands
// that open files by kind (`load`), make labels, terrain inlines and flat
// maps, and run the "*" generators. The engine calls these entry points
// after writing its own log lines; the base class serves none of them.
#pragma once

#include <string>

namespace kestrel {

class SceneBuilders {
 public:
  virtual ~SceneBuilders() = default;
  // `load` (and a file named on the command line): open PATH by its kind.
  virtual void openFile(const std::string& path) { (void)path; }
  // The local file that openFile(PATH) reads (render root paths mapped).
  virtual std::string localPath(const std::string& path) const { return path; }
  // The web page's map request: a flat map object named NAME.
  virtual void mapRequest(const std::string& name) { (void)name; }
  // `loadmap`: a flat map object NAME of the current image file.
  virtual void loadMap(const std::string& name) { (void)name; }
  // A "*" line (TEXT without the "*"): grid, view, image or label blocks.
  virtual void starLine(const std::string& text) { (void)text; }
  // `inline`: a terrain Inline of TEXT.
  virtual void inlineScene(const std::string& text) { (void)text; }
  // `label`: a text label.
  virtual void label(const std::string& text) { (void)text; }
};

}  // namespace kestrel
