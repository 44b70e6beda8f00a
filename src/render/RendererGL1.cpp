#include "render/RendererGL1.h"

#include <GLES2/gl2.h>

#include <cstdint>
#include <cstring>

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

void RendererGL1::SubmitBatch(VertexBatch& batch) {
  const uint32_t name = PrepareTexture(batch.texture);
  if (name) glBindTexture(GL_TEXTURE_2D, name);
  ApplyTextureFilter(batch.texture, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

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
