#pragma once
// The GL state handling of the renderer: batches, blending, filters, texture
// upload, scissor and nested stencil masks. RendererGLES2 adds programs,
// uniforms, render targets and the blur. All calls need the GL context
// current on the main thread; construction makes no GL call.
// Texture upload rules: a texture whose size differs from what GL holds (or
// wider than 1024) is specified anew with glTexImage2D, otherwise updated in
// place; a texture drawn with the mipmap filter gets mipmaps of its current
// contents, or the linear filter where mipmaps cannot be made.
#include <array>

#include "render/Renderer.h"

namespace GCore {

class RendererGL1 : public Renderer {
 public:
  RendererGL1() = default;
  ~RendererGL1() override;

  int Init() override;
  void SetProjection(float left, float right, float bottom, float top, float near, float far,
                     bool orthographic) override;
  void SetViewport(float x, float y, float width, float height) override;
  void Resize(int32_t width, int32_t height) override;
  void BeginStencilMask(bool invert, float alphaReference) override;
  void ApplyStencilMask() override;
  void EndStencilMask() override;
  uint32_t PrepareTexture(Texture* texture) override;
  void ReleaseTexture(Texture* texture) override;
  void ReadScreen(uint8_t* pixels) override;

  // Alpha testing does not exist in GL ES 2: kept as a no-op hook.
  virtual void SetAlphaFunc(uint32_t, float) {}
  virtual void EnableVertexAttrib(int, bool) {}
  virtual void SetVertexAttribPointer(int, int, uint32_t, bool, int, const void*) {}

  float aspect = 1.0f;
  Mat4 projectionRowMajor{};
  Mat4 projection{};  // column-major, uploaded as "proj"
  std::array<int32_t, 4> viewport{};

 protected:
  void SubmitQuads(QuadBatch& batch) override;
  void SubmitBatch(VertexBatch& batch) override;
  void ApplyBlendMode(int8_t mode) override;
  void ApplyScissor(const ScissorBox* box) override;

  // Whether indices may be 32-bit (GL ES 3, or ES 2 with
  // OES_element_index_uint); without them a batch beyond 65,536 vertices is
  // drawn in pieces that 16-bit indices reach.
  bool uintIndices_ = false;

 private:
  void BindBatchTexture(Texture* texture);
  // Binds the shared quad index buffer, grown to cover `quads` quads; false
  // when it cannot be made.
  bool BindQuadIndices(uint32_t quads);
  void ApplyTextureFilter(Texture* texture, uint32_t name);
  void Upload(Texture& texture, bool fresh);

  // Whether the context can make mipmaps of textures whose sides are not
  // powers of two (GL ES 3, or ES 2 with OES_texture_npot).
  bool npotMipmaps_ = false;
  int32_t maxTextureSize_ = 0;
  // The index pattern of quads (0, 1, 2, 0, 2, 3 from each quad's first
  // vertex), made once for as many quads as a batch has needed. The vertices
  // stay in client memory: on a software driver a buffer object re-specified
  // every frame measured slower than the driver's own upload of client arrays.
  uint32_t indexBuffer_ = 0;
  uint32_t indexedQuads_ = 0;
};

}  // namespace GCore
