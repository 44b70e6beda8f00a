#pragma once
// Matrix arithmetic of the display list beyond composition (RenderMath).
#include "render/RenderMath.h"

namespace GCore {

// The inverse transform. A singular matrix is not tested for: its inverse is
// made of infinities or NaNs, as scripts have always seen it.
inline Affine Inverted(const Affine& m) {
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
