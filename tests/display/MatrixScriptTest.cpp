// The script class "Matrix": construction, properties, arithmetic,
// inversion, and refusal of bad arguments without a crash.
#include <gtest/gtest.h>

#include <lua.hpp>

#include "core/Matrix.h"

namespace {

class MatrixScript : public testing::Test {
 protected:
  void SetUp() override {
    L = luaL_newstate();
    luaL_openlibs(L);
    GCore::RegisterMatrixClass(L);
    lua_register(L, "Matrix", GCore::NewMatrixScript);
    ASSERT_EQ(luaL_dostring(L,
                            "function near(x, y) return math.abs(x - y) < 1e-4 end\n"
                            "function same(m, a, b, c, d, tx, ty)\n"
                            "  return near(m.a, a) and near(m.b, b) and near(m.c, c) and\n"
                            "         near(m.d, d) and near(m.tx, tx) and near(m.ty, ty)\n"
                            "end"),
              LUA_OK);
  }
  void TearDown() override { lua_close(L); }

  void Run(const char* chunk) {
    if (luaL_dostring(L, chunk) != LUA_OK) {
      ADD_FAILURE() << lua_tostring(L, -1);
      lua_pop(L, 1);
    }
  }

  lua_State* L = nullptr;
};

TEST_F(MatrixScript, ConstructorDefaultsEndAtTheFirstMissingValue) {
  Run("m = Matrix()\n"
      "assert(same(m, 1, 0, 0, 1, 0, 0))\n"
      "n = Matrix(false, 2)\n"
      "assert(same(n, 2, 0, 0, 1, 0, 0))\n"
      "o = Matrix(true, 1, 2, nil, 4, 5, 6)\n"
      "assert(same(o, 1, 2, 0, 1, 0, 0), 'nil ends the list')");
  lua_getglobal(L, "m");
  GCore::Matrix* m = GCore::ToObject<GCore::Matrix>(L, -1);
  ASSERT_NE(m, nullptr);
  EXPECT_FALSE(m->flag) << "no arguments: flag false";
  EXPECT_FALSE(m->flipX);
  EXPECT_FALSE(m->flipY);
  lua_pop(L, 1);
}

TEST_F(MatrixScript, PropertiesAndUnknownMembers) {
  Run("m = Matrix(true)\n"
      "m.a, m.b, m.c, m.d, m.tx, m.ty = 2, 3, 4, 5, 6, 'x'\n"
      "assert(same(m, 2, 3, 4, 5, 6, 0), 'a non-number stores 0')\n"
      "m.nothing = 1\n"
      "assert(m.nothing == nil and m[1] == nil)\n"
      "assert(m.transformX(1, 1) == 2 + 4 + 6)\n"
      "assert(m.transformY(1, 1) == 3 + 5 + 0)");
}

TEST_F(MatrixScript, Arithmetic) {
  Run("m = Matrix(true, 2, 0, 0, 3, 5, 7)\n"
      "m.translate(1, -1)\n"
      "assert(same(m, 2, 0, 0, 3, 6, 6))\n"
      "m.scale(1, 1); m.rotate(0)\n"
      "assert(same(m, 2, 0, 0, 3, 6, 6), 'scale(1, 1) and rotate(0) change nothing')\n"
      "m.scale(2, 3)\n"
      "assert(same(m, 4, 0, 0, 9, 6, 6), 'translation unchanged')\n"
      "m.setTo(1, 0, 0, 1, 0, 0); m.rotate(math.pi / 2)\n"
      "assert(same(m, 0, 1, -1, 0, 0, 0))\n"
      "m.identity()\n"
      "assert(same(m, 1, 0, 0, 1, 0, 0))\n"
      "m.createBox(2, 3)\n"
      "assert(same(m, 2, 0, 0, 3, 0, 0))\n"
      "m.createBox(2, 3, nil, 9, 9)\n"
      "assert(same(m, 2, 0, 0, 3, 0, 0), 'after a nil the rest are 0')\n"
      "m.createBox(1, 1, 0, 4, 5)\n"
      "assert(same(m, 1, 0, 0, 1, 4, 5))\n"
      "m.setBox(1638.4, 3276.8)\n"
      "assert(same(m, 1, 0, 0, 2, 819.2, 1638.4))\n"
      "a = Matrix(true, 1, 0, 0, 1, 10, 0)\n"
      "b = Matrix(true, 2, 0, 0, 2, 0, 0)\n"
      "a.concat(b)\n"
      "assert(same(a, 2, 0, 0, 2, 20, 0), 'the other applied after self')");
}

TEST_F(MatrixScript, InversionUndoesTheTransform) {
  Run("m = Matrix(true, 2, 1, -1, 3, 10, 20)\n"
      "local x, y = m.transformX(3, 4), m.transformY(3, 4)\n"
      "inv = Matrix(true, m.a, m.b, m.c, m.d, m.tx, m.ty)\n"
      "inv.invert()\n"
      "assert(near(inv.transformX(x, y), 3) and near(inv.transformY(x, y), 4))\n"
      "inv.concat(m)\n"
      "assert(same(inv, 1, 0, 0, 1, 0, 0))\n"
      "s = Matrix(true, 0, 0, 0, 0, 0, 0)\n"
      "s.invert()\n"
      "assert(s.a ~= s.a or math.abs(s.a) == math.huge, 'singular: no error')");
}

TEST_F(MatrixScript, ConcatRefusesAnythingButAMatrix) {
  Run("m = Matrix(true, 2, 0, 0, 2, 1, 1)\n"
      "for _, bad in ipairs({ {}, 5, 'x', io.stdout, false }) do\n"
      "  local ok, message = pcall(m.concat, bad)\n"
      "  assert(not ok and message:find('Matrix expected'), tostring(message))\n"
      "end\n"
      "local ok = pcall(m.concat)\n"
      "assert(not ok, 'no argument')\n"
      "assert(same(m, 2, 0, 0, 2, 1, 1), 'a refused concat changes nothing')");
}

}  // namespace
