#include "render/RenderMath.h"

#include "display/Matrix.h"

namespace GCore {

Affine AffineOf(const Matrix* m) {
  if (!m) return Affine{};
  return Affine{m->a, m->b, m->c, m->d, m->tx, m->ty};
}

void StoreAffine(const Affine& value, Matrix* m) {
  if (m) m->SetValues(value.a, value.b, value.c, value.d, value.tx, value.ty);
}

Affine Compose(const Affine& o, const Affine& m) {
  return Affine{o.a * m.a + o.c * m.b,  o.b * m.a + o.d * m.b,
                o.a * m.c + o.c * m.d,  o.b * m.c + o.d * m.d,
                o.a * m.tx + o.c * m.ty + o.tx, o.b * m.tx + o.d * m.ty + o.ty};
}

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
