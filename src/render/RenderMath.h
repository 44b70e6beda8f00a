#pragma once
// The renderer's matrix arithmetic: 2D affine transforms and the 4 x 4
// column-major matrices uploaded as the "view" and "proj" uniforms.
#include <array>

namespace GCore {

class Matrix;

// (x, y) maps to (a x + c y + tx, b x + d y + ty).
struct Affine {
  float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};

using Mat4 = std::array<float, 16>;

Affine AffineOf(const Matrix* matrix);  // identity for null
void StoreAffine(const Affine& value, Matrix* matrix);
// `outer` applied after `inner`.
Affine Compose(const Affine& outer, const Affine& inner);
// Column-major: 0 = a, 1 = b, 4 = c, 5 = d, 10 = 1, 12 = tx, 13 = ty, 15 = 1.
Mat4 ViewMatrixOf(const Affine& value);
Mat4 OrthographicMatrix(float left, float right, float bottom, float top, float near, float far);
Mat4 FrustumMatrix(float left, float right, float bottom, float top, float near, float far);

}  // namespace GCore
