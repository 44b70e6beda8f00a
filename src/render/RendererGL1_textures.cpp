// Texture upload and release: pixels go to GL at first use and whenever they
// changed, and leave memory right after.
#include <GLES2/gl2.h>

#include <algorithm>

#include "base/Log.h"
#include "render/RendererGL1.h"
#include "render/ResourceManager.h"
#include "render/Texture.h"

namespace GCore {

namespace {

// Wider textures are always specified anew on update.
constexpr int32_t kSubUpdateMaxWidth = 1024;

}  // namespace

void RendererGL1::Upload(Texture& texture, bool fresh) {
  if (texture.width > maxTextureSize_ || texture.height > maxTextureSize_) {
    LogPrintf("texture %08x of %d x %d pixels is beyond the GL limit of %d\n", texture.id,
              texture.width, texture.height, maxTextureSize_);
    if (fresh) glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 0, 0, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    texture.uploadedWidth = texture.uploadedHeight = 0;
    return;
  }
  const bool sameSize =
      texture.width == texture.uploadedWidth && texture.height == texture.uploadedHeight;
  const int32_t rowsBegin = std::max(texture.dirtyRowsBegin, 0);
  const int32_t rowsEnd = std::min(texture.dirtyRowsEnd, texture.height);
  texture.dirtyRowsBegin = texture.dirtyRowsEnd = 0;
  if (!fresh && sameSize && texture.pixels && rowsEnd > rowsBegin) {
    // Only the rows that changed.
    const size_t rowBytes = static_cast<size_t>(texture.width) * 4;
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, rowsBegin, texture.width, rowsEnd - rowsBegin, GL_RGBA,
                    GL_UNSIGNED_BYTE, texture.pixels.get() + rowBytes * static_cast<size_t>(rowsBegin));
  } else if (fresh || !sameSize || texture.width > kSubUpdateMaxWidth) {
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, texture.width, texture.height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, texture.pixels.get());
    texture.uploadedWidth = texture.width;
    texture.uploadedHeight = texture.height;
  } else {
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, texture.width, texture.height, GL_RGBA,
                    GL_UNSIGNED_BYTE, texture.pixels.get());
  }
  // Mipmaps made for the old contents would show them: make them again.
  if (texture.hasMipmaps && texture.pixels) glGenerateMipmap(GL_TEXTURE_2D);
}

uint32_t RendererGL1::PrepareTexture(Texture* texture) {
  if (!texture || texture->Kind() == kKindRenderTarget) return 0;
  if (texture->glName > 0) {
    if (g_resourceManager) g_resourceManager->TouchTexture(texture);
    const GLuint name = static_cast<GLuint>(texture->glName);
    glBindTexture(GL_TEXTURE_2D, name);
    if (texture->dirty) {
      // Pixels that cannot be made leave the uploaded contents as they are.
      if (texture->EnsurePixels() && texture->pixels) {
        Upload(*texture, false);
        texture->ReleasePixels();
      }
      texture->dirty = false;
    }
    return name;
  }

  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  texture->hasMipmaps = false;
  // Without pixels the texture is specified with undefined contents.
  texture->EnsurePixels();
  Upload(*texture, true);
  texture->ReleasePixels();
  texture->dirty = false;
  texture->glName = static_cast<int32_t>(name);
  if (g_resourceManager) g_resourceManager->TouchTexture(texture);
  return name;
}

void RendererGL1::ReleaseTexture(Texture* texture) {
  if (!texture) return;
  // Geometry waiting for this texture is drawn while the texture still exists.
  if (CurrentBatch()->texture == texture) Flush(nullptr);
  if (texture->glName > 0) {
    const GLuint name = static_cast<GLuint>(texture->glName);
    glDeleteTextures(1, &name);
  }
  texture->glName = 0;
  texture->uploadedWidth = texture->uploadedHeight = 0;
  texture->hasMipmaps = false;
}

}  // namespace GCore
