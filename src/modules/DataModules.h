#pragma once
// Openers of the script modules for data: "crypt.c" (byte-string cryptography
// and encodings), "sproto.core" (sproto schemas, messages and zero-packing) and
// "cmsgpack" (MessagePack). Each leaves exactly one value, its module table,
// and sets no global; the script host preloads them into every project state.
// All of them run on the thread of the state that calls them.
#include <lua.hpp>

extern "C" {
int luaopen_crypt_c(lua_State* L);
int luaopen_sproto_core(lua_State* L);
int luaopen_cmsgpack(lua_State* L);
}
