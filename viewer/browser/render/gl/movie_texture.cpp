#include "viewer/browser/render/gl/movie_texture.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/render_keys.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/media/media_codecs.h"

namespace kestrel {

MovieTextures::MovieTextures() = default;
MovieTextures::~MovieTextures() { clear(); }

void MovieTextures::clear() {
  for (auto& [node, m] : movies_)
    if (m.gpu.id) glDeleteTextures(1, &m.gpu.id);
  movies_.clear();
}

void MovieTextures::open(Movie& m, const Node& t, const std::string& dir,
                         const TextureResolver& resolver, std::vector<std::string>& problems) {
  const TextureKeys& keys = renderKeys().movieTexture;
  for (const std::string& url : listOf<std::string>(t, keys.url)) {
    std::string path, why;
    if (!resolver || !resolver(url, dir, path)) continue;
    MediaCodecs* codecs = mediaCodecs();
    if (!codecs) return;  // logged once by mediaCodecs()
    m.decoder = codecs->openMovie(path, why);
    if (m.decoder) return;
    logTexts("Movie not shown:", path.c_str(), why.c_str());
    problems.push_back(path + ": " + why);
  }
}

void MovieTextures::upload(Movie& m, const Node& t, double seconds) {
  const MovieFrame& f = m.decoder->frameAt(seconds);
  if (f.serial == m.uploaded || f.width <= 0) return;
  if (!m.gpu.id) {
    const TextureKeys& keys = renderKeys().movieTexture;
    glGenTextures(1, &m.gpu.id);
    glBindTexture(GL_TEXTURE_2D, m.gpu.id);
    // A new picture every frame: no mipmaps to rebuild.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    GLint s = fieldOr(t, keys.repeatS, true) ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    GLint r = fieldOr(t, keys.repeatT, true) ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, s);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, r);
  }
  glBindTexture(GL_TEXTURE_2D, m.gpu.id);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  // Rows come top first; texture coordinate t = 0 is the bottom.
  if (f.width != m.width || f.height != m.height) {
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, f.width, f.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 nullptr);
    m.width = f.width;
    m.height = f.height;
  }
  const size_t row = size_t(f.width) * 4;
  for (int y = 0; y < f.height; ++y)
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, f.height - 1 - y, f.width, 1, GL_RGBA, GL_UNSIGNED_BYTE,
                    f.rgba.data() + size_t(y) * row);
  m.uploaded = f.serial;
  // A movie with alpha is a texture of four components: its alpha replaces
  // the Material's transparency, and the shape is drawn blended, sorted
  // with the transparent ones (its clear texels may change every frame,
  // so it is never taken for a cut-out).
  m.gpu.comps = f.alpha ? 4 : 3;
  m.gpu.cutout = false;
  m.gpu.ok = true;
}

const GpuTexture& MovieTextures::textureFor(const Node& t, const std::string& dir,
                                            const TextureResolver& resolver, double seconds,
                                            std::vector<std::string>& problems) {
  auto [it, added] = movies_.try_emplace(&t);
  Movie& m = it->second;
  const std::vector<std::string>& urls = listOf<std::string>(t, renderKeys().movieTexture.url);
  if (!added && m.urls != urls) {
    // Another movie (a script or route set the url): opened afresh.
    if (m.gpu.id) glDeleteTextures(1, &m.gpu.id);
    m = Movie{};
    added = true;
  }
  if (added) {
    m.urls = urls;
    open(m, t, dir, resolver, problems);
  }
  if (m.decoder) upload(m, t, seconds);
  return m.gpu;
}

}  // namespace kestrel
