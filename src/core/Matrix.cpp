#include "core/Matrix.h"

#include <cmath>

namespace GCore {

namespace {
// The engine's own value of pi for rotations, in single precision.
constexpr float kPi = 3.14159f;
}  // namespace

const ClassInfo Matrix::classInfo = {"Matrix", &Object::classInfo};

Matrix::Matrix(const MatrixInit& init)
    : a(init.a), b(init.b), c(init.c), d(init.d), tx(init.tx), ty(init.ty), flag(init.flag) {}

namespace {
// Length of the y column, negative when it is mirrored.
float SignedLengthY(const Matrix& m) {
  const float ly = std::sqrt(m.c * m.c + m.d * m.d);
  return m.flipY ? -ly : ly;
}
}  // namespace

float Matrix::GetRotation() const {
  const float ly = SignedLengthY(*this);
  const float signX = flipX ? -1.0f : 1.0f;
  const float signY = flipY ? -1.0f : 1.0f;
  return std::atan2(a / ly * signX * signY, b / ly * signY) * 180.0f / kPi - 90.0f;
}

bool Matrix::SetRotation(float degrees) {
  if (std::fabs(GetRotation() - degrees) < 0.1f) return false;
  const float ly = SignedLengthY(*this);
  float lx = std::sqrt(a * a + b * b);
  if (flipX) lx = -lx;
  const float r = (degrees + 90.0f) * kPi / 180.0f;
  a = lx * std::sin(r);
  b = lx * std::cos(r);
  d = ly * std::sin(r);
  c = -(ly * std::cos(r));
  return true;
}

void Matrix::SetFromRect(float x, float y, float width, float height, float angle) {
  const float sx = width / 1638.4f;
  const float sy = height / 1638.4f;
  if (angle == 0) {
    SetValues(1, 0, 0, 1, 0, 0);
  } else {
    SetValues(std::cos(angle), std::sin(angle), -std::sin(angle), std::cos(angle), 0, 0);
  }
  if (sx != 1) a *= sx, c *= sx;
  if (sy != 1) b *= sy, d *= sy;
  tx = width * 0.5f + x;
  ty = height * 0.5f + y;
}

Matrix* NewMatrix(lua_State* L, const MatrixInit& init) {
  Matrix* matrix = NewObjectUserdata<Matrix>(L, init);
  lua_pop(L, 1);
  return matrix;
}

Affine Inverted(const Affine& m) {
  const float det = m.a * m.d - m.c * m.b;
  Affine r;
  r.a = m.d / det;
  r.b = -m.b / det;
  r.c = -m.c / det;
  r.d = m.a / det;
  r.tx = -(r.a * m.tx + r.c * m.ty);
  r.ty = -(r.b * m.tx + r.d * m.ty);
  return r;
}

}  // namespace GCore
