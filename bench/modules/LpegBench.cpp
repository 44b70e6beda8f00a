// Matching time of lpeg over 10 MB subjects, in milliseconds a match, beside
// the string library doing the same simple searches and lua-cjson decoding the
// same JSON document, in the same run, each side warmed the same way first:
//   json     the JSON grammar of the script tests vs cjson.decode
//   literal  finding a word that appears only at the end vs string.find(plain)
//   class    finding the first digit in letters and spaces vs string.find("%d")
//   span     skipping a run of a character class vs string.match("^[a-z ]*")
#include <cstdio>
#include <memory>
#include <string>

#include <lua.hpp>

#include "LuaTiming.h"
#include "PeerFigures.h"
#include "modules/StdLibs.h"

extern "C" int luaopen_cjson(lua_State* L);

namespace {

struct LuaCloser {
  void operator()(lua_State* L) const { lua_close(L); }
};

const char kSetup[] = R"(
  local lpeg = require "lpeg"
  local json = require "lpegjson"
  local P, R, S, Cp = lpeg.P, lpeg.R, lpeg.S, lpeg.Cp
  lpeg.setmaxstack(100000)

  local records = {}
  local size = 0
  local i = 0
  while size < 10000000 do
    i = i + 1
    local r = {id = i, name = "player" .. i, score = i * 1.25, alive = i % 2 == 0,
               tags = {"red", "blue", "item" .. i % 7}, pos = {x = i * 0.5, y = -i}, note = ("n"):rep(i % 40)}
    records[i] = r
    size = size + #cjson.encode(r) + 1
  end
  document = cjson.encode(records)

  local words = {}
  for w = 1, 2000000 do words[w] = ("abcdefgh"):sub(1, w % 8 + 1) end
  text = table.concat(words, " "):sub(1, 10000000 - 6) .. "needle"

  local find = (1 - P"needle")^0 * Cp()
  local firstDigit = (1 - R"09")^0 * Cp()
  local span = S"abcdefghijklmnopqrstuvwxyz "^0 * Cp()
  assert(find:match(text) == string.find(text, "needle", 1, true))
  assert(firstDigit:match(text) == #text + 1 and not string.find(text, "%d"))
  assert(span:match(text) == #string.match(text, "^[a-z ]*") + 1)

  cases = {
    {"json", #document, function() json.decode(document, cjson.null) end,
                        function() cjson.decode(document) end, "lua-cjson"},
    {"literal", #text, function() find:match(text) end,
                       function() string.find(text, "needle", 1, true) end, "string.find"},
    {"class", #text, function() firstDigit:match(text) end,
                     function() string.find(text, "%d") end, "string.find"},
    {"span", #text, function() span:match(text) end,
                    function() string.match(text, "^[a-z ]*") end, "string.match"},
  }
)";

}  // namespace

int main() {
  std::unique_ptr<lua_State, LuaCloser> state(luaL_newstate());
  lua_State* L = state.get();
  luaL_openlibs(L);
  luaL_requiref(L, "cjson", luaopen_cjson, 1);
  lua_settop(L, 0);
  lua_getglobal(L, "package");
  lua_pushstring(L, QUARVELIN_SOURCE_DIR "/tests/lua/?.lua");
  lua_setfield(L, -2, "path");
  lua_settop(L, 0);
  if (luaL_dostring(L, kSetup) != LUA_OK) {
    std::printf("setup failed: %s\n", lua_tostring(L, -1));
    return 1;
  }
  std::printf("ms a match over the same subject\n");
  lua_getglobal(L, "cases");
  const auto count = static_cast<lua_Integer>(lua_rawlen(L, -1));
  for (lua_Integer i = 1; i <= count; ++i) {
    lua_rawgeti(L, 1, i);
    lua_rawgeti(L, -1, 1);
    lua_rawgeti(L, -2, 2);
    lua_rawgeti(L, -3, 5);
    const char* name = lua_tostring(L, -3);
    const auto bytes = static_cast<size_t>(lua_tointeger(L, -2));
    const char* peer = lua_tostring(L, -1);
    lua_rawgeti(L, -4, 3);
    const double mine = MsPerCall(L);
    lua_pop(L, 1);
    lua_rawgeti(L, -4, 4);
    const double theirs = MsPerCall(L);
    lua_pop(L, 1);
    const std::string what = std::string(name) + " (" + std::to_string(bytes) + " bytes)";
    PrintPeerFigures(what.c_str(), mine, peer, theirs);
    lua_settop(L, 1);
  }
  return 0;
}
