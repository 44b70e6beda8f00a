#include "render/RendererGLES2.h"

#include <GLES2/gl2.h>

#include "base/Log.h"
#include "render/ShaderSources.h"

namespace GCore {

namespace {

// The programs by id. Only the default one is built with the renderer; the
// others when first used, so that a game that never tints, greys or blurs
// pays neither their compile time nor the driver's memory for them. Their
// sources are named through the pointers, which are constants at start-up.
struct ProgramSource {
  int32_t id;
  const char* const* vertex;
  const char* const* fragment;
  GShader::Matrices matrices;
};

constexpr int32_t kDefaultProgram = 1;
const ProgramSource kPrograms[] = {
    {kDefaultProgram, &kVertexSourceA, &kModulateFragmentSource, GShader::Matrices::kUsed},
    {2, &kVertexSourceA, &kAddFragmentSource, GShader::Matrices::kUsed},
    {3, &kVertexSourceB, &kHorizontalBlurFragmentSource, GShader::Matrices::kNone},
    {4, &kVertexSourceB, &kVerticalBlurFragmentSource, GShader::Matrices::kNone},
    {5, &kVertexSourceA, &kLuminanceFragmentSource, GShader::Matrices::kUsed},
};

}  // namespace

int RendererGLES2::Init() {
  CheckGlError("shader real begin");
  RendererGL1::Init();
  shader_ = Program(kDefaultProgram);
  return 0;
}

GShader* RendererGLES2::Program(int32_t id) {
  if (auto found = shaders_.find(id); found != shaders_.end()) return found->second.get();
  for (const ProgramSource& source : kPrograms) {
    if (source.id != id) continue;
    // A program that fails to build keeps its record (program 0): the
    // driver's words are printed once, not at every use.
    auto program = std::make_unique<GShader>();
    program->Build(*source.vertex, *source.fragment, source.matrices);
    program->id = id;
    return (shaders_[id] = std::move(program)).get();
  }
  return nullptr;
}

const GShader* RendererGLES2::Shader(int32_t id) { return Program(id); }

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
  GShader* program = Program(id);
  // An id without a program draws with the default program, not with the
  // tint or luminance program that an earlier object left current.
  if (!program) program = Program(kDefaultProgram);
  if (!program) return;
  currentProgramId = id;
  if (shader_ == program) return;
  shader_ = program;
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
      EnsureRenderTargets();
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
