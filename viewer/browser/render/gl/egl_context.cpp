#include "viewer/browser/render/gl/egl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>

namespace kestrel {
namespace {

EGLDisplay openDisplay() {
  auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay) {
    EGLDisplay d = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (d != EGL_NO_DISPLAY && eglInitialize(d, nullptr, nullptr)) return d;
  }
  EGLDisplay d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  if (d != EGL_NO_DISPLAY && eglInitialize(d, nullptr, nullptr)) return d;
  return EGL_NO_DISPLAY;
}

// The display is opened once for the process and never terminated: every
// context shares it (terminating it under another live context would take
// that one's display away), and Mesa's eglTerminate joins the software
// rasterizer's threads and frees the driver, work a process about to end
// need not wait for.
EGLDisplay sharedDisplay() {
  static const EGLDisplay display = openDisplay();
  return display;
}

}  // namespace

std::unique_ptr<EglContext> EglContext::create(std::string* error) {
  auto fail = [&](const char* what) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%04x", unsigned(eglGetError()));
    if (error) *error = std::string(what) + " (EGL error " + code + ")";
    return nullptr;
  };
  EGLDisplay display = sharedDisplay();
  if (display == EGL_NO_DISPLAY) return fail("no EGL display");
  std::unique_ptr<EglContext> ctx(new EglContext);
  ctx->display_ = display;
  if (!eglBindAPI(EGL_OPENGL_API)) return fail("EGL has no desktop OpenGL");
  // The default surface type (window) does not exist without a display.
  const EGLint configAttrs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE,
                                EGL_PBUFFER_BIT, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8,
                                EGL_BLUE_SIZE, 8, EGL_NONE};
  EGLConfig config;
  EGLint count = 0;
  if (!eglChooseConfig(display, configAttrs, &config, 1, &count) || count < 1) {
    // The surfaceless platform may offer configs without any surface type.
    const EGLint anyConfig[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, 0,
                                EGL_NONE};
    if (!eglChooseConfig(display, anyConfig, &config, 1, &count) || count < 1)
      return fail("no EGL config for OpenGL");
  }
  const EGLint contextAttrs[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                 EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttrs);
  if (context == EGL_NO_CONTEXT) return fail("cannot create an OpenGL 3.3 core context");
  ctx->context_ = context;
  if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context))
    return fail("cannot make the context current without a surface");
  return ctx;
}

bool EglContext::makeCurrent() {
  if (eglGetCurrentContext() == context_) return true;
  return eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_) == EGL_TRUE;
}

bool EglContext::release() {
  return eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT) == EGL_TRUE;
}

EglContext::~EglContext() {
  if (context_) {
    // Another context current on this thread stays current.
    if (eglGetCurrentContext() == context_)
      eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display_, context_);
  }
}

}  // namespace kestrel
