// A headless OpenGL 3.3 core context through EGL (Mesa's surfaceless
// platform first, then the default display), made current on the calling
// thread, with no window or display server needed. The EGL display is
// opened once per process and shared by every context.
#pragma once

#include <memory>
#include <string>

namespace kestrel {

class EglContext {
 public:
  // Null with ERROR filled when no context can be made.
  static std::unique_ptr<EglContext> create(std::string* error);
  ~EglContext();
  // Makes the context current again on the calling thread (after another
  // context was; nothing to do when it is); false when EGL refuses.
  bool makeCurrent();
  // Leaves the calling thread without a current context, so that another
  // thread can make this one current; false when EGL refuses.
  bool release();
  EglContext(const EglContext&) = delete;
  EglContext& operator=(const EglContext&) = delete;

 private:
  EglContext() = default;
  void* display_ = nullptr;
  void* context_ = nullptr;
};

}  // namespace kestrel
