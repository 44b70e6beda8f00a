#include "core/Object.h"

#include <sys/random.h>

#include <cstring>
#include <ctime>

#include <lua.hpp>

#include "core/LuaApiExt.h"

namespace GCore {

bool g_shuttingDown = false;
int64_t g_liveObjects = 0;
Object* g_currentSelf = nullptr;

namespace {
// Its address, as the first array slot of every engine metatable, tells them
// from other metatables. A slot rather than a key of the hash part: every
// script access to an engine object checks it, and an integer slot is found
// without comparing keys (lua_touserdatainfo reads it with the userdata).
const char kEngineMetatableToken = 0;
constexpr lua_Integer kTokenSlot = 1;

// Drawn once per process; scripts never see it, so they cannot forge a mark
// even knowing a block's address.
uintptr_t RandomSecret() {
  uintptr_t secret = 0;
  if (getrandom(&secret, sizeof(secret), GRND_NONBLOCK) != static_cast<ssize_t>(sizeof(secret))) {
    secret = reinterpret_cast<uintptr_t>(&secret) ^ static_cast<uintptr_t>(time(nullptr)) * 0x9E3779B97F4A7C15u;
  }
  return secret;
}

const uintptr_t kMarkSecret = RandomSecret();

// The block holds an engine object: it is large enough and ends in its mark.
bool HasObjectMark(const void* block, size_t size) {
  if (size < sizeof(RefObject) + sizeof(uintptr_t)) return false;
  uintptr_t word;
  std::memcpy(&word, static_cast<const char*>(block) + size - sizeof(word), sizeof(word));
  return word == ObjectMark(block);
}
}  // namespace

uintptr_t ObjectMark(const void* block) { return reinterpret_cast<uintptr_t>(block) ^ kMarkSecret; }

Object* CastToClass(const ClassInfo* record, Object* object) {
  if (!object) return nullptr;
  for (const ClassInfo* info = object->GetClassInfo(); info; info = info->parent) {
    if (info == record) return object;
  }
  return nullptr;
}

uint32_t KeyHash(const char* key) {
  uint32_t h = 0;
  for (const char* p = key; *p; ++p) {
    h = h * 131u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*p)));
  }
  return h & 0x7FFFFFFFu;
}

int LuaGcObject(lua_State* L) {
  // Scripts reach this function too (getmetatable(o).__gc), with any value.
  Object* object = ToObject(L, 1);
  if (!object) return 0;
  // Native holders pin what they hold, so the collector meets a held object
  // only while its state closes. A script's call on one is refused: the
  // object lives on until its holders let go and the collector takes it.
  if (object->count > 0 && !lua_isfinalizing(L)) return 0;
  object->~Object();
  // A bare shell keeps a second __gc call harmless and reads as destroyed.
  new (object) RefObject();
  return 0;
}

void NewClassMetatable(lua_State* L, const ClassInfo* record, lua_CFunction index,
                       lua_CFunction newindex) {
  luaL_newmetatable(L, record->name);
  lua_pushcfunction(L, index);
  lua_setfield(L, -2, "__index");
  lua_pushcfunction(L, newindex);
  lua_setfield(L, -2, "__newindex");
  lua_pushcfunction(L, LuaGcObject);
  lua_setfield(L, -2, "__gc");
  lua_pushlightuserdata(L, const_cast<char*>(&kEngineMetatableToken));
  lua_rawseti(L, -2, kTokenSlot);
}

lua_State* MainState(lua_State* L) {
  lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_MAINTHREAD);
  lua_State* main = lua_tothread(L, -1);
  lua_pop(L, 1);
  return main;
}

Object* ToObject(lua_State* L, int index, const ClassInfo* record) {
  size_t size = 0;
  const void* token = nullptr;
  void* block = lua_touserdatainfo(L, index, &size, &token);
  if (!block || token != &kEngineMetatableToken || !HasObjectMark(block, size)) return nullptr;
  // A destroyed object is a bare RefObject: not an Object any more.
  return CastToClass(record, static_cast<RefObject*>(block)->AsObject());
}

}  // namespace GCore

const GCore::ClassInfo Object::classInfo = {"Object", nullptr};

Object::Object() { ++GCore::g_liveObjects; }

Object::~Object() {
  --GCore::g_liveObjects;
  if (GCore::g_currentSelf == this) GCore::g_currentSelf = nullptr;
}

void Object::Retain() {
  ++count;
  if (ref < 1 && state) {
    lua_pushuserdata(state, this);
    ref = luaL_ref(state, LUA_REGISTRYINDEX);
  }
}

void Object::Release() {
  if (ref > 0 && state) luaL_unref(state, LUA_REGISTRYINDEX, ref);
  ref = -1;
  if (GCore::g_shuttingDown) {
    this->~Object();
    new (this) RefObject();
  }
}
