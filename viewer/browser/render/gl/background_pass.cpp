#include "viewer/browser/render/gl/background_pass.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <algorithm>
#include <string>

#include "viewer/browser/render/gl/gl_program.h"
#include "viewer/browser/render/gl/image_io.h"
#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/render/core/render_keys.h"

#include "viewer/browser/render/core/sky_gradient.h"

namespace kestrel {
namespace {

constexpr int kMaxBands = 16;  // colours per sphere the shader takes

// The panorama samplers, in the order of the shader's bits and of the
// Background's url fields in RenderKeys (front, back, left, right, top,
// bottom).
const char* const kSideSampler[6] = {"uFront", "uBack", "uLeft", "uRight", "uTop", "uBottom"};

const char* const kVertex = R"(#version 330 core
out vec2 vNdc;
void main() {
  // One triangle that covers the screen.
  vec2 p = vec2(gl_VertexID == 1 ? 3.0 : -1.0, gl_VertexID == 2 ? 3.0 : -1.0);
  vNdc = p;
  gl_Position = vec4(p, 0.0, 1.0);
}
)";

const char* const kFragment = R"(#version 330 core
in vec2 vNdc;
out vec4 fragColor;
uniform mat4 uClipToDir;
uniform int uSkyN;
uniform float uSkyAngle[16];
uniform vec3 uSkyColor[16];
uniform int uGroundN;
uniform float uGroundAngle[16];
uniform vec3 uGroundColor[16];
uniform int uFaces;  // bit i: panorama image i is there
uniform sampler2D uFront, uBack, uLeft, uRight, uTop, uBottom;
vec4 side(int bit, sampler2D s, float u, float v) {
  if ((uFaces & bit) == 0) return vec4(0.0);
  return texture(s, vec2(u, v) * 0.5 + 0.5);
}
// The panorama seen along D: each image as seen from the cube's centre,
// the top one with its upper edge towards +Z, the bottom one towards -Z.
vec4 panorama(vec3 d) {
  vec3 a = abs(d);
  if (a.z >= a.x && a.z >= a.y)
    return d.z < 0.0 ? side(1, uFront, d.x / a.z, d.y / a.z) : side(2, uBack, -d.x / a.z, d.y / a.z);
  if (a.x >= a.y)
    return d.x < 0.0 ? side(4, uLeft, -d.z / a.x, d.y / a.x) : side(8, uRight, d.z / a.x, d.y / a.x);
  return d.y > 0.0 ? side(16, uTop, d.x / a.y, d.z / a.y) : side(32, uBottom, d.x / a.y, -d.z / a.y);
}
vec3 band(int n, float angles[16], vec3 colors[16], float a) {
  float from = 0.0;
  for (int i = 0; i + 1 < n; ++i) {
    if (a <= angles[i]) {
      float span = angles[i] - from;
      float t = span > 0.0 ? (a - from) / span : 1.0;
      return mix(colors[i], colors[i + 1], t);
    }
    from = angles[i];
  }
  return colors[n - 1];
}
void main() {
  vec4 far = uClipToDir * vec4(vNdc, 1.0, 1.0);
  vec4 near = uClipToDir * vec4(vNdc, -1.0, 1.0);
  vec3 dir = normalize(far.xyz / far.w - near.xyz / near.w);
  float fromTop = acos(clamp(dir.y, -1.0, 1.0));
  vec3 c = band(uSkyN, uSkyAngle, uSkyColor, fromTop);
  if (uGroundN > 0) {
    float fromBottom = 3.14159265 - fromTop;
    if (fromBottom <= uGroundAngle[uGroundN - 2])
      c = band(uGroundN, uGroundAngle, uGroundColor, fromBottom);
  }
  if (uFaces != 0) {
    vec4 p = panorama(dir);
    c = mix(c, p.rgb, p.a);
  }
  fragColor = vec4(c, 1.0);
}
)";

// Only the rotation of M: its upper 3x3 with the columns made unit length.
Mat4 rotationOf(const Mat4& m) {
  Mat4 r;
  for (int c = 0; c < 3; ++c) {
    Vec3f col = normalized(Vec3f{m.at(0, c), m.at(1, c), m.at(2, c)});
    r.at(0, c) = col.x;
    r.at(1, c) = col.y;
    r.at(2, c) = col.z;
  }
  return r;
}

void setBands(GLuint program, const char* count, const char* angle, const char* color,
              const std::vector<float>& angles, const std::vector<Vec3f>& colors) {
  size_t n = std::min<size_t>(colors.size(), kMaxBands);
  glUniform1i(glGetUniformLocation(program, count), GLint(n));
  std::vector<float> a(kMaxBands, 0), c(size_t(kMaxBands) * 3, 0);
  for (size_t i = 0; i < n; ++i) {
    if (i < angles.size()) a[i] = angles[i];
    c[i * 3] = colors[i].x;
    c[i * 3 + 1] = colors[i].y;
    c[i * 3 + 2] = colors[i].z;
  }
  glUniform1fv(glGetUniformLocation(program, angle), kMaxBands, a.data());
  glUniform3fv(glGetUniformLocation(program, color), kMaxBands, c.data());
}

// One colour in every direction: the sky has one colour and the ground,
// if any, only that colour too.
bool isPlain(const SkyGradient& sky) {
  const Vec3f c = sky.skyColors.front();
  auto same = [&](const std::vector<Vec3f>& colors) {
    return std::all_of(colors.begin(), colors.end(), [&](Vec3f v) {
      return v.x == c.x && v.y == c.y && v.z == c.z;
    });
  };
  return same(sky.skyColors) && same(sky.groundColors);
}

// Uploads IMG (turned upside down on the way).
GLuint uploadImage(RgbaImage& img) {
  GLuint id = 0;
  glGenTextures(1, &id);
  glBindTexture(GL_TEXTURE_2D, id);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  // Rows are stored top first; texture coordinate t = 0 is the bottom.
  flipRows(img);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, img.width, img.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               img.pixels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  return id;
}

}  // namespace

const BackgroundPass::Faces& BackgroundPass::facesFor(const Node& bg, const std::string& dir,
                                                      const TextureResolver& resolver,
                                                      std::vector<std::string>& problems) {
  auto found = faces_.find(&bg);
  if (found != faces_.end()) return found->second;
  Faces f;
  for (int i = 0; i < 6; ++i) {
    const MemberKey side = renderKeys().background.sideUrls[size_t(i)];
    for (const std::string& url : listOf<std::string>(bg, side)) {
      std::string path, why;
      if (!resolver || !resolver(url, dir, path)) continue;
      RgbaImage img;
      if (readImageFile(path, img, &why) && img.width > 0) {
        f.texture[i] = uploadImage(img);
        break;
      }
      problems.push_back(why);
    }
  }
  return faces_.emplace(&bg, f).first->second;
}

void BackgroundPass::clear() {
  for (auto& [node, f] : faces_)
    for (unsigned& t : f.texture)
      if (t) glDeleteTextures(1, &t);
  faces_.clear();
}

BackgroundPass::~BackgroundPass() {
  clear();
  if (program_) glDeleteProgram(program_);
  if (vao_) glDeleteVertexArrays(1, &vao_);
}

bool BackgroundPass::ensureProgram(std::vector<std::string>& problems) {
  if (program_ || failed_) return program_ != 0;
  std::string error;
  program_ = linkShaderProgram(kVertex, kFragment, "background", &error);
  if (program_) {
    glGenVertexArrays(1, &vao_);
  } else {
    failed_ = true;  // told once; the frames go on without a sky
    problems.push_back(error);
  }
  return program_ != 0;
}

void BackgroundPass::draw(const Bindings& bound, const Camera& cam,
                          const TextureResolver& resolver, std::vector<std::string>& problems) {
  const Node* background = bound.background;
  const Mat4& backgroundMatrix = bound.backgroundMatrix;
  SkyGradient sky = skyGradientOf(background);
  const Faces* faces = background ? &facesFor(*background, bound.backgroundDir, resolver, problems)
                                  : nullptr;
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  if (isPlain(sky) && !(faces && faces->any())) {
    // Most worlds: a clear does what the pass would, without compiling
    // its program or shading every pixel (a software rasterizer spends
    // noticeable time on both before the first frame).
    const Vec3f c = sky.skyColors.front();
    glClearColor(c.x, c.y, c.z, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    return;
  }
  if (!ensureProgram(problems)) return;
  // Clip space back to directions in the Background's frame, with every
  // translation dropped: the spheres stay centred on the viewer.
  Mat4 toClip = cam.projection * rotationOf(cam.view) * rotationOf(backgroundMatrix);
  glUseProgram(program_);
  glUniformMatrix4fv(glGetUniformLocation(program_, "uClipToDir"), 1, GL_FALSE,
                     toClip.inverse().m.data());
  setBands(program_, "uSkyN", "uSkyAngle", "uSkyColor", sky.skyAngles, sky.skyColors);
  setBands(program_, "uGroundN", "uGroundAngle", "uGroundColor", sky.groundAngles,
           sky.groundColors);
  int present = 0;
  if (faces) {
    const Faces& f = *faces;
    for (int i = 0; i < 6; ++i) {
      glActiveTexture(GLenum(GL_TEXTURE1 + i));
      glBindTexture(GL_TEXTURE_2D, f.texture[i]);
      glUniform1i(glGetUniformLocation(program_, kSideSampler[i]), 1 + i);
      if (f.texture[i]) present |= 1 << i;
    }
    glActiveTexture(GL_TEXTURE0);
  }
  glUniform1i(glGetUniformLocation(program_, "uFaces"), present);
  glDepthMask(GL_FALSE);
  glBindVertexArray(vao_);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  glBindVertexArray(0);
  glDepthMask(GL_TRUE);
}

}  // namespace kestrel
