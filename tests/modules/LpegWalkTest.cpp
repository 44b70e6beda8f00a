// Trees that no constructor makes, a sequence or a choice 100,000 deep along
// its left children, reach every walk of the "lpeg" module (the checks of
// the constructors, grammar verification, code generation): each use ends in
// a result or a Lua error, never a crash.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "modules/Lpeg.h"
#include "modules/StdLibs.h"

namespace {

using GCore::Peg::PatternNode;

struct LuaCloser {
  void operator()(lua_State* L) const { lua_close(L); }
};

// leftdeep(tag, n): tag(tag(... tag(a, a) ..., a), a) over n characters a.
int PushLeftDeep(lua_State* L) {
  const auto tag = static_cast<uint8_t>(luaL_checkinteger(L, 1));
  const auto n = static_cast<int>(luaL_checkinteger(L, 2));
  PatternNode* t = GCore::Peg::NewPattern(L, 2 * n - 1)->Tree();
  for (int i = 0; i < n - 1; ++i) t[i] = PatternNode{tag, 0, 0, 2 * (n - 1 - i)};
  for (int i = n - 1; i < 2 * n - 1; ++i) t[i] = PatternNode{GCore::Peg::kChar, 0, 0, 'a'};
  return 1;
}

TEST(LpegWalk, LeftDeepTreesEndInAResultOrAnError) {
  std::unique_ptr<lua_State, LuaCloser> state(luaL_newstate());
  lua_State* L = state.get();
  luaL_openlibs(L);
  lua_register(L, "leftdeep", PushLeftDeep);
  const char* const uses[] = {
      "return lpeg.match(p, s)",
      "return p + 'x'",
      "return lpeg.B(p)",
      "return p^1",
      "return lpeg.P{'r', r = p}",
      "return lpeg.match(lpeg.C(p), s)",
      "return lpeg.match(#p, s)",
      "return lpeg.match(-p, s)",
      "return lpeg.match(p^-1 * 'z', s)",
  };
  for (const int tag : {GCore::Peg::kSeq, GCore::Peg::kChoice}) {
    const std::string setup = "p = leftdeep(" + std::to_string(tag) + ", 100000) s = string.rep('a', 100000)";
    ASSERT_EQ(luaL_dostring(L, setup.c_str()), LUA_OK) << lua_tostring(L, -1);
    for (const char* use : uses) {
      SCOPED_TRACE(std::string("tag ") + std::to_string(tag) + ": " + use);
      if (luaL_dostring(L, use) != LUA_OK) {
        EXPECT_NE(std::string(lua_tostring(L, -1)).find("pattern too complex"), std::string::npos)
            << lua_tostring(L, -1);
      }
      lua_settop(L, 0);
    }
  }
}

}  // namespace
