#pragma once
// The script object model. Every engine object that scripts can see lives
// inside the memory of a Lua full userdata and is reference counted by its
// native holders:
//  - to keep an object, a holder calls Retain (the first hold pins the userdata
//    in the registry, later ones only count);
//  - to drop it, the holder lowers `count` itself and calls Release when the
//    count reaches 0 (Retained<T> below does both).
// An object nobody holds belongs to the Lua collector, whose __gc
// (LuaGcObject) destroys it in place. While the game shuts down, the last
// Release destroys it at once and leaves a bare RefObject for the later __gc.
// Main thread only: counts, refs and the current self are unguarded.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include <lua.hpp>

class Object;

namespace GCore {

// One static record per script-visible class; is-a tests walk the parents.
struct ClassInfo {
  const char* name;
  const ClassInfo* parent;
};

// Set to true by the game object's Shutdown; see the header comment.
extern bool g_shuttingDown;

// Number of live engine objects (constructed and not yet destroyed).
extern int64_t g_liveObjects;

}  // namespace GCore

class RefObject {
 public:
  RefObject() = default;
  RefObject(const RefObject&) = delete;
  RefObject& operator=(const RefObject&) = delete;
  virtual ~RefObject() = default;

  virtual void Retain() { ++count; }
  virtual void Release() {}
  // The live engine object, or null for the bare shell a destroyed one
  // leaves behind; cheaper than a dynamic_cast on every script access.
  virtual Object* AsObject() { return nullptr; }

  int32_t count = 0;
  int32_t ref = -1;  // registry reference pinning the userdata; below 1 when not pinned
  lua_State* state = nullptr;
};

class Object : public RefObject {
 public:
  static const GCore::ClassInfo classInfo;

  Object();
  ~Object() override;

  void Retain() override;
  void Release() override;
  Object* AsObject() override { return this; }
  virtual const GCore::ClassInfo* GetClassInfo() const { return &classInfo; }
};

namespace GCore {

// The object when it is of the given class or a descendant, else null.
Object* CastToClass(const ClassInfo* record, Object* object);

// Hash of script member names; bytes are taken as signed, result 31 bits.
uint32_t KeyHash(const char* key);

// The __gc metamethod of every engine class metatable. Scripts can call it
// too: it ignores values that are not live engine objects, and leaves an
// object that native code still holds alive (the collector finalises it
// once its holders let go, or when its state closes).
int LuaGcObject(lua_State* L);

// The object whose method was fetched last; methods read their object here.
// Destroying that object clears it, so a method value kept by a script finds
// no object instead of a freed one.
extern Object* g_currentSelf;

// The main thread of L's script state: objects keep it, not the coroutine
// that happened to make them, which may be collected long before them.
lua_State* MainState(lua_State* L);

// Creates the class metatable under the class name with __index, __newindex,
// __gc and the private token that ToObject looks for.
// Leaves the metatable on the stack.
void NewClassMetatable(lua_State* L, const ClassInfo* record, lua_CFunction index,
                       lua_CFunction newindex);

// The engine object at `index` when it is a userdata made by the engine and of
// the given class (or a descendant); null for anything else, including
// userdata of other libraries and objects already destroyed.
Object* ToObject(lua_State* L, int index, const ClassInfo* record = &Object::classInfo);

template <class T>
T* ToObject(lua_State* L, int index) {
  return static_cast<T*>(ToObject(L, index, &T::classInfo));
}

// Every engine userdata block ends in a mark word made from the block's
// address and a secret of the process, which ToObject checks before it trusts
// the block: a foreign userdata given an engine metatable (debug.setmetatable)
// has no such word, and neither has one restored from a file.
uintptr_t ObjectMark(const void* block);

constexpr size_t ObjectMarkOffset(size_t objectSize) {
  return (objectSize + alignof(uintptr_t) - 1) / alignof(uintptr_t) * alignof(uintptr_t);
}

// Makes a T inside a new full userdata of L, owned by L's main state, with
// T's class metatable (registered before with NewClassMetatable). Leaves the
// userdata on the stack.
template <class T, class... Args>
T* NewObjectUserdata(lua_State* L, Args&&... args) {
  constexpr size_t kMarkAt = ObjectMarkOffset(sizeof(T));
  void* memory = lua_newuserdata(L, kMarkAt + sizeof(uintptr_t));
  const uintptr_t mark = ObjectMark(memory);
  std::memcpy(static_cast<char*>(memory) + kMarkAt, &mark, sizeof(mark));
  T* object = new (memory) T(std::forward<Args>(args)...);
  object->state = MainState(L);
  luaL_setmetatable(L, T::classInfo.name);
  return object;
}

// Drops one native hold under the holding rule.
inline void Drop(RefObject* object) {
  if (object && --object->count == 0) object->Release();
}

// A native hold on an engine object for the holder's lifetime.
template <class T>
class Retained {
 public:
  Retained() = default;
  explicit Retained(T* object) : object_(object) {
    if (object_) object_->Retain();
  }
  Retained(const Retained& other) : Retained(other.object_) {}
  Retained(Retained&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  Retained& operator=(Retained other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~Retained() { Drop(object_); }

  void Reset(T* object = nullptr) { *this = Retained(object); }
  T* Get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

}  // namespace GCore
