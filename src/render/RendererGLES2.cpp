#include "render/RendererGLES2.h"

#include <GLES2/gl2.h>

#include "base/Log.h"
#include "render/ShaderSources.h"

namespace GCore {

int RendererGLES2::Init() {
  CheckGlError("shader real begin");
  RendererGL1::Init();
  shader_ = LoadShader(1, kVertexSourceA, kModulateFragmentSource, GShader::Matrices::kUsed);
  LoadShader(2, kVertexSourceA, kAddFragmentSource, GShader::Matrices::kUsed);
  LoadShader(5, kVertexSourceA, kLuminanceFragmentSource, GShader::Matrices::kUsed);
  LoadShader(3, kVertexSourceB, kHorizontalBlurFragmentSource, GShader::Matrices::kNone);
  LoadShader(4, kVertexSourceB, kVerticalBlurFragmentSource, GShader::Matrices::kNone);
  GLint bound = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
  CreateRenderTarget(targetA);
  CreateRenderTarget(targetB);
  glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(bound));
  return 0;
}

GShader* RendererGLES2::LoadShader(int32_t id, const char* vertexSource, const char* fragmentSource,
                                   GShader::Matrices matrices) {
  auto& slot = shaders_[id];
  if (!slot) {
    slot = std::make_unique<GShader>();
    slot->Build(vertexSource, fragmentSource, matrices);
    slot->id = id;
  }
  return slot.get();
}

const GShader* RendererGLES2::Shader(int32_t id) const {
  auto found = shaders_.find(id);
  return found == shaders_.end() ? nullptr : found->second.get();
}

void RendererGLES2::UploadUniforms() {
  glUseProgram(shader_->program);
  if (shader_->viewLocation >= 0) {
    glUniformMatrix4fv(shader_->viewLocation, 1, GL_FALSE, viewMatrix.data());
  }
  if (shader_->projLocation >= 0) {
    glUniformMatrix4fv(shader_->projLocation, 1, GL_FALSE, projection.data());
  }
  CheckGlError("shader apply");
}

void RendererGLES2::SelectShader(int32_t id) {
  if (shader_ && shader_->id == id) return;
  auto found = shaders_.find(id);
  // An id without a program draws with the default program, not with the
  // tint or luminance program that an earlier object left current.
  if (found == shaders_.end()) found = shaders_.find(1);
  if (found == shaders_.end()) return;
  currentProgramId = id;
  if (shader_ == found->second.get()) return;
  shader_ = found->second.get();
  UploadUniforms();
}

void RendererGLES2::SetProjection(float left, float right, float bottom, float top, float near,
                                  float far, bool orthographic) {
  RendererGL1::SetProjection(left, right, bottom, top, near, far, orthographic);
  projection = orthographic ? OrthographicMatrix(left, right, bottom, top, near, far)
                            : FrustumMatrix(left, right, bottom, top, near, far);
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      projectionRowMajor[4 * row + column] = projection[4 * column + row];
    }
  }
  if (!shader_) return;
  glUseProgram(shader_->program);
  if (shader_->projLocation >= 0) {
    glUniformMatrix4fv(shader_->projLocation, 1, GL_FALSE, projection.data());
  }
  CheckGlError("shader apply");
}

void RendererGLES2::ApplyViewMatrix() {
  if (!shader_) return;
  glUseProgram(shader_->program);
  if (shader_->viewLocation >= 0) {
    glUniformMatrix4fv(shader_->viewLocation, 1, GL_FALSE, viewMatrix.data());
  }
  CheckGlError("shader apply");
}

void RendererGLES2::SetTintMode(bool on) {
  if (on) UseShader(2);
}

void RendererGLES2::UseShader(int32_t id) {
  if (id == currentProgramId) return;
  Flush(nullptr);
  currentProgramId = id;
  SelectShader(id);
}

void RendererGLES2::EnableVertexAttrib(int index, bool on) {
  if (!shader_ || index < 0 || index > 3) return;
  const GLint location = shader_->attribLocations[index];
  // A dropped attribute has no location; enabling -1 is a GL error.
  if (location < 0) return;
  if (on) {
    glEnableVertexAttribArray(static_cast<GLuint>(location));
  } else {
    glDisableVertexAttribArray(static_cast<GLuint>(location));
  }
}

void RendererGLES2::SetVertexAttribPointer(int index, int size, uint32_t type, bool normalised,
                                           int stride, const void* pointer) {
  if (!shader_ || index < 0 || index > 3) return;
  const GLint location = shader_->attribLocations[index];
  if (location < 0) return;
  glVertexAttribPointer(static_cast<GLuint>(location), size, type, normalised ? GL_TRUE : GL_FALSE,
                        stride, pointer);
}

void RendererGLES2::BeginFrame() {
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &frameFramebuffer_);
  if (blurState == 1) {
    // The scene of this frame goes into target B, the blur's source.
    if (blurCounter == 0) {
      glBindFramebuffer(GL_FRAMEBUFFER, targetB.framebuffer);
      glViewport(0, 0, kRenderTargetSide, kRenderTargetSide);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    }
    ++blurCounter;
    blurState = 2;
  } else {
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(frameFramebuffer_));
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  }
  if (shader_ && shader_->id == 1) {
    currentProgramId = 1;
    UploadUniforms();
  } else {
    SelectShader(1);
  }
}

void RendererGLES2::EndFrame() {
  glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(frameFramebuffer_));
}

}  // namespace GCore
