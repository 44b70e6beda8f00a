#pragma once
// What the script bindings of the display classes share.
// Rules:
//  - Each binding keeps one table of members: properties (a getter and,
//    unless read-only, a setter) and methods. A key is found by its KeyHash
//    and then by its exact text (length included), so only the listed names
//    resolve, whatever else hashes alike.
//  - A lookup that finds nothing returns -1 and an assignment false, with
//    the stack untouched, so that a subclass's binding passes the key on to
//    its base class's binding.
//  - Methods are C functions without upvalues called with a dot: a lookup
//    that yields one stores its object as the current self, and the method
//    takes its object from there (CurrentSelf), never from its arguments.
//  - Assigned numbers are read without type checks: a non-number reads as
//    0; integers are truncated toward zero and keep their low bits.
// Main thread only.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include <lua.hpp>

#include "core/Object.h"
#include "core/ResourceManager.h"
#include "display/DisplayObject.h"
#include "display/ScriptCalls.h"

namespace GCore {

class DisplayObjectContainer;
class Entity;

template <class T>
struct Member {
  const char* name;
  void (*get)(lua_State* L, T& self);  // pushes one value
  void (*set)(lua_State* L, T& self);  // reads the value at 3; null: read-only
  lua_CFunction method;                // set instead of get and set for a method
};

template <class T>
class MemberTable {
 public:
  template <size_t N>
  explicit MemberTable(const Member<T> (&members)[N]) {
    for (const Member<T>& member : members) byHash_.emplace(KeyHash(member.name), &member);
  }

  // The member named by the string at `key`, or null.
  const Member<T>* Find(lua_State* L, int key) const {
    if (lua_type(L, key) != LUA_TSTRING) return nullptr;
    size_t length = 0;
    const char* text = lua_tolstring(L, key, &length);
    auto [it, end] = byHash_.equal_range(KeyHash(text));
    for (; it != end; ++it) {
      const char* name = it->second->name;
      if (std::strlen(name) == length && std::memcmp(name, text, length) == 0) return it->second;
    }
    return nullptr;
  }

  // __index for the key at 2: pushes the value and returns 1; -1 when the
  // key names no member here.
  int Index(lua_State* L, T& self) const {
    const Member<T>* member = Find(L, 2);
    if (!member) return -1;
    if (member->method) {
      g_currentSelf = &self;
      lua_pushcfunction(L, member->method);
    } else {
      member->get(L, self);
    }
    return 1;
  }

  // __newindex for the key at 2 and the value at 3: false when the key
  // names no member here. Read-only members and methods drop the value.
  bool NewIndex(lua_State* L, T& self) const {
    const Member<T>* member = Find(L, 2);
    if (!member) return false;
    if (member->set) member->set(L, self);
    return true;
  }

 private:
  std::unordered_multimap<uint32_t, const Member<T>*> byHash_;
};

// A script number truncated toward zero; NaN and values beyond 64 bits give 0.
inline int64_t TruncatedNumber(lua_State* L, int index) {
  const double value = lua_tonumberx(L, index, nullptr);
  return value > -9.2e18 && value < 9.2e18 ? static_cast<int64_t>(value) : 0;
}

inline uint32_t UnsignedValue(lua_State* L, int index) {
  return static_cast<uint32_t>(TruncatedNumber(L, index));
}

inline int32_t IntValue(lua_State* L, int index) {
  return static_cast<int32_t>(UnsignedValue(L, index));
}

inline uint8_t ByteValue(lua_State* L, int index) {
  return static_cast<uint8_t>(UnsignedValue(L, index));
}

// A switch assigned from a script: a number counts by being non-zero,
// anything else by its truth.
inline bool FlagValue(lua_State* L, int index) {
  return lua_type(L, index) == LUA_TNUMBER ? TruncatedNumber(L, index) != 0
                                           : lua_toboolean(L, index) != 0;
}

inline float FloatValue(lua_State* L, int index) {
  return static_cast<float>(lua_tonumberx(L, index, nullptr));
}

// The current self as a T of L's script state. Raises a script error when
// there is none: its object was destroyed, is of another class, or belongs
// to another project.
template <class T>
T& CurrentSelf(lua_State* L) {
  auto* self = static_cast<T*>(CastToClass(&T::classInfo, g_currentSelf));
  if (!self || self->state != MainState(L)) {
    luaL_error(L, "%s method called without its object (look it up with a dot and call it at once)",
               T::classInfo.name);
  }
  return *self;
}

inline void PushObjectOrNil(lua_State* L, Object* object) {
  if (!PushScriptObject(L, object)) lua_pushnil(L);
}

// The display object argument of a method: null for nil or an absent
// argument, and, after a printed message naming the method, for any value
// that is not a live display object.
DisplayObject* DisplayObjectArg(lua_State* L, int index, const char* method);

// The member bindings of the chain's base classes; see the rules above.
int IndexDisplayObjectMembers(lua_State* L, DisplayObject* self);
bool NewIndexDisplayObjectMembers(lua_State* L, DisplayObject* self);
int IndexContainerMembers(lua_State* L, DisplayObjectContainer* self);
bool NewIndexContainerMembers(lua_State* L, DisplayObjectContainer* self);

// The members that every Entity-derived class falls back to for the keys it
// does not know itself: the entity's own keys, then the container's and the
// display object's members. Called with the object at 1, the key at 2 and
// (for assignments) the value at 3.
// IndexEntityMembers pushes the member's value and returns 1, or returns 0
// when the key names nothing (the script sees nil).
int IndexEntityMembers(lua_State* L, Entity* self);
// Assigns the member, or ignores a key that names none.
void NewIndexEntityMembers(lua_State* L, Entity* self);
// __index and __newindex of an entity class without members of its own.
int EntityIndex(lua_State* L);
int EntityNewIndex(lua_State* L);

// Registers the display class T in a script state: its metatable (__index,
// __newindex and the shared __gc) and its creator in the class factory.
template <class T>
void RegisterDisplayClass(lua_State* L, lua_CFunction index, lua_CFunction newindex) {
  NewClassMetatable(L, &T::classInfo, index, newindex);
  lua_pop(L, 1);
  ClassFactory()[&T::classInfo] = [](lua_State* state, int) -> Object* {
    return NewDisplayObject<T>(state);
  };
}

// A script constructor of the display class T: pushes a new object, owned by
// the collector until someone holds it. Arguments are ignored.
template <class T>
int ConstructDisplayObject(lua_State* L) {
  NewObjectUserdata<T>(L, L);
  return 1;
}

}  // namespace GCore
