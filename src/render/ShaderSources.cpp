#include "render/ShaderSources.h"

namespace GCore {

const char* const kVertexSourceA =
    "#version 100\n"
    "attribute highp vec3 position;\t\t"
    "attribute highp vec4 color;\t\t"
    "attribute highp vec2 texCoords;\t\t"
    "varying mediump vec4 colorVarying;\t\t"
    "varying mediump vec2 texCoordv;\t\t"
    "uniform highp mat4 proj;\t\t"
    "uniform highp mat4 view;\t\t"
    "void main() { gl_Position = proj * view * vec4(position,1); colorVarying = color; "
    "texCoordv = texCoords;}";

const char* const kVertexSourceB =
    "#version 100\n"
    "attribute highp vec3 position;\t\t"
    "attribute highp vec2 texCoords;\t\t"
    "varying mediump vec2 texCoordv;\t\t"
    "void main() { gl_Position = vec4(position,1); texCoordv = texCoords;}";

#define QV_COLOUR_FRAGMENT_HEAD      \
  "#version 100\n"                   \
  "varying mediump vec4 colorVarying;\t\t" \
  "varying mediump vec2 texCoordv;\t\t"    \
  "uniform sampler2D sampler;\t\t"

const char* const kModulateFragmentSource =
    QV_COLOUR_FRAGMENT_HEAD
    "void main() { gl_FragColor = texture2D(sampler, texCoordv) * colorVarying; }";

const char* const kAddFragmentSource =
    QV_COLOUR_FRAGMENT_HEAD
    "void main() { mediump vec4 col = texture2D(sampler, texCoordv); gl_FragColor = col + "
    "colorVarying; gl_FragColor.a = col.a * colorVarying.a; }";

const char* const kLuminanceFragmentSource =
    QV_COLOUR_FRAGMENT_HEAD
    "void main() { mediump vec4 col = texture2D(sampler, texCoordv); col.r = (col.r * 0.2126 + "
    "col.g * 0.7152 + col.b * 0.0722);  gl_FragColor = col.rrra; }";

#undef QV_COLOUR_FRAGMENT_HEAD

const char* const kHorizontalBlurFragmentSource =
    " #version 100\n"
    "varying mediump vec2 texCoordv;\t\t"
    "uniform sampler2D sampler;\t\t"
    "void main() { mediump vec4 sum = vec4(0.0); mediump vec2 tc = texCoordv; "
    "sum += texture2D(sampler, vec2(tc.x - 0.0019, tc.y)) * 0.3; "
    "sum += texture2D(sampler, vec2(tc.x, tc.y)) * 0.4; "
    "sum += texture2D(sampler, vec2(tc.x + 0.0019, tc.y)) * 0.3; "
    "gl_FragColor = sum; }";

const char* const kVerticalBlurFragmentSource =
    "#version 100\n"
    "varying mediump vec2 texCoordv;\t\t"
    "uniform sampler2D sampler;\t\t"
    "void main() { mediump vec4 sum = vec4(0.0); mediump vec2 tc = texCoordv; "
    "sum += texture2D(sampler, vec2(tc.x, tc.y - 0.0024)) * 0.3; "
    "sum += texture2D(sampler, vec2(tc.x, tc.y)) * 0.4; "
    "sum += texture2D(sampler, vec2(tc.x, tc.y + 0.0024)) * 0.3; "
    "gl_FragColor = sum; }";

}  // namespace GCore
