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
//  - An assignment to a display object, and the lookup of one of its
//    methods, mark it changed for drawing (MarkDrawChanged): what changes
//    what is drawn needs no mark of its own.
//  - Assigned numbers are read without type checks: a non-number reads as
//    0; integers are truncated toward zero and keep their low bits.
// Main thread only.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include <lua.hpp>

#include "core/ClassFactory.h"
#include "core/LuaApiExt.h"
#include "core/Object.h"
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
  explicit MemberTable(const Member<T> (&members)[N]) : begin_(members), end_(members + N) {
    for (const Member<T>& member : members) byHash_.emplace(KeyHash(member.name), &member);
  }

  const Member<T>* begin() const { return begin_; }
  const Member<T>* end() const { return end_; }

  // The member named by the string at `key`, or null.
  const Member<T>* Find(lua_State* L, int key) const {
    size_t length = 0;
    const char* text = lua_tostringonly(L, key, &length);
    if (!text) return nullptr;
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
    return member ? Get(L, self, *member) : -1;
  }

  // __newindex for the key at 2 and the value at 3: false when the key
  // names no member here. Read-only members and methods drop the value.
  bool NewIndex(lua_State* L, T& self) const {
    const Member<T>* member = Find(L, 2);
    if (!member) return false;
    Set(L, self, *member);
    return true;
  }

  // Pushes the value of `member` of `self`; returns 1.
  static int Get(lua_State* L, T& self, const Member<T>& member) {
    if (member.method) {
      g_currentSelf = &self;
      MarkChanged(self);
      lua_pushcfunction(L, member.method);
    } else {
      member.get(L, self);
    }
    return 1;
  }

  // Assigns the value at 3 to `member` of `self`, when it has a setter.
  static void Set(lua_State* L, T& self, const Member<T>& member) {
    if (!member.set) return;
    member.set(L, self);
    MarkChanged(self);
  }

 private:
  static void MarkChanged(T& self) {
    if constexpr (std::is_base_of_v<DisplayObject, T>) self.MarkDrawChanged();
  }

  const Member<T>* begin_;
  const Member<T>* end_;
  std::unordered_multimap<uint32_t, const Member<T>*> byHash_;
};

// The members of the class C and of its base classes in one table, so that
// a script access costs one lookup instead of one per class. A name keeps
// the member of the first table added that has it, as a subclass's member
// hides its base's. Keys are matched by their text, as in MemberTable; the
// member last found for a Lua string is remembered by the address of the
// string's text, which is stable while the string lives (short strings are
// interned), and still checked by text, since a collected string's address
// can come back with another text.
template <class C>
class MemberChain {
 public:
  enum class Use {
    kOwn,          // reads and assignments
    kReadOnly,     // reads only: assignments go the slow way (not found here)
    kClearsTrack,  // reads and assignments; an assignment first ends the key's animation
  };

  template <class B>
  MemberChain& Add(const MemberTable<B>& table, Use use) {
    for (const Member<B>& member : table) {
      const size_t length = std::strlen(member.name);
      if (Lookup(member.name, length)) continue;
      byHash_.emplace(KeyHash(member.name), links_.size());
      links_.push_back({member.name, length, &member, use, &GetThunk<B>,
                        use == Use::kReadOnly ? nullptr : &SetThunk<B>});
    }
    return *this;
  }

  // As MemberTable::Index, for the key at 2.
  int Index(lua_State* L, C& self) const {
    const Link* link = Find(L);
    return link ? link->get(L, self, link->member) : -1;
  }

  // As MemberTable::NewIndex, for the key at 2 and the value at 3.
  bool NewIndex(lua_State* L, C& self) const {
    const Link* link = Find(L);
    if (!link || !link->set) return false;
    // Only an object with extras can have key tracks; most have none.
    if (link->use == Use::kClearsTrack && self.extras) self.ClearKeyTrack(link->name);
    link->set(L, self, link->member);
    return true;
  }

 private:
  struct Link {
    const char* name;
    size_t length;
    const void* member;  // a Member<B> of the table it came from
    Use use;
    int (*get)(lua_State* L, C& self, const void* member);
    void (*set)(lua_State* L, C& self, const void* member);  // null: not assignable here
  };
  struct Recent {
    const char* text = nullptr;
    size_t link = 0;
  };
  static constexpr size_t kRecent = 64;

  template <class B>
  static int GetThunk(lua_State* L, C& self, const void* member) {
    return MemberTable<B>::Get(L, self, *static_cast<const Member<B>*>(member));
  }
  template <class B>
  static void SetThunk(lua_State* L, C& self, const void* member) {
    MemberTable<B>::Set(L, self, *static_cast<const Member<B>*>(member));
  }

  // Byte by byte rather than by memcmp: member names are a few bytes long,
  // fewer than the call would cost, and every script access compares one.
  static bool Names(const Link& link, const char* text, size_t length) {
    if (link.length != length) return false;
    for (size_t i = 0; i < length; ++i) {
      if (link.name[i] != text[i]) return false;
    }
    return true;
  }

  const Link* Lookup(const char* text, size_t length) const {
    auto [it, end] = byHash_.equal_range(KeyHash(text));
    for (; it != end; ++it) {
      if (Names(links_[it->second], text, length)) return &links_[it->second];
    }
    return nullptr;
  }

  const Link* Find(lua_State* L) const {
    size_t length = 0;
    const char* text = lua_tostringonly(L, 2, &length);
    if (!text) return nullptr;
    const uintptr_t address = reinterpret_cast<uintptr_t>(text);
    Recent& recent = recent_[address / alignof(std::max_align_t) % kRecent];
    if (recent.text == text && Names(links_[recent.link], text, length)) {
      return &links_[recent.link];
    }
    const Link* link = Lookup(text, length);
    if (link) recent = {text, static_cast<size_t>(link - links_.data())};
    return link;
  }

  std::vector<Link> links_;
  std::unordered_multimap<uint32_t, size_t> byHash_;
  mutable std::array<Recent, kRecent> recent_{};
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

// The member tables of the chain's base classes.
const MemberTable<DisplayObject>& DisplayObjectMembers();
const MemberTable<DisplayObjectContainer>& ContainerMembers();
const MemberTable<Entity>& EntityMembers();

// The members of the Entity-derived class T (its own, or none for Entity
// itself) and of its bases, in the order the entity's keys below take them.
// A key found here would never have reached those keys: member names are
// neither numbers nor component keys.
template <class T>
MemberChain<T> EntityMemberChain(const MemberTable<T>* own) {
  using Use = typename MemberChain<T>::Use;
  MemberChain<T> chain;
  if (own) chain.Add(*own, Use::kOwn);
  chain.Add(EntityMembers(), Use::kReadOnly);
  chain.Add(ContainerMembers(), Use::kClearsTrack);
  chain.Add(DisplayObjectMembers(), Use::kClearsTrack);
  return chain;
}

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

// __index and __newindex of the Entity-derived class T with the members
// Own(): the chain first, then the entity's own keys. The chain is made while
// the program starts, so that every access is spared the check of a static
// made on first use; it only needs the member tables, which are made on
// first use themselves.
template <class T, const MemberTable<T>& (*Own)()>
inline const MemberChain<T> kEntitySubclassChain = EntityMemberChain<T>(&Own());

template <class T, const MemberTable<T>& (*Own)()>
int EntitySubclassIndex(lua_State* L) {
  T* self = ToObject<T>(L, 1);
  if (!self) return 0;
  const int results = kEntitySubclassChain<T, Own>.Index(L, *self);
  return results >= 0 ? results : IndexEntityMembers(L, self);
}

template <class T, const MemberTable<T>& (*Own)()>
int EntitySubclassNewIndex(lua_State* L) {
  T* self = ToObject<T>(L, 1);
  if (self && !kEntitySubclassChain<T, Own>.NewIndex(L, *self)) NewIndexEntityMembers(L, self);
  return 0;
}

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
