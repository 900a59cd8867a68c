// Which files are models, and the file access the importer gets: the model
// file itself and the files it names (materials, buffers, images) are read
// only from the model's own folder, through readRegularFile, so a model
// cannot reach other files, FIFOs, devices or anything over the size limit.
#pragma once

#include <cstddef>
#include <string>

#include <assimp/IOSystem.hpp>

#include "viewer/media/model_names.h"

namespace kestrel {

// The absolute path CANDIDATE (absolute, or relative to FOLDER) names when
// it lies inside FOLDER once "..", "." and symbolic links are resolved;
// "" when it lies anywhere else, or FOLDER is "".
std::string pathInsideFolder(const std::string& folder, const std::string& candidate);

// Serves reads of files inside one folder ("": none); every other name does
// not exist.
// Each file is read whole (at most MAX_BYTES) and served from memory.
class FolderIoSystem : public Assimp::IOSystem {
 public:
  FolderIoSystem(std::string folder, size_t maxBytes);

  bool Exists(const char* file) const override;
  char getOsSeparator() const override { return '/'; }
  Assimp::IOStream* Open(const char* file, const char* mode) override;
  void Close(Assimp::IOStream* stream) override;

 private:
  std::string folder_;
  size_t maxBytes_;
};

}  // namespace kestrel
