#pragma once
// The 2D affine transform of the display list, a script-visible counted
// object living in a Lua userdata. A point (x, y) maps to
// (a x + c y + tx, b x + d y + ty). The flips are not part of the six numbers:
// they record the signs of the column lengths so that scale and rotation read
// back unambiguously. Affine is the same transform as a plain value, for
// arithmetic that needs no script object. Main thread only.
#include <lua.hpp>

#include "core/Object.h"

namespace GCore {

// (x, y) maps to (a x + c y + tx, b x + d y + ty).
struct Affine {
  float TransformX(float x, float y) const { return a * x + c * y + tx; }
  float TransformY(float x, float y) const { return b * x + d * y + ty; }

  float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};

// `outer` applied after `inner`. Inline: every moved object composes its
// world transform once a frame.
inline Affine Compose(const Affine& o, const Affine& m) {
  return Affine{o.a * m.a + o.c * m.b,  o.b * m.a + o.d * m.b,
                o.a * m.c + o.c * m.d,  o.b * m.c + o.d * m.d,
                o.a * m.tx + o.c * m.ty + o.tx, o.b * m.tx + o.d * m.ty + o.ty};
}

// The inverse transform. A singular matrix is not tested for: its inverse is
// made of infinities or NaNs, as scripts have always seen it.
Affine Inverted(const Affine& m);

// The starting values of a new matrix; `flag` is carried along and never read.
struct MatrixInit {
  bool flag = true;
  float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};

class Matrix : public Object {
 public:
  static const ClassInfo classInfo;

  Matrix() = default;
  explicit Matrix(const MatrixInit& init);
  const ClassInfo* GetClassInfo() const override { return &classInfo; }

  float TransformX(float x, float y) const { return a * x + c * y + tx; }
  float TransformY(float x, float y) const { return b * x + d * y + ty; }
  void SetValues(float na, float nb, float nc, float nd, float ntx, float nty) {
    a = na, b = nb, c = nc, d = nd, tx = ntx, ty = nty;
  }
  void Identity() { SetValues(1, 0, 0, 1, 0, 0); }

  // The turn in degrees, read from the columns and the flips.
  float GetRotation() const;
  // Turns to `degrees`, keeping the column lengths; false (and no change) when
  // the angle is already within 0.1 degree.
  bool SetRotation(float degrees);
  // Scale from a box size (1638.4 units = scale 1), rotation in radians,
  // translation to the box centre.
  void SetFromRect(float x, float y, float width, float height, float angle);

  float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
  bool flipX = false;
  bool flipY = false;
  bool flag = true;
};

// Makes a matrix in a new userdata of L with the metatable "Matrix" (registered
// by the class's binding), owned by the script collector. Leaves the stack as
// it was.
Matrix* NewMatrix(lua_State* L, const MatrixInit& init = MatrixInit{});

// Identity for null.
inline Affine AffineOf(const Matrix* m) {
  if (!m) return Affine{};
  return Affine{m->a, m->b, m->c, m->d, m->tx, m->ty};
}

inline void StoreAffine(const Affine& value, Matrix* m) {
  if (m) m->SetValues(value.a, value.b, value.c, value.d, value.tx, value.ty);
}

// The "Matrix" class: metatable with its members, and its factory creator.
void RegisterMatrixClass(lua_State* L);

// The script constructor "Matrix"(flag, a, b, c, d, tx, ty): the first of a
// to ty that is nil or absent ends the list; the rest keep their defaults.
// Returns the new matrix.
int NewMatrixScript(lua_State* L);

}  // namespace GCore
