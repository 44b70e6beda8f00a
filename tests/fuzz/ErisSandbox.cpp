#include "fuzz/ErisSandbox.h"

#include <cstdio>
#include <cstdlib>

#include "modules/Eris.h"
#include "modules/StdLibs.h"

extern "C" {
#include "lgc.h"
#include "lstate.h"
#include "lstring.h"
}

const char kErisExampleValues[] = R"(
  local examples = {}
  examples.scalars = {true, false, 0, -1, 2^53, math.mininteger, 1.5, -0.0, "", "text", "\0\255", nil, 7}
  local t = setmetatable({a = {}, [1.5] = "k", [true] = 1}, {__index = {x = 1}})
  t.a.back = t
  t[t.a] = t
  examples.tables = t
  local shared = 0
  local function inc() shared = shared + 1; return shared end
  local function get() return shared end
  examples.closures = {inc, get, coroutine.wrap(function(a) coroutine.yield(a) end)}
  -- Suspended in a pcall inside a metamethod, with an open upvalue that a
  -- closure outside shares.
  local getter
  local co = coroutine.create(function(a)
    local x = a
    getter = function() return x end
    local proxy = setmetatable({}, {__index = function(_, k)
      local ok, v = pcall(coroutine.yield, k)
      return ok and v
    end})
    return proxy.key, x
  end)
  coroutine.resume(co, 5)
  examples.coroutine = {co, getter}
  local failed = coroutine.create(function() error("x") end)
  coroutine.resume(failed)
  examples.dead = failed
  examples.special = setmetatable({v = 1}, {__persist = function(s)
    local v = s.v
    return function() return {v = v} end
  end})
  return examples, {_ENV = _ENV, yield = coroutine.yield, pcall = pcall, error = error}
)";

namespace {

// Persists the examples with their permanents: a list of {name, stream}.
const char kPersistExamples[] = R"(
  local examples, permanents = ...
  local writing = {}
  for name, value in pairs(permanents) do writing[value] = name end
  local streams = {}
  for name, value in pairs(examples) do streams[#streams + 1] = {name, eris.persist(writing, value)} end
  eris.settings("debug", false)
  streams[#streams + 1] = {"closures without debug information", eris.persist(writing, examples.closures)}
  eris.settings("debug", nil)
  table.sort(streams, function(p, q) return p[1] < q[1] end)
  return streams
)";

// What the reader (and Lua under it) may answer to bytes it refuses, and
// the sandbox's own refusal of calls.
const char* const kReaderMessages[] = {
    "could not read data",
    "invalid data",
    "incompatible floating point type",
    "incompatible floating point representation",
    "incompatible integer type",
    "unsupported int type",
    "unsupported size_t type",
    "int value would get truncated",
    "object too complex",
    "trying to unpersist unknown type",
    "invalid reference #",
    "bad reference #",
    "bad record (",
    "bad permanent value",
    "bad table value, got a nil value",
    "bad metatable, not nil or table",
    "bad table mode",
    "bad userdata mode",
    "invalid restore function",
    "bad unpersist function",
    "attempt to unpersist unknown function type",
    "bad closure (",
    "bad C closure (",
    "bad parameter count",
    "bad instruction count",
    "bad constant count",
    "bad prototype count",
    "bad upvalue count",
    "bad local variable count",
    "bad line information count",
    "bad debug information",
    "stack size out of bounds",
    "stack index out of bounds",
    "invalid errfunc",
    "invalid callinfo",
    "saved program counter out of bounds",
    "bad C continuation function",
    "too many objects",
    "C stack overflow",
    "stack overflow",
    "table index is NaN",
    "not enough memory",
    "sandbox: call refused",
};

void RefuseCalls(lua_State* L, lua_Debug*) { luaL_error(L, "sandbox: call refused"); }

// The registry key of the examples' permanents (name -> value).
const char kPermanentsKey[] = "eris sandbox permanents";

int UnpersistProtected(lua_State* L) {
  const char* data = static_cast<const char*>(lua_touserdata(L, 1));
  const auto size = static_cast<size_t>(lua_tointeger(L, 2));
  lua_settop(L, 0);
  lua_getfield(L, LUA_REGISTRYINDEX, kPermanentsKey);
  struct Source {
    const char* data;
    size_t size;
  } source{data, size};
  auto read = [](lua_State*, void* ud, size_t* n) -> const char* {
    auto* s = static_cast<Source*>(ud);
    *n = s->size;
    s->size = 0;
    return *n > 0 ? s->data : nullptr;
  };
  lua_sethook(L, RefuseCalls, LUA_MASKCALL, 0);
  eris_undump(L, read, &source);
  lua_settop(L, 0);
  lua_gc(L, LUA_GCCOLLECT, 0);
  return 0;
}

}  // namespace

ErisSandbox::ErisSandbox() {
  L_ = lua_newstate(Allocate, &budget_);
  if (!L_) std::abort();
  luaL_openlibs(L_);
  if (luaL_loadstring(L_, kErisExampleValues) != LUA_OK || lua_pcall(L_, 0, 2, 0) != LUA_OK) std::abort();
  lua_setfield(L_, LUA_REGISTRYINDEX, kPermanentsKey);
  lua_settop(L_, 0);
  // Finalisers would run code from the stream: a metamethod name that no
  // table uses turns them off in this state.
  TString* off = luaS_newliteral(L_, "__gc (off in the sandbox)");
  luaC_fix(L_, obj2gco(off));
  G(L_)->tmname[TM_GC] = off;
}

ErisSandbox::~ErisSandbox() { lua_close(L_); }

void* ErisSandbox::Allocate(void* budget, void* block, size_t old_size, size_t new_size) {
  auto* b = static_cast<Budget*>(budget);
  const size_t old_bytes = block ? old_size : 0;
  if (new_size == 0) {
    b->used -= old_bytes;
    std::free(block);
    return nullptr;
  }
  if (new_size > old_bytes && new_size - old_bytes > b->limit - b->used) return nullptr;
  void* grown = std::realloc(block, new_size);
  if (grown) b->used = b->used - old_bytes + new_size;
  return grown;
}

bool IsReaderRefusal(const std::string& error) {
  for (const char* message : kReaderMessages) {
    if (error.find(message) != std::string::npos) return true;
  }
  return false;
}

std::vector<std::pair<std::string, std::string>> ErisExampleStreams() {
  std::vector<std::pair<std::string, std::string>> streams;
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  if (luaL_loadstring(L, kPersistExamples) != LUA_OK || luaL_loadstring(L, kErisExampleValues) != LUA_OK ||
      lua_pcall(L, 0, 2, 0) != LUA_OK) {
    std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
    std::abort();
  }
  if (lua_pcall(L, 2, 1, 0) != LUA_OK) {
    std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
    std::abort();
  }
  const auto count = static_cast<lua_Integer>(lua_rawlen(L, -1));
  for (lua_Integer i = 1; i <= count; ++i) {
    lua_rawgeti(L, -1, i);
    lua_rawgeti(L, -1, 1);
    lua_rawgeti(L, -2, 2);
    size_t size = 0;
    const char* bytes = lua_tolstring(L, -1, &size);
    streams.emplace_back(lua_tostring(L, -2), std::string(bytes, size));
    lua_pop(L, 3);
  }
  lua_close(L);
  return streams;
}

std::string ErisSandbox::Unpersist(const std::string& bytes) {
  lua_sethook(L_, nullptr, 0, 0);
  lua_settop(L_, 0);
  lua_pushcfunction(L_, UnpersistProtected);
  lua_pushlightuserdata(L_, const_cast<char*>(bytes.data()));
  lua_pushinteger(L_, static_cast<lua_Integer>(bytes.size()));
  std::string error;
  if (lua_pcall(L_, 2, 0, 0) != LUA_OK) {
    const char* message = lua_tostring(L_, -1);
    error = message ? message : "(error object is not a string)";
    if (error.empty()) error = "(empty error)";
  }
  lua_sethook(L_, nullptr, 0, 0);
  lua_settop(L_, 0);
  lua_gc(L_, LUA_GCCOLLECT, 0);
  return error;
}
