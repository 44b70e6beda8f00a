// Script members of GCore::Matrix. Methods are called with a dot and act on
// the object whose member was looked up last (the current self). Arguments
// that should be numbers read as 0 when they are not; `concat` refuses
// anything but a matrix with a script error.
#include <cmath>
#include <cstring>

#include "core/ClassFactory.h"
#include "core/Matrix.h"
#include "core/Object.h"

namespace GCore {

namespace {

float ArgFloat(lua_State* L, int index) {
  return static_cast<float>(lua_tonumberx(L, index, nullptr));
}

// Argument `index` of an optional run that starts at `first`: 0 once any
// argument of the run up to it is nil or absent.
float OptionalFloat(lua_State* L, int index, int first) {
  for (int i = first; i <= index; ++i) {
    if (lua_isnoneornil(L, i)) return 0;
  }
  return ArgFloat(L, index);
}

Matrix* Self(lua_State* L) {
  auto* self = static_cast<Matrix*>(CastToClass(&Matrix::classInfo, g_currentSelf));
  if (!self) luaL_error(L, "Matrix method called without a matrix");
  return self;
}

void ScaleColumns(Matrix& m, float sx, float sy) {
  if (sx != 1) m.a *= sx, m.c *= sx;
  if (sy != 1) m.b *= sy, m.d *= sy;
}

int TransformX(lua_State* L) {
  lua_pushnumber(L, Self(L)->TransformX(ArgFloat(L, 1), ArgFloat(L, 2)));
  return 1;
}

int TransformY(lua_State* L) {
  lua_pushnumber(L, Self(L)->TransformY(ArgFloat(L, 1), ArgFloat(L, 2)));
  return 1;
}

int SetTo(lua_State* L) {
  Self(L)->SetValues(ArgFloat(L, 1), ArgFloat(L, 2), ArgFloat(L, 3), ArgFloat(L, 4),
                     ArgFloat(L, 5), ArgFloat(L, 6));
  return 0;
}

int Identity(lua_State* L) {
  Self(L)->Identity();
  return 0;
}

int Invert(lua_State* L) {
  Matrix* m = Self(L);
  StoreAffine(Inverted(AffineOf(m)), m);
  return 0;
}

int Translate(lua_State* L) {
  Matrix* m = Self(L);
  m->tx += ArgFloat(L, 1);
  m->ty += ArgFloat(L, 2);
  return 0;
}

int Rotate(lua_State* L) {
  Matrix* m = Self(L);
  const float r = ArgFloat(L, 1);
  if (r == 0) return 0;
  const float cs = std::cos(r);
  const float sn = std::sin(r);
  m->SetValues(m->a * cs - m->b * sn, m->a * sn + m->b * cs, m->c * cs - m->d * sn,
               m->c * sn + m->d * cs, m->tx, m->ty);
  return 0;
}

int Scale(lua_State* L) {
  ScaleColumns(*Self(L), ArgFloat(L, 1), ArgFloat(L, 2));
  return 0;
}

int Concat(lua_State* L) {
  Matrix* m = Self(L);
  const Matrix* other = ToObject<Matrix>(L, 1);
  if (!other) return luaL_argerror(L, 1, "Matrix expected");
  StoreAffine(Compose(AffineOf(other), AffineOf(m)), m);
  return 0;
}

int CreateBox(lua_State* L) {
  Matrix* m = Self(L);
  const float r = OptionalFloat(L, 3, 3);
  if (r == 0) {
    m->SetValues(1, 0, 0, 1, 0, 0);
  } else {
    m->SetValues(std::cos(r), std::sin(r), -std::sin(r), std::cos(r), 0, 0);
  }
  ScaleColumns(*m, ArgFloat(L, 1), ArgFloat(L, 2));
  m->tx = OptionalFloat(L, 4, 3);
  m->ty = OptionalFloat(L, 5, 3);
  return 0;
}

int SetBox(lua_State* L) {
  Self(L)->SetFromRect(OptionalFloat(L, 4, 3), OptionalFloat(L, 5, 3), ArgFloat(L, 1),
                       ArgFloat(L, 2), OptionalFloat(L, 3, 3));
  return 0;
}

struct Member {
  const char* name;
  float Matrix::*field;
  lua_CFunction method;
};

const Member kMembers[] = {
    {"a", &Matrix::a, nullptr},
    {"b", &Matrix::b, nullptr},
    {"c", &Matrix::c, nullptr},
    {"d", &Matrix::d, nullptr},
    {"tx", &Matrix::tx, nullptr},
    {"ty", &Matrix::ty, nullptr},
    {"transformX", nullptr, TransformX},
    {"transformY", nullptr, TransformY},
    {"setTo", nullptr, SetTo},
    {"identity", nullptr, Identity},
    {"invert", nullptr, Invert},
    {"translate", nullptr, Translate},
    {"rotate", nullptr, Rotate},
    {"scale", nullptr, Scale},
    {"concat", nullptr, Concat},
    {"createBox", nullptr, CreateBox},
    {"setBox", nullptr, SetBox},
};

const Member* FindMember(lua_State* L) {
  if (lua_type(L, 2) != LUA_TSTRING) return nullptr;
  size_t length = 0;
  const char* key = lua_tolstring(L, 2, &length);
  for (const Member& member : kMembers) {
    // The whole key: a zero byte after a name does not make it that name.
    if (std::strlen(member.name) == length && std::memcmp(member.name, key, length) == 0) {
      return &member;
    }
  }
  return nullptr;
}

int MatrixIndex(lua_State* L) {
  Matrix* m = ToObject<Matrix>(L, 1);
  const Member* member = m ? FindMember(L) : nullptr;
  if (!member) return 0;
  if (member->field) {
    lua_pushnumber(L, m->*member->field);
  } else {
    g_currentSelf = m;
    lua_pushcfunction(L, member->method);
  }
  return 1;
}

int MatrixNewIndex(lua_State* L) {
  Matrix* m = ToObject<Matrix>(L, 1);
  const Member* member = m ? FindMember(L) : nullptr;
  if (member && member->field) m->*member->field = ArgFloat(L, 3);
  return 0;
}

Object* CreateMatrix(lua_State* L, int) { return NewMatrix(L); }

}  // namespace

void RegisterMatrixClass(lua_State* L) {
  NewClassMetatable(L, &Matrix::classInfo, MatrixIndex, MatrixNewIndex);
  lua_pop(L, 1);
  ClassFactory()[&Matrix::classInfo] = CreateMatrix;
}

int NewMatrixScript(lua_State* L) {
  MatrixInit init;
  init.flag = lua_toboolean(L, 1);
  float* values[] = {&init.a, &init.b, &init.c, &init.d, &init.tx, &init.ty};
  for (int i = 0; i < 6 && !lua_isnoneornil(L, i + 2); ++i) *values[i] = ArgFloat(L, i + 2);
  NewObjectUserdata<Matrix>(L, init);
  return 1;
}

}  // namespace GCore
