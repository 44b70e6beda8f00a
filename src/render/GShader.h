#pragma once
// One linked GLSL ES program with the attribute and uniform locations the
// renderer needs. A location of -1 means the program has no such input (the
// driver may drop unused ones); the renderer never enables or uploads those.
// Main thread only, with the GL context current.
#include <cstdint>

namespace GCore {

// Attribute indices of a program's locations.
constexpr int kAttribPosition = 0;
constexpr int kAttribColor = 1;
constexpr int kAttribTexCoords = 3;

class GShader {
 public:
  GShader() = default;
  GShader(const GShader&) = delete;
  GShader& operator=(const GShader&) = delete;
  // Frees the record only: GL programs live as long as the context.
  virtual ~GShader() = default;

  // Whether the program places its vertices through the "proj" and "view"
  // matrices (the blur programs draw in clip coordinates, without them).
  enum class Matrices { kUsed, kNone };

  // Compiles and links; on failure the program is 0. Every step's driver log
  // and failure is printed, and so is a missing matrix uniform of a program
  // that uses them.
  void Build(const char* vertexSource, const char* fragmentSource, Matrices matrices = Matrices::kUsed);

  int32_t attribLocations[4] = {-1, -1, -1, -1};
  uint32_t program = 0;
  int32_t viewLocation = -1;
  int32_t projLocation = -1;
  int32_t id = 0;
};

// Shader name, or 0 when the source does not compile.
uint32_t CompileShader(uint32_t type, const char* source);

// Drains the GL error queue, printing "after <step>() glError (0x…)" for each
// error; returns how many there were.
int CheckGlError(const char* step);

}  // namespace GCore
