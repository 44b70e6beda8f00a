// Nested stencil masks. Level L owns stencil bit L; content drawn after
// ApplyStencilMask shows only where the bits of every level so far are set.
#include <GLES2/gl2.h>

#include "render/RendererGL1.h"

namespace GCore {

namespace {

// The stencil buffer has 8 bits: deeper levels share the last one.
constexpr int32_t kStencilLevels = 8;

GLuint LevelBit(int32_t level) {
  return 1u << (level < kStencilLevels ? level : kStencilLevels - 1);
}

// All bits of levels 0 to L.
GLint LevelReference(int32_t level) {
  const GLuint bit = LevelBit(level);
  return static_cast<GLint>(bit | (bit - 1));
}

}  // namespace

void RendererGL1::BeginStencilMask(bool invert, float alphaReference) {
  Flush(nullptr);
  ++maskLevel;
  maskReference = LevelReference(maskLevel);
  const GLuint bit = LevelBit(maskLevel);
  glEnable(GL_STENCIL_TEST);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glStencilMask(bit);
  // The level's bit starts clear (set when inverted) everywhere, whatever
  // transform is in force.
  glClearStencil(invert ? static_cast<GLint>(bit) : 0);
  glClear(GL_STENCIL_BUFFER_BIT);
  glClearStencil(0);
  SetTextureFilter(kFilterNearest);
  // The caller's mask shapes now set (inverted: clear) the level's bit.
  glStencilFunc(GL_NEVER, static_cast<GLint>(bit), bit);
  glStencilOp(invert ? GL_ZERO : GL_REPLACE, GL_KEEP, GL_KEEP);
  if (alphaReference < 0.99999f) SetAlphaFunc(GL_GREATER, alphaReference);
}

void RendererGL1::ApplyStencilMask() {
  Flush(nullptr);
  SetAlphaFunc(GL_GREATER, -1.0f);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glStencilFunc(GL_EQUAL, maskReference, static_cast<GLuint>(maskReference));
  glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
}

void RendererGL1::EndStencilMask() {
  Flush(nullptr);
  --maskLevel;
  if (maskLevel < 0) {
    maskLevel = -1;
    glDisable(GL_STENCIL_TEST);
    // Frame clears write through the stencil mask: give them every bit again.
    glStencilMask(0xFF);
    return;
  }
  maskReference = LevelReference(maskLevel);
  glStencilMask(LevelBit(maskLevel));
  glStencilFunc(GL_EQUAL, maskReference, static_cast<GLuint>(maskReference));
  glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
}

}  // namespace GCore
