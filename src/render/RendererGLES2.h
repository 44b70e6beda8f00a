#pragma once
// The renderer the engine constructs: GL state handling of RendererGL1 plus
// the five shader programs, their matrix uniforms and attribute plumbing, two
// 512 x 512 off-screen render targets and the progressive blur.
// Programs by id: 1 modulate (default), 2 add (tint mode), 3 horizontal blur,
// 4 vertical blur, 5 luminance. Init builds the default program; each other
// one is built when first used, and the render targets are made when a blur
// first captures a scene. Main thread, GL context current.
#include <map>
#include <memory>

#include "render/GShader.h"
#include "render/RendererGL1.h"

namespace GCore {

// A colour texture with a stencil buffer, drawn into through its framebuffer.
struct RenderTarget {
  uint32_t texture = 0;
  uint32_t framebuffer = 0;
  uint32_t renderbuffer = 0;
};

class RendererGLES2 : public RendererGL1 {
 public:
  static constexpr int kRenderTargetSide = 512;
  static constexpr uint8_t kBlurPasses = 10;

  RendererGLES2() = default;
  ~RendererGLES2() override = default;

  int Init() override;
  void SetProjection(float left, float right, float bottom, float top, float near, float far,
                     bool orthographic) override;
  void ApplyViewMatrix() override;
  void SetTintMode(bool on) override;
  void UseShader(int32_t id) override;
  void DrawBlurPass() override;
  void BeginFrame() override;
  void EndFrame() override;
  void EnableVertexAttrib(int index, bool on) override;
  void SetVertexAttribPointer(int index, int size, uint32_t type, bool normalised, int stride,
                              const void* pointer) override;

  const GShader* CurrentShader() const { return shader_; }
  // The program of that id, built if it was not yet; null for an id that
  // names none.
  const GShader* Shader(int32_t id);

  int32_t currentProgramId = 1;
  RenderTarget targetA;
  RenderTarget targetB;

 private:
  GShader* Program(int32_t id);
  void SelectShader(int32_t id);
  void UploadUniforms();
  void CreateRenderTarget(RenderTarget& target);
  void EnsureRenderTargets();
  void DrawFullScreenStrip();

  std::map<int32_t, std::unique_ptr<GShader>> shaders_;
  GShader* shader_ = nullptr;
  int32_t frameFramebuffer_ = 0;  // bound when the frame began
};

}  // namespace GCore
