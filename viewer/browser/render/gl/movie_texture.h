// MovieTexture nodes as OpenGL textures: each node's movie is decoded by
// the media codecs (viewer/media/media_codecs.h, opened on the first
// movie) and the frame for the clip's position in
// its file is uploaded whenever it changes; a movie with alpha is a
// texture of four components, drawn blended. A movie that cannot be read
// is logged once and its shape draws untextured, as for a missing image.
// Needs a current OpenGL 3.3 context on the thread that made it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "viewer/browser/render/gl/gpu_texture.h"

namespace kestrel {

class MoviePlayback;

class MovieTextures {
 public:
  MovieTextures();
  ~MovieTextures();
  MovieTextures(const MovieTextures&) = delete;
  MovieTextures& operator=(const MovieTextures&) = delete;

  // The texture of MovieTexture T showing the frame SECONDS into its movie.
  const GpuTexture& textureFor(const Node& t, const std::string& dir,
                               const TextureResolver& resolver, double seconds,
                               std::vector<std::string>& problems);
  void clear();

 private:
  struct Movie {
    std::unique_ptr<MoviePlayback> decoder;
    GpuTexture gpu;
    uint64_t uploaded = 0;  // serial of the frame in the texture
    int width = 0, height = 0;
    std::vector<std::string> urls;  // what the decoder was opened for
  };
  void open(Movie& m, const Node& t, const std::string& dir, const TextureResolver& resolver,
            std::vector<std::string>& problems);
  void upload(Movie& m, const Node& t, double seconds);

  std::unordered_map<const Node*, Movie> movies_;
};

}  // namespace kestrel
