// The loaders behind `load`, the File Open menu and files named on the
// command line. openSceneFile chooses by the name's suffix: VRML files are
// passed into the primary queue line by line as a data block, sphere and
// mesh files are converted into VRML data blocks, image files set the
// current image file, state files restore object appearances, and anything
// else is read as a command file. After those suffixes come the model
// formats (.gltf, .glb, .obj, .stl, .ply, .dae, .3ds, .x3d, .x3dv in any
// letter case): a model is converted into VRML97 text and queued exactly
// like a .wrl file; the info value "model_scale" (setinfo model_scale F)
// scales the models loaded after it. The importer is a module opened on the
// first model (model_formats.h). Images stored inside a model file are
// written into kModelTextureCache in the working directory. A model that
// cannot be read or converted gets one log line and queues nothing.
//
// A command file is read in pieces of kLoadPieceBytes, one piece per
// continueReading() (the viewer calls it every tick), so a big one neither
// holds the engine for long nor overflows the queue; files loaded while one
// is being read follow it in order. A small file is read whole at once.
//
// Files larger than the load size limit (kDefaultMaxLoadSize unless
// setMaxLoadSize changes it) are refused with one log line and not read.
//
// Paths under "c:/corvid/render/" (either drive letter case, either slash)
// are read from the render root. A file that cannot be read (missing,
// unreadable, a directory, binary) gets one log line naming it; the sphere
// and mesh loaders then queue nothing, so no batch is left open.
//
// Engine thread only (the loaders run inside the tick that executes `load`).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "viewer/browser/scene_check.h"
#include "viewer/browser/url_resolver.h"
#include "viewer/intake/command_file.h"
#include "viewer/shell/text_files.h"

namespace kestrel {

class Engine;
class InternalCommandQueue;

// Where images stored inside model files are written (relative to the
// working directory).
inline constexpr const char* kModelTextureCache = "model-textures";

// How much of a command file is read per engine tick.
inline constexpr size_t kLoadPieceBytes = size_t{1} << 20;

class SceneFileLoaders {
 public:
  // ENGINE and PRIMARY must outlive the loaders. RENDER_ROOT as for the
  // browser (empty: the environment's or the default).
  SceneFileLoaders(Engine& engine, InternalCommandQueue& primary, std::string renderRoot);

  void openSceneFile(const std::string& path);
  void loadVrmlFile(const std::string& path);
  void loadSphereFile(const std::string& path);
  void loadMeshFile(const std::string& path);
  void setImageFile(const std::string& path);
  void loadStateFile(const std::string& path);
  void loadCommandFile(const std::string& path);
  void loadModelFile(const std::string& path);

  // Reads the next piece of the command files being read.
  void continueReading();
  // Whether command files are still being read.
  bool reading() const { return !feeds_.empty(); }

  // Files over MAX_BYTES are refused.
  void setMaxLoadSize(uint64_t maxBytes) { maxLoadSize_ = maxBytes; }
  uint64_t maxLoadSize() const { return maxLoadSize_; }

  // Where PATH is read from: render root paths mapped, others unchanged.
  std::string localPath(const std::string& path) const;

 private:
  // The setinfo entry ahead of a VRML block (logs which one).
  std::string vrmlSetInfo();
  float modelScale() const;

  Engine& engine_;
  InternalCommandQueue& primary_;
  UrlResolver resolver_;
  uint64_t maxLoadSize_;
  std::deque<CommandFileFeed> feeds_;  // oldest first
};

// For --check and --print: the text of a scene file, or the VRML97 text a
// model file becomes (its stored images written into kModelTextureCache
// only with WRITE_IMAGES).
SceneTextReader sceneTextReader(bool writeImages);

}  // namespace kestrel
