#include "render/GShader.h"

#include <GLES2/gl2.h>

#include <string>

#include "base/Log.h"

namespace GCore {

int CheckGlError(const char* step) {
  int count = 0;
  for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError()) {
    LogPrintf("after %s() glError (0x%x)\n", step, error);
    ++count;
  }
  return count;
}

uint32_t CompileShader(uint32_t type, const char* source) {
  const GLuint shader = glCreateShader(type);
  if (shader == 0) return 0;
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint length = 0;
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
  if (length > 0) {
    std::string log(static_cast<size_t>(length), '\0');
    glGetShaderInfoLog(shader, length, nullptr, log.data());
    LogPrintf("------------------Shader compile log: %s", log.c_str());
  }
  GLint compiled = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
  if (!compiled) {
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

void GShader::Build(const char* vertexSource, const char* fragmentSource, Matrices matrices) {
  CheckGlError("shader begin");
  program = glCreateProgram();
  CheckGlError("shader glCreateProgram");
  const GLuint vertex = CompileShader(GL_VERTEX_SHADER, vertexSource);
  const GLuint fragment = CompileShader(GL_FRAGMENT_SHADER, fragmentSource);
  // A shader that failed is 0: attaching it fails, and so does the link,
  // which reports the reason.
  if (vertex) glAttachShader(program, vertex);
  if (fragment) glAttachShader(program, fragment);
  glLinkProgram(program);
  CheckGlError("shader glLinkProgram");
  // The program keeps what it linked; the shader objects are no longer needed.
  if (vertex) glDeleteShader(vertex);
  if (fragment) glDeleteShader(fragment);

  GLint linked = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (!linked) {
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    if (length > 0) {
      std::string log(static_cast<size_t>(length), '\0');
      glGetProgramInfoLog(program, length, nullptr, log.data());
      LogPrintf("Could not link program:\n%s\n", log.c_str());
    }
    glDeleteProgram(program);
    program = 0;
    return;
  }

  attribLocations[kAttribPosition] = glGetAttribLocation(program, "position");
  CheckGlError("shader glGetAttribLocation position");
  attribLocations[kAttribColor] = glGetAttribLocation(program, "color");
  CheckGlError("shader glGetAttribLocation color");
  attribLocations[kAttribTexCoords] = glGetAttribLocation(program, "texCoords");
  CheckGlError("shader glGetAttribLocation texCoords");

  // Nothing to look for, and nothing to say, where no matrix is meant to be.
  if (matrices == Matrices::kNone) return;
  projLocation = glGetUniformLocation(program, "proj");
  if (projLocation < 0) {
    LogWrite("shader Unable to get uniform location\n");
    return;
  }
  viewLocation = glGetUniformLocation(program, "view");
  if (viewLocation < 0) {
    LogWrite("shader Unable to get uniform location\n");
    return;
  }
  CheckGlError("shader glGetUniformLocation");
}

}  // namespace GCore
