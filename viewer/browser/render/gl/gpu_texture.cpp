#include "viewer/browser/render/gl/gpu_texture.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <algorithm>

#include "viewer/browser/render/gl/image_io.h"
#include "viewer/browser/render/gl/mipmaps.h"
#include "viewer/browser/render/gl/movie_texture.h"
#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/render_keys.h"

namespace kestrel {
namespace {

bool onlyClearOrOpaque(const RgbaImage& img) {
  for (size_t i = 3; i < img.pixels.size(); i += 4) {
    if (img.pixels[i] != 0 && img.pixels[i] != 255) return false;
  }
  return true;
}

}  // namespace

TextureCache::TextureCache() : movies_(std::make_unique<MovieTextures>()) {}
TextureCache::~TextureCache() { clear(); }

bool TextureCache::readImage(const std::string& path, RgbaImage& img, std::string* why) {
  auto ahead = ahead_.find(path);
  if (ahead == ahead_.end()) return readImageFile(path, img, why);
  DecodedImage& d = ahead->second;
  img = std::move(d.image);
  if (why) *why = std::move(d.why);
  const bool ok = d.ok;
  ahead_.erase(ahead);
  return ok;
}

void TextureCache::clear() {
  ahead_.clear();
  movies_->clear();
  for (auto& [node, t] : textures_)
    if (t.id) glDeleteTextures(1, &t.id);
  textures_.clear();
}

const GpuTexture& TextureCache::textureFor(const Node& t, const std::string& dir,
                                           const TextureResolver& resolver,
                                           std::vector<std::string>& problems) {
  if (kindOf(t) == NodeKind::MovieTexture)
    return movies_->textureFor(t, dir, resolver, positions_ ? positions_(t) : 0, problems);
  auto found = textures_.find(&t);
  if (found != textures_.end()) return found->second;
  RgbaImage img;
  int comps = 3;
  const TextureKeys& keys = renderKeys().texture(kindOf(t));
  if (kindOf(t) == NodeKind::PixelTexture) {
    Image src = fieldOr(t, keys.image, Image{});
    img = imageFromSFImage(src);
    comps = src.components;
  } else {
    for (const std::string& url : listOf<std::string>(t, keys.url)) {
      std::string path, why;
      if (resolver ? resolver(url, dir, path) : false) {
        if (readImage(path, img, &why)) break;
        problems.push_back(why);
      }
    }
    comps = (img.grey ? 1 : 3) + (img.hasAlpha || img.alphaChannel ? 1 : 0);
  }
  GpuTexture gt;
  gt.comps = comps;
  gt.cutout = (comps == 2 || comps == 4) && onlyClearOrOpaque(img);
  if (img.width > 0) {
    glGenTextures(1, &gt.id);
    glBindTexture(GL_TEXTURE_2D, gt.id);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    // Rows are stored top first; texture coordinate t = 0 is the bottom.
    flipRows(img);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, img.width, img.height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, img.pixels.data());
    int level = 0;
    for (const MipLevel& m : mipmapsBelow(img.pixels.data(), img.width, img.height)) {
      glTexImage2D(GL_TEXTURE_2D, ++level, GL_RGBA8, m.width, m.height, 0, GL_RGBA,
                   GL_UNSIGNED_BYTE, m.pixels.data());
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    GLint s = fieldOr(t, keys.repeatS, true) ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    GLint r = fieldOr(t, keys.repeatT, true) ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, s);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, r);
    gt.ok = true;
  }
  return textures_.emplace(&t, gt).first->second;
}

}  // namespace kestrel
