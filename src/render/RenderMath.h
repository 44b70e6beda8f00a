#pragma once
// The renderer's 4 x 4 column-major matrices, uploaded as the "view" and
// "proj" uniforms.
#include <array>

#include "core/Matrix.h"

namespace GCore {

using Mat4 = std::array<float, 16>;

// Column-major: 0 = a, 1 = b, 4 = c, 5 = d, 10 = 1, 12 = tx, 13 = ty, 15 = 1.
Mat4 ViewMatrixOf(const Affine& value);
Mat4 OrthographicMatrix(float left, float right, float bottom, float top, float near, float far);
Mat4 FrustumMatrix(float left, float right, float bottom, float top, float near, float far);

}  // namespace GCore
