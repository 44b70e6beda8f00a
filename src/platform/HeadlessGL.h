#pragma once
// An OpenGL ES 2 context without any window system: Mesa's surfaceless EGL
// platform with an off-screen pbuffer (RGBA 8888, 8 stencil bits) as the
// default framebuffer. Tests and benchmarks draw and read pixels back with it;
// it needs no X server. One per thread; the context is current on the thread
// that made it until it is destroyed.
#include <memory>
#include <string>

namespace GCore {

class HeadlessGL {
 public:
  // Null, with the reason in `error`, when no such context can be made.
  static std::unique_ptr<HeadlessGL> Create(int width, int height, std::string& error);
  HeadlessGL(const HeadlessGL&) = delete;
  HeadlessGL& operator=(const HeadlessGL&) = delete;
  ~HeadlessGL();

  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  HeadlessGL() = default;

  void* display_ = nullptr;
  void* surface_ = nullptr;
  void* context_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace GCore
