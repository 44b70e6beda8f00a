// libFuzzer target of the "lpeg" module: the pattern compiler and the
// matcher. The input is read as a small program that builds patterns through
// the module's script API (every constructor, operator and capture kind,
// grammars, labels and recovery); the bytes left over are the subject every
// pattern is then matched against. Lua errors are expected; crashes,
// sanitizer reports and hangs are findings.
#include <cstddef>
#include <cstdint>

#include <lua.hpp>

#include "modules/LpegModule.h"

namespace {

const char kDriver[] = R"(
local lpeg = ...
local P, S, R, B, V, C, Cb, Cc, Cf, Cg, Cmt, Cp, Cs, Ct, Carg, T, Rec =
  lpeg.P, lpeg.S, lpeg.R, lpeg.B, lpeg.V, lpeg.C, lpeg.Cb, lpeg.Cc, lpeg.Cf, lpeg.Cg, lpeg.Cmt,
  lpeg.Cp, lpeg.Cs, lpeg.Ct, lpeg.Carg, lpeg.T, lpeg.Rec
local names = {"a", "b", "c", "d"}
local classes = {"alpha", "digit", "space", "unicode"}
-- Patterns stay small (node counts are estimated) so that runs stay fast.
local kMaxNodes = 20000
local function abs(n) return n < 0 and -n or n end

return function(data)
  local pos = 1
  local function byte() local b = data:byte(pos) or 0; pos = pos + 1; return b end
  local function text(n) local s = data:sub(pos, pos + n - 1); pos = pos + n; return s end
  local stack, sizes = {}, {}
  local function pop()
    local p, n = stack[#stack], sizes[#sizes]
    stack[#stack], sizes[#sizes] = nil, nil
    return p or P(true), n or 1
  end
  local function push(p, n) stack[#stack + 1], sizes[#sizes + 1] = p, n end
  local function unary(f) local p, n = pop(); push(f(p), n + 1) end
  local function binary(f) local b, nb = pop(); local a, na = pop(); push(f(a, b), na + nb + 6) end
  local ops = {
    function() local s = text(byte() % 8); push(P(s), 2 * #s + 1) end,
    function() push(S(text(byte() % 8)), 5) end,
    function() push(R(text(2)), 5) end,
    function() binary(function(a, b) return a * b end) end,
    function() binary(function(a, b) return a + b end) end,
    function() binary(function(a, b) return a - b end) end,
    function() unary(function(p) return #p end) end,
    function() unary(function(p) return -p end) end,
    function() local n = byte() % 5 - 2; local p, s = pop(); push(p ^ n, (abs(n) + 2) * (s + 3)) end,
    function() unary(C) end,
    function() unary(Ct) end,
    function() unary(Cs) end,
    function() local name = names[byte() % 4 + 1]; unary(function(p) return Cg(p, name) end) end,
    function() push(Cb(names[byte() % 4 + 1]), 2) end,
    function() push(Cc(byte(), nil), 6) end,
    function() push(Cp(), 2) end,
    function() local f = text(byte() % 6); unary(function(p) return p / f end) end,
    function() unary(function(p) return p / function(...) return select("#", ...), ... end end) end,
    function() unary(function(p) return Cf(p, function(a) return a end) end) end,
    function()
      local verdict = byte() % 4
      unary(function(p)
        return Cmt(p, function(s, i, ...)
          if verdict == 0 then return false elseif verdict == 1 then return true
          elseif verdict == 2 then return i, ... else return #s + 1 end
        end)
      end)
    end,
    function() push(T(byte() % 4 + 1), 1) end,
    function()
      local l1, l2 = byte() % 4 + 1, byte() % 4 + 1
      binary(function(p, r) return Rec(p, r, l1, l2) end)
    end,
    function() unary(B) end,
    function() push(V(names[byte() % 4 + 1]), 1) end,
    function()
      local g, n = {names[byte() % 4 + 1]}, 2
      for i = 1, byte() % 4 + 1 do
        local p, s = pop()
        g[names[i]], n = p, n + s + 1
      end
      push(P(g), n)
    end,
    function() local n = byte() % 9 - 4; push(P(n), 2 * abs(n) + 1) end,
    function() push(Carg(byte() % 3 + 1), 2) end,
    function() unary(function(p) return p / {a = 1, b = true, [""] = "x"} end) end,
    function() local n = byte() % 4; unary(function(p) return p / n end) end,
    function() push(P(byte() % 2 == 0), 1) end,
    function() push(lpeg.locale()[classes[byte() % 4 + 1]], 5) end,
  }
  lpeg.setmaxstack(1000)
  for _ = 1, byte() % 24 + 1 do
    if pos > #data or #stack > 16 then break end
    local op = ops[byte() % #ops + 1]
    local ok = pcall(op)
    if ok and sizes[#sizes] > kMaxNodes then pop() end
  end
  local subject = data:sub(pos)
  for _, p in ipairs(stack) do pcall(lpeg.match, p, subject, 1, "x", 2) end
end
)";

lua_State* Driver() {
  static lua_State* L = [] {
    lua_State* state = luaL_newstate();
    luaL_requiref(state, "_G", luaopen_base, 1);
    luaL_requiref(state, LUA_STRLIBNAME, luaopen_string, 1);
    luaL_requiref(state, "lpeg", luaopen_lpeg, 1);
    if (luaL_loadstring(state, kDriver) != LUA_OK) return static_cast<lua_State*>(nullptr);
    lua_pushvalue(state, -2);
    if (lua_pcall(state, 1, 1, 0) != LUA_OK) return static_cast<lua_State*>(nullptr);
    lua_setglobal(state, "fuzz_one");
    lua_settop(state, 0);
    return state;
  }();
  return L;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lua_State* L = Driver();
  if (!L) __builtin_trap();
  lua_getglobal(L, "fuzz_one");
  lua_pushlstring(L, reinterpret_cast<const char*>(data), size);
  lua_pcall(L, 1, 0, 0);
  lua_settop(L, 0);
  lua_gc(L, LUA_GCCOLLECT, 0);
  return 0;
}
