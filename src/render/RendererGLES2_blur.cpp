// The two off-screen render targets and the progressive blur: the scene is
// captured into target B, then one blur pass a frame runs from one target
// into the other, alternating horizontal and vertical, and the result is
// drawn over the whole viewport.
#include <GLES2/gl2.h>

#include <utility>

#include "base/Log.h"
#include "render/RendererGLES2.h"

namespace GCore {

void RendererGLES2::CreateRenderTarget(RenderTarget& target) {
  glGenTextures(1, &target.texture);
  glBindTexture(GL_TEXTURE_2D, target.texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, kRenderTargetSide, kRenderTargetSide, 0, GL_RGB,
               GL_UNSIGNED_BYTE, nullptr);
  glBindTexture(GL_TEXTURE_2D, 0);

  glGenFramebuffers(1, &target.framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target.texture, 0);
  CheckGlError("a2");
  glGenRenderbuffers(1, &target.renderbuffer);
  glBindRenderbuffer(GL_RENDERBUFFER, target.renderbuffer);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_STENCIL_INDEX8, kRenderTargetSide, kRenderTargetSide);
  CheckGlError("a3");
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                            target.renderbuffer);
  CheckGlError("aa6");
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    LogWrite("shader glCheckFramebufferStatus failed!\n");
  }
}

void RendererGLES2::EnsureRenderTargets() {
  if (targetA.framebuffer != 0) return;
  CreateRenderTarget(targetA);
  CreateRenderTarget(targetB);
}

void RendererGLES2::DrawFullScreenStrip() {
  static const float kPositions[8] = {-1, 1, -1, -1, 1, 1, 1, -1};
  static const float kTexCoords[8] = {0, 1, 0, 0, 1, 1, 1, 0};
  EnableVertexAttrib(kAttribPosition, true);
  EnableVertexAttrib(kAttribTexCoords, true);
  SetVertexAttribPointer(kAttribPosition, 2, GL_FLOAT, false, 0, kPositions);
  SetVertexAttribPointer(kAttribTexCoords, 2, GL_FLOAT, false, 0, kTexCoords);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  // Left enabled, these four-vertex arrays could be read by a larger draw.
  EnableVertexAttrib(kAttribPosition, false);
  EnableVertexAttrib(kAttribTexCoords, false);
}

void RendererGLES2::DrawBlurPass() {
  if (blurCounter == 0) return;
  // What was appended before the blurred screen is drawn now, under its own
  // program, and covered like in the passes; held back, it would be drawn
  // over the blur with the program the blur leaves current.
  Flush(nullptr);
  const bool passing = blurCounter < kBlurPasses;
  if (passing) {
    // A clip box or a mask in force belongs to the window: the pass between
    // the targets runs without them, or it would leave parts unwritten.
    const bool scissored = CurrentScissor() != nullptr;
    const bool masked = glIsEnabled(GL_STENCIL_TEST) == GL_TRUE;
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    glBindFramebuffer(GL_FRAMEBUFFER, targetA.framebuffer);
    glViewport(0, 0, kRenderTargetSide, kRenderTargetSide);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    SelectShader(blurCounter % 2 ? 3 : 4);
    glBindTexture(GL_TEXTURE_2D, targetB.texture);
    DrawFullScreenStrip();
    if (scissored) glEnable(GL_SCISSOR_TEST);
    if (masked) glEnable(GL_STENCIL_TEST);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(frameFramebuffer_));
  glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
  // Inside a mask the stencil holds the shape the blur is drawn through.
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | (maskLevel < 0 ? GL_STENCIL_BUFFER_BIT : 0));
  SelectShader(4);
  glBindTexture(GL_TEXTURE_2D, targetA.texture);
  CheckGlError("14");
  DrawFullScreenStrip();
  blurState = 0;
  SelectShader(1);
  if (passing) {
    std::swap(targetA, targetB);
  } else {
    --blurCounter;
  }
}

}  // namespace GCore
