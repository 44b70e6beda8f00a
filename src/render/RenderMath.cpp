#include "render/RenderMath.h"

namespace GCore {

Mat4 ViewMatrixOf(const Affine& v) {
  Mat4 out{};
  out[0] = v.a;
  out[1] = v.b;
  out[4] = v.c;
  out[5] = v.d;
  out[10] = 1;
  out[12] = v.tx;
  out[13] = v.ty;
  out[15] = 1;
  return out;
}

Mat4 OrthographicMatrix(float l, float r, float b, float t, float n, float f) {
  Mat4 out{};
  out[0] = 2 / (r - l);
  out[5] = 2 / (t - b);
  out[10] = -2 / (f - n);
  out[12] = -(r + l) / (r - l);
  out[13] = -(t + b) / (t - b);
  out[14] = -(f + n) / (f - n);
  out[15] = 1;
  return out;
}

Mat4 FrustumMatrix(float l, float r, float b, float t, float n, float f) {
  Mat4 out{};
  out[0] = 2 * n / (r - l);
  out[5] = 2 * n / (t - b);
  out[8] = (r + l) / (r - l);
  out[9] = (t + b) / (t - b);
  out[10] = -(f + n) / (f - n);
  out[11] = -1;
  out[14] = -2 * f * n / (f - n);
  return out;
}

}  // namespace GCore
