// Drawing into a framebuffer that the caller owns, with the caller's
// camera (as a window does), beside the snapshot path.
#include <gtest/gtest.h>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <cmath>
#include <vector>

#include "viewer/browser/render/gl/egl_context.h"
#include "viewer/browser/render/gl/gl_renderer.h"
#include "viewer/browser/render/core/navigator.h"
#include "viewer/browser/render/core/test_scene.h"
#include "viewer/browser/render/core/traversal.h"

namespace kestrel {
namespace {

constexpr int kSize = 64;

// A framebuffer object of the caller's, like a window's.
class OwnFramebuffer {
 public:
  OwnFramebuffer() {
    glGenFramebuffers(1, &fbo_);
    glGenRenderbuffers(2, buffers_);
    glBindRenderbuffer(GL_RENDERBUFFER, buffers_[0]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kSize, kSize);
    glBindRenderbuffer(GL_RENDERBUFFER, buffers_[1]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, kSize, kSize);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, buffers_[0]);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                              buffers_[1]);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
  }
  ~OwnFramebuffer() {
    glDeleteFramebuffers(1, &fbo_);
    glDeleteRenderbuffers(2, buffers_);
  }
  GLuint id() const { return fbo_; }
  // Red, green and blue at X, Y (rows from the bottom, as OpenGL counts).
  std::vector<int> pixel(int x, int y) const {
    uint8_t p[4] = {};
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
  }

 private:
  GLuint fbo_ = 0;
  GLuint buffers_[2] = {};
};

class DrawIntoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    context_ = EglContext::create(&error);
    ASSERT_TRUE(context_) << "no OpenGL context: " << error;
    renderer_ = std::make_unique<GlRenderer>();
    ASSERT_TRUE(renderer_->init(&error)) << error;
    target_ = std::make_unique<OwnFramebuffer>();
  }
  void TearDown() override {
    target_.reset();
    renderer_.reset();
  }

  std::unique_ptr<EglContext> context_;
  std::unique_ptr<GlRenderer> renderer_;
  std::unique_ptr<OwnFramebuffer> target_;
};

const char* kRedBallOnBlue =
    "Background { skyColor 0 0 1 } Shape { appearance Appearance { material Material {"
    " diffuseColor 0 0 0 emissiveColor 1 0 0 } } geometry Sphere {} }";

TEST_F(DrawIntoTest, DrawsIntoTheGivenFramebufferWithTheGivenCamera) {
  Scene scene = parseScene(kRedBallOnBlue);
  Navigator nav;
  nav.setViewport(kSize, kSize);
  nav.bind(findBindings(scene.rootNodes()));
  Vec3f seenCentre{9, 9, 9};
  float seenRadius = 0;
  CameraSource source = [&](const Bindings& b, int w, int h, Vec3f c, float r) {
    seenCentre = c;
    seenRadius = r;
    return nav.camera(b, w, h, c, r);
  };
  std::string error;
  ASSERT_TRUE(renderer_->drawInto(target_->id(), scene.rootNodes(), "", kSize, kSize, source,
                                  &error))
      << error;
  EXPECT_EQ(target_->pixel(kSize / 2, kSize / 2), (std::vector<int>{255, 0, 0}));
  EXPECT_EQ(target_->pixel(0, 0), (std::vector<int>{0, 0, 255}));
  // The source saw the sphere's bounds (its box's corners).
  EXPECT_NEAR(length(seenCentre), 0, 1e-5);
  EXPECT_NEAR(seenRadius, std::sqrt(3.0f), 1e-3);

  // Moved aside, the ball leaves the middle.
  nav.setSceneBounds(seenCentre, seenRadius);
  nav.press(Navigator::kMiddle, 0, 0, 0);
  nav.move(-40, 0, 0);
  ASSERT_TRUE(renderer_->drawInto(target_->id(), scene.rootNodes(), "", kSize, kSize, source,
                                  &error));
  EXPECT_EQ(target_->pixel(kSize / 2, kSize / 2), (std::vector<int>{0, 0, 255}));
}

TEST_F(DrawIntoTest, SnapshotsStillUseTheBoundViewpointAfterwards) {
  Scene scene = parseScene(kRedBallOnBlue);
  CameraSource away = [](const Bindings& b, int w, int h, Vec3f c, float r) {
    Mat4 eye = Mat4::translation({0, 0, -10});  // behind the ball, looking away
    return cameraAt(eye, 0.8f, b, w, h, c, r);
  };
  std::string error;
  ASSERT_TRUE(renderer_->drawInto(target_->id(), scene.rootNodes(), "", kSize, kSize, away,
                                  &error));
  EXPECT_EQ(target_->pixel(kSize / 2, kSize / 2), (std::vector<int>{0, 0, 255}));
  RgbaImage img;
  ASSERT_TRUE(renderer_->render(scene.rootNodes(), "", kSize, kSize, img, &error)) << error;
  const uint8_t* c = img.at(kSize / 2, kSize / 2);
  EXPECT_GT(c[0], 240);
  EXPECT_LT(c[2], 10);
}

TEST_F(DrawIntoTest, ImagesCanBeTakenWithTheGivenCamera) {
  Scene scene = parseScene(kRedBallOnBlue);
  Navigator nav;
  nav.setViewport(kSize, kSize);
  nav.bind(findBindings(scene.rootNodes()));
  nav.setSceneBounds({}, 1);
  CameraSource source = [&](const Bindings& b, int w, int h, Vec3f c, float r) {
    return nav.camera(b, w, h, c, r);
  };
  auto redPixels = [&] {
    RgbaImage img;
    std::string error;
    EXPECT_TRUE(renderer_->render(scene.rootNodes(), "", kSize, kSize, source, img, &error))
        << error;
    int n = 0;
    for (int y = 0; y < img.height; ++y)
      for (int x = 0; x < img.width; ++x) n += img.at(x, y)[0] > 200 && img.at(x, y)[2] < 50;
    return n;
  };
  int far = redPixels();
  EXPECT_GT(far, 20);
  nav.wheel(3);
  EXPECT_GT(redPixels(), far * 2);
}

}  // namespace
}  // namespace kestrel
