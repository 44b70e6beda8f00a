#include "platform/HeadlessGL.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>

namespace GCore {

namespace {

std::string EglFailure(const char* step) {
  char text[96];
  std::snprintf(text, sizeof text, "%s failed (EGL error 0x%x)", step, eglGetError());
  return text;
}

}  // namespace

std::unique_ptr<HeadlessGL> HeadlessGL::Create(int width, int height, std::string& error) {
  auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!getPlatformDisplay) {
    error = "eglGetPlatformDisplayEXT is not available";
    return nullptr;
  }
  std::unique_ptr<HeadlessGL> gl(new HeadlessGL());
  EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
    error = EglFailure("surfaceless eglInitialize");
    return nullptr;
  }
  gl->display_ = display;

  const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
                                     EGL_RENDERABLE_TYPE, EGL_OPENGL_ES2_BIT,
                                     EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8,
                                     EGL_ALPHA_SIZE, 8, EGL_STENCIL_SIZE, 8,
                                     EGL_NONE};
  EGLConfig config = nullptr;
  EGLint found = 0;
  if (!eglChooseConfig(display, configAttributes, &config, 1, &found) || found < 1) {
    error = EglFailure("eglChooseConfig");
    return nullptr;
  }
  const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  gl->surface_ = eglCreatePbufferSurface(display, config, surfaceAttributes);
  if (gl->surface_ == EGL_NO_SURFACE) {
    error = EglFailure("eglCreatePbufferSurface");
    return nullptr;
  }
  eglBindAPI(EGL_OPENGL_ES_API);
  const EGLint contextAttributes[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
  gl->context_ = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
  if (gl->context_ == EGL_NO_CONTEXT) {
    error = EglFailure("eglCreateContext");
    return nullptr;
  }
  if (!eglMakeCurrent(display, gl->surface_, gl->surface_, gl->context_)) {
    error = EglFailure("eglMakeCurrent");
    return nullptr;
  }
  gl->width_ = width;
  gl->height_ = height;
  return gl;
}

HeadlessGL::~HeadlessGL() {
  if (!display_) return;
  eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (context_) eglDestroyContext(display_, context_);
  if (surface_) eglDestroySurface(display_, surface_);
  // The display stays initialised for the life of the process: terminating
  // it unloads Mesa's driver, which the next context would load again, and
  // leaves the leak checker unable to name the driver's own allocations.
  eglReleaseThread();
}

}  // namespace GCore
