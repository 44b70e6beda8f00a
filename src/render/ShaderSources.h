#pragma once
// The GLSL ES 1.00 sources compiled into the engine. Vertex source A
// transforms by "proj" and "view"; vertex source B passes clip coordinates
// through for the full-screen blur strip.
namespace GCore {

extern const char* const kVertexSourceA;
extern const char* const kVertexSourceB;
extern const char* const kModulateFragmentSource;       // texture x vertex colour
extern const char* const kAddFragmentSource;            // texture + vertex colour, alpha multiplied
extern const char* const kLuminanceFragmentSource;      // grey from the texture alone
extern const char* const kHorizontalBlurFragmentSource;
extern const char* const kVerticalBlurFragmentSource;

}  // namespace GCore
