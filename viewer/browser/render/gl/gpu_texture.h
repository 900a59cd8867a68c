// ImageTexture and PixelTexture nodes as OpenGL textures (mipmapped,
// repeat or clamp as the node says), cached by node until clear();
// MovieTexture nodes through MovieTextures (movie_texture.h).
// Needs a current OpenGL 3.3 context on the thread that made it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "viewer/browser/node.h"
#include "viewer/browser/render/gl/image_io.h"

namespace kestrel {

// Maps a texture URL found in a scene to a local file; false when it is not local.
using TextureResolver =
    std::function<bool(const std::string& url, const std::string& baseDir, std::string& path)>;

// Where a MovieTexture (or AudioClip) is in its file, in seconds
// (CVrmlBrowser::mediaPosition).
using MediaPositions = std::function<double(const Node& clip)>;

class MovieTextures;

// An image file read ahead: what readImageFile gave for it.
struct DecodedImage {
  bool ok = false;
  RgbaImage image;
  std::string why;
};
// By file path.
using DecodedImages = std::unordered_map<std::string, DecodedImage>;

struct GpuTexture {
  unsigned id = 0;
  // Components as VRML counts them: 1 intensity, 2 intensity and alpha,
  // 3 RGB, 4 RGBA.
  int comps = 3;
  // Alpha only fully clear or fully opaque (a cut-out: drawn with the
  // opaque shapes, clear texels discarded, no sorting needed).
  bool cutout = false;
  bool ok = false;  // false: nothing could be read, the shape draws untextured

  // Some texels partly clear: the shape blends with what is behind it, so
  // it is drawn with the transparent shapes, sorted with them.
  bool blends() const { return ok && (comps == 2 || comps == 4) && !cutout; }
};

class TextureCache {
 public:
  TextureCache();
  ~TextureCache();
  TextureCache(const TextureCache&) = delete;
  TextureCache& operator=(const TextureCache&) = delete;

  // The texture of node T whose relative URLs resolve against DIR; files
  // that cannot be read are added to PROBLEMS (once: the result is cached).
  const GpuTexture& textureFor(const Node& t, const std::string& dir,
                               const TextureResolver& resolver,
                               std::vector<std::string>& problems);
  void clear();
  // Image files read ahead (before there was a context): textureFor takes
  // a file's image from here instead of reading it again. clear() drops
  // those not used.
  void adoptDecodedImages(DecodedImages ahead) { ahead_ = std::move(ahead); }
  // Where movies are; without it every movie shows its first frame.
  void setMediaPositions(MediaPositions positions) { positions_ = std::move(positions); }

 private:
  // readImageFile, or the image read ahead for PATH.
  bool readImage(const std::string& path, RgbaImage& img, std::string* why);

  std::unordered_map<const Node*, GpuTexture> textures_;
  DecodedImages ahead_;
  std::unique_ptr<MovieTextures> movies_;
  MediaPositions positions_;
};

}  // namespace kestrel
