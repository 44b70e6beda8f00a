#include "render/RendererGL1.h"

#include <GLES2/gl2.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "render/GShader.h"
#include "render/Texture.h"

namespace GCore {

namespace {

// Blend factors by blend mode: alpha, additive, multiply, screen.
constexpr GLenum kBlendFactors[4][2] = {{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
                                        {GL_SRC_ALPHA, GL_ONE},
                                        {GL_SRC_COLOR, GL_ZERO},
                                        {GL_DST_COLOR, GL_ONE}};

bool HasExtension(const char* name) {
  const char* all = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  const size_t length = std::strlen(name);
  for (const char* at = all ? std::strstr(all, name) : nullptr; at; at = std::strstr(at + 1, name)) {
    const bool starts = at == all || at[-1] == ' ';
    const bool ends = at[length] == ' ' || at[length] == '\0';
    if (starts && ends) return true;
  }
  return false;
}

}  // namespace

int RendererGL1::Init() {
  glClearColor(0, 0, 0, 1);
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  // A renderer rebuilt on a living context starts from the state a new
  // context has: nothing of the old renderer's blending, clips or masks.
  glBlendFunc(GL_ONE, GL_ZERO);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_STENCIL_TEST);
  glStencilMask(0xFF);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  // "OpenGL ES 3.x" and later make mipmaps of any size.
  const bool es3 = version && std::strncmp(version, "OpenGL ES ", 10) == 0 && version[10] >= '3';
  npotMipmaps_ = es3 || HasExtension("GL_OES_texture_npot");
  uintIndices_ = es3 || HasExtension("GL_OES_element_index_uint");
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize_);
  return 0;
}

void RendererGL1::SetProjection(float left, float right, float bottom, float top, float, float,
                                bool) {
  SetViewport(left, bottom, right - left, top - bottom);
}

void RendererGL1::SetViewport(float x, float y, float width, float height) {
  viewport = {static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(width),
              static_cast<int32_t>(height)};
}

void RendererGL1::Resize(int32_t width, int32_t height) {
  if (height == 0) height = 1;
  Renderer::Resize(width, height);
  aspect = static_cast<float>(width) / static_cast<float>(height);
  SetProjection(offsetX, static_cast<float>(width) - offsetX, offsetY,
                static_cast<float>(height) - offsetY, -1, 1, true);
  SetView(offsetX, offsetY, scaleX, scaleY);
}

void RendererGL1::ApplyBlendMode(int8_t mode) {
  if (mode < 0 || mode > 3) return;
  glBlendFunc(kBlendFactors[mode][0], kBlendFactors[mode][1]);
}

RendererGL1::~RendererGL1() {
  // The name is only made with a context current; GL ignores it without one.
  if (indexBuffer_) glDeleteBuffers(1, &indexBuffer_);
}

void RendererGL1::BindBatchTexture(Texture* texture) {
  const uint32_t name = PrepareTexture(texture);
  if (name) glBindTexture(GL_TEXTURE_2D, name);
  ApplyTextureFilter(texture, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

bool RendererGL1::BindQuadIndices(uint32_t quads) {
  if (!indexBuffer_) glGenBuffers(1, &indexBuffer_);
  if (!indexBuffer_) return false;
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer_);
  if (quads <= indexedQuads_) return true;
  uint32_t grown = std::max<uint32_t>(indexedQuads_, 1024);
  while (grown < quads) grown *= 2;
  const size_t count = 6 * static_cast<size_t>(grown);
  auto fill = [grown](auto* indices) {
    for (uint32_t q = 0; q < grown; ++q, indices += 6) {
      const uint32_t first = 4 * q;
      indices[0] = first, indices[1] = first + 1, indices[2] = first + 2;
      indices[3] = first, indices[4] = first + 2, indices[5] = first + 3;
    }
  };
  if (uintIndices_) {
    std::vector<GLuint> indices(count);
    fill(indices.data());
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(count * sizeof(GLuint)),
                 indices.data(), GL_STATIC_DRAW);
  } else {
    std::vector<GLushort> indices(count);
    fill(indices.data());
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(count * sizeof(GLushort)),
                 indices.data(), GL_STATIC_DRAW);
  }
  indexedQuads_ = grown;
  return true;
}

void RendererGL1::SubmitQuads(QuadBatch& batch) {
  // 16-bit indices reach the first 65,536 vertices from where the attributes
  // point, so longer batches are drawn in pieces of that many.
  constexpr uint32_t kShortIndexQuads = 65536 / 4;
  const uint32_t quads = batch.count / 4;
  const uint32_t piece = uintIndices_ ? quads : std::min(quads, kShortIndexQuads);
  if (quads == 0 || !BindQuadIndices(piece)) return;
  BindBatchTexture(batch.texture);

  EnableVertexAttrib(kAttribPosition, true);
  EnableVertexAttrib(kAttribTexCoords, true);
  EnableVertexAttrib(kAttribColor, true);
  constexpr int kStride = sizeof(QuadVertex);
  for (uint32_t first = 0; first < quads; first += piece) {
    const QuadVertex* from = batch.vertices.get() + 4 * size_t{first};
    SetVertexAttribPointer(kAttribPosition, 2, GL_FLOAT, false, kStride, &from->x);
    SetVertexAttribPointer(kAttribTexCoords, 2, GL_FLOAT, false, kStride, &from->u);
    SetVertexAttribPointer(kAttribColor, 4, GL_UNSIGNED_BYTE, true, kStride, &from->rgba);
    const uint32_t n = std::min(piece, quads - first);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(6 * n),
                   uintIndices_ ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, nullptr);
  }
  EnableVertexAttrib(kAttribPosition, false);
  EnableVertexAttrib(kAttribTexCoords, false);
  EnableVertexAttrib(kAttribColor, false);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

void RendererGL1::SubmitBatch(VertexBatch& batch) {
  BindBatchTexture(batch.texture);
  EnableVertexAttrib(kAttribPosition, true);
  EnableVertexAttrib(kAttribTexCoords, true);
  EnableVertexAttrib(kAttribColor, true);
  SetVertexAttribPointer(kAttribPosition, 3, GL_FLOAT, false, 0, batch.Positions());
  SetVertexAttribPointer(kAttribTexCoords, 2, GL_FLOAT, false, 0, batch.TexCoords());
  SetVertexAttribPointer(kAttribColor, 4, GL_FLOAT, false, 0, batch.Colours());
  glDrawArrays(batch.mode, 0, static_cast<GLsizei>(batch.count));
  EnableVertexAttrib(kAttribPosition, false);
  EnableVertexAttrib(kAttribTexCoords, false);
  EnableVertexAttrib(kAttribColor, false);
}

void RendererGL1::ApplyTextureFilter(Texture* texture, uint32_t name) {
  switch (textureFilter) {
    case kFilterNearest:
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
      break;
    case kFilterLinear:
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      break;
    case kFilterMipmap: {
      // A mipmap filter on a texture without mipmaps samples black: make them
      // for our own uploaded textures, use the linear filter for anything else.
      const bool canMipmap = texture && name && texture->width > 0 && texture->height > 0 &&
                             (npotMipmaps_ || ((texture->width & (texture->width - 1)) == 0 &&
                                               (texture->height & (texture->height - 1)) == 0));
      if (canMipmap && !texture->hasMipmaps) {
        glGenerateMipmap(GL_TEXTURE_2D);
        texture->hasMipmaps = true;
      }
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                      canMipmap ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      break;
    }
    default: break;
  }
}

void RendererGL1::ApplyScissor(const ScissorBox* box) {
  if (!box) {
    glDisable(GL_SCISSOR_TEST);
    return;
  }
  glEnable(GL_SCISSOR_TEST);
  glScissor(box->x, box->y, box->width, box->height);
}

void RendererGL1::ReadScreen(uint8_t* pixels) {
  if (!pixels) return;
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, static_cast<GLsizei>(windowWidth), static_cast<GLsizei>(windowHeight), GL_RGBA,
               GL_UNSIGNED_BYTE, pixels);
}

}  // namespace GCore
