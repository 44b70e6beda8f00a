#pragma once
// Internals of the "remotedebug" module. A debugger written in Lua runs in a
// state of its own (the debugger state) on the game's thread; the game's
// state (the host) enters it only from its debug hook or from `probe`, so
// the host is paused whenever debugger code runs. The debugger never holds a
// host object: it holds references, chains of steps from a root (a frame, the
// globals, the registry) that are evaluated afresh in the host on each use.
//
// Registry keys: in the debugger state, kHostKey holds the host thread being
// debugged and kHookKey the hook coroutine; in the host, kClientKey holds the
// debugger state and kHookKey the hook coroutine (as light userdata). Every
// way the debugger ends goes through ClearDebugger, which removes both host
// keys before the debugger state is closed.
#include <cstdint>

#include <lua.hpp>

namespace GCore::RemoteDebug {

extern const char kHostKey;
extern const char kClientKey;
extern const char kHookKey;
extern const char kStartedKey;

constexpr const char* kRefMetatable = "remotedebug.ref";

struct Node {
  uint16_t kind;
  uint16_t a;
  int32_t b;
};

enum NodeKind : uint16_t {
  kLocal = 0,
  kFrameFunction,
  kField,
  kRefField,
  kUpvalue,
  kGlobals,
  kRegistry,
  kMainThread,
  kMetatable,
  kUserValue,
};

struct Ref {
  uint32_t count;
  Node nodes[1];  // nodes[0] is the outermost step
};

// Debugger state side: the host thread under kHostKey, or an error.
lua_State* CheckHost(lua_State* D);
Ref* ToRef(lua_State* D, int index);
// Pushes onto the host the value `ref` (at `index` in D) leads to; returns
// its type, or LUA_TNONE with the host stack unchanged.
int Evaluate(lua_State* D, int index, lua_State* host);
// Pushes a new reference: `node` in front of the chain of the reference at
// `parent` (0: none); for kField `key` is the index in D of the plain key;
// for kRefField `key` is the index of the key's reference.
void PushRef(lua_State* D, Node node, int parent, int key);
// Replaces the reference on top of D by the host value itself when that is
// a plain value (copied); leaves it when the value is an object; pops it
// and returns false when it cannot be evaluated.
bool ResolveTop(lua_State* D, lua_State* host);
// Copies a plain host value (top of host) into D; false for objects.
bool CopyPlain(lua_State* host, lua_State* D);
void PushDetail(lua_State* D, int index);

void OpenDebuggerFunctions(lua_State* D);
void ClearDebugger(lua_State* host);
void HostHook(lua_State* host, lua_Debug* ar);

}  // namespace GCore::RemoteDebug
