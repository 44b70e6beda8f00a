// The "snapshot.c" module: one function that walks every object reachable
// from the registry and describes, for each table, function, userdata and
// thread, what it is and which references reach it. The bookkeeping lives in
// a temporary state of its own, so the walked heap only gains the result.
// The walk keeps its own stack of objects being entered (on the walked
// state's stack, which grows on the heap), so a long chain of objects cannot
// overflow the C stack.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "modules/AddressText.h"
#include "modules/ToolModules.h"

namespace {

// Stack positions of the bookkeeping tables in the temporary state.
enum Set { kTables = 1, kFunctions, kDescriptions, kThreads, kUserdata, kVisited };

struct StateCloser {
  void operator()(lua_State* L) const { lua_close(L); }
};

// One object being entered; its value sits at `base` on the walked stack
// (a table's traversal key just above it).
struct Frame {
  int type;
  int base;
  int phase = 0;
  bool weakKeys = false;
  bool weakValues = false;
  bool keyPending = false;  // a table's current key is still to be walked
  int index = 0;            // upvalue, stack slot or local number
  lua_State* thread = nullptr;
  int level = 0;
  lua_Debug ar{};
  std::string text;  // a thread's stack text
};

class Walk {
 public:
  Walk(lua_State* L, lua_State* book) : L_(L), book_(book) {}

  void Run();
  void PushResult();

 private:
  void Mark(const void* parent, const char* text);
  bool NextChild(Frame& frame, std::string& text);
  bool NextTableChild(Frame& frame, std::string& text);
  bool NextFunctionChild(Frame& frame, std::string& text);
  bool NextUserdataChild(Frame& frame, std::string& text);
  bool NextThreadChild(Frame& frame, std::string& text);
  void Finish(const Frame& frame);
  void KeyText(int index, std::string& text);
  void AddEntries(int set, const char* head);

  lua_State* L_;
  lua_State* book_;
  std::vector<Frame> frames_;
};

bool IsObject(int type) {
  return type == LUA_TTABLE || type == LUA_TFUNCTION || type == LUA_TUSERDATA || type == LUA_TTHREAD;
}

int SetOf(int type) {
  switch (type) {
    case LUA_TTABLE: return kTables;
    case LUA_TFUNCTION: return kFunctions;
    case LUA_TTHREAD: return kThreads;
    default: return kUserdata;
  }
}

// Marks the value on top of the walked stack as reached from `parent` through
// `text`; enters it the first time, else pops it.
void Walk::Mark(const void* parent, const char* text) {
  const int type = lua_type(L_, -1);
  if (!IsObject(type)) {
    lua_pop(L_, 1);
    return;
  }
  const void* address = lua_topointer(L_, -1);
  const int set = SetOf(type);
  const bool seen = lua_rawgetp(book_, kVisited, address) != LUA_TNIL;
  lua_pop(book_, 1);
  if (!seen) {
    lua_pushboolean(book_, 1);
    lua_rawsetp(book_, kVisited, address);
    lua_newtable(book_);
    lua_rawsetp(book_, set, address);
  }
  // A C function without upvalues has left its set: its references go unrecorded.
  if (lua_rawgetp(book_, set, address) == LUA_TTABLE) {
    lua_pushstring(book_, text);
    lua_rawsetp(book_, -2, parent);
  }
  lua_pop(book_, 1);
  if (seen) {
    lua_pop(L_, 1);
    return;
  }
  if (!lua_checkstack(L_, 20)) luaL_error(L_, "stack overflow");
  Frame frame;
  frame.type = type;
  frame.base = lua_gettop(L_);
  if (type == LUA_TTABLE) {
    lua_pushnil(L_);
  } else if (type == LUA_TTHREAD) {
    frame.thread = lua_tothread(L_, -1);
    frame.level = frame.thread == L_ ? 1 : 0;
  } else if (type == LUA_TFUNCTION && !lua_iscfunction(L_, -1)) {
    lua_Debug ar;
    lua_pushvalue(L_, -1);
    lua_getinfo(L_, ">S", &ar);
    lua_pushfstring(book_, "%s:%d", ar.short_src, ar.linedefined);
    lua_rawsetp(book_, kDescriptions, address);
  }
  frames_.push_back(std::move(frame));
}

void Walk::KeyText(int index, std::string& text) {
  char buffer[64];
  switch (lua_type(L_, index)) {
    case LUA_TSTRING: text = lua_tostring(L_, index); return;
    case LUA_TNIL: text = "[nil]"; return;
    case LUA_TBOOLEAN: text = lua_toboolean(L_, index) ? "[true]" : "[false]"; return;
    case LUA_TNUMBER:
      std::snprintf(buffer, sizeof buffer, "[%lg]", static_cast<double>(lua_tonumber(L_, index)));
      text = buffer;
      return;
    default:
      text = std::string("[") + luaL_typename(L_, index) + ":" + GCore::AddressText(lua_topointer(L_, index)) + "]";
  }
}

bool Walk::NextTableChild(Frame& frame, std::string& text) {
  if (frame.phase == 0) {
    frame.phase = 1;
    if (lua_getmetatable(L_, frame.base)) {
      lua_pushliteral(L_, "__mode");
      if (lua_rawget(L_, -2) == LUA_TSTRING) {
        const std::string mode = lua_tostring(L_, -1);
        frame.weakKeys = mode.find('k') != std::string::npos;
        frame.weakValues = mode.find('v') != std::string::npos;
      }
      lua_pop(L_, 1);
      text = "[metatable]";
      return true;
    }
  }
  const int key = frame.base + 1;
  if (frame.keyPending) {
    frame.keyPending = false;
    lua_pushvalue(L_, key);
    text = "[key]";
    return true;
  }
  while (lua_next(L_, frame.base)) {
    frame.keyPending = !frame.weakKeys && IsObject(lua_type(L_, key));
    if (!frame.weakValues && IsObject(lua_type(L_, -1))) {
      KeyText(key, text);
      return true;
    }
    lua_pop(L_, 1);
    if (frame.keyPending) return NextTableChild(frame, text);
  }
  return false;
}

bool Walk::NextFunctionChild(Frame& frame, std::string& text) {
  const char* name = lua_getupvalue(L_, frame.base, ++frame.index);
  if (!name) return false;
  text = *name ? name : "[upvalue]";
  return true;
}

bool Walk::NextUserdataChild(Frame& frame, std::string& text) {
  if (frame.phase == 0) {
    frame.phase = 1;
    if (lua_getmetatable(L_, frame.base)) {
      text = "[metatable]";
      return true;
    }
  }
  if (frame.phase == 1) {
    frame.phase = 2;
    if (lua_getuservalue(L_, frame.base) != LUA_TNIL) {
      text = "[uservalue]";
      return true;
    }
    lua_pop(L_, 1);
  }
  return false;
}

// Pushes a value of `thread` (on top of its stack) onto the walked stack.
bool Walk::NextThreadChild(Frame& frame, std::string& text) {
  lua_State* thread = frame.thread;
  const bool running = thread == L_;
  char buffer[32];
  if (frame.phase == 0) {
    if (!running && frame.index < lua_gettop(thread)) {
      ++frame.index;
      if (!lua_checkstack(thread, 1)) luaL_error(L_, "stack overflow");
      lua_pushvalue(thread, frame.index);
      lua_xmove(thread, L_, 1);
      std::snprintf(buffer, sizeof buffer, "[%d]", frame.index);
      text = buffer;
      return true;
    }
    frame.phase = 1;
    frame.index = 0;
  }
  for (;;) {
    if (frame.index == 0) {
      if (!lua_getstack(thread, frame.level, &frame.ar)) return false;
      lua_getinfo(thread, "Sl", &frame.ar);
      frame.text += frame.ar.short_src;
      if (frame.ar.currentline >= 0) {
        std::snprintf(buffer, sizeof buffer, ":%d ", frame.ar.currentline);
        frame.text += buffer;
      }
    }
    if (!running && !lua_checkstack(thread, 1)) luaL_error(L_, "stack overflow");
    const char* name = lua_getlocal(thread, &frame.ar, ++frame.index);
    if (name) {
      if (!running) lua_xmove(thread, L_, 1);
      text = std::string(name) + " : " + frame.ar.short_src + ":" + std::to_string(frame.ar.currentline);
      return true;
    }
    ++frame.level;
    frame.index = 0;
  }
}

bool Walk::NextChild(Frame& frame, std::string& text) {
  switch (frame.type) {
    case LUA_TTABLE: return NextTableChild(frame, text);
    case LUA_TFUNCTION: return NextFunctionChild(frame, text);
    case LUA_TTHREAD: return NextThreadChild(frame, text);
    default: return NextUserdataChild(frame, text);
  }
}

void Walk::Finish(const Frame& frame) {
  const void* address = lua_topointer(L_, frame.base);
  if (frame.type == LUA_TFUNCTION && lua_iscfunction(L_, frame.base) && frame.index == 1) {
    lua_pushnil(book_);
    lua_rawsetp(book_, kFunctions, address);
  } else if (frame.type == LUA_TTHREAD) {
    lua_pushlstring(book_, frame.text.data(), frame.text.size());
    lua_rawsetp(book_, kDescriptions, address);
  }
}

void Walk::Run() {
  lua_pushvalue(L_, LUA_REGISTRYINDEX);
  Mark(nullptr, "[registry]");
  std::string text;
  while (!frames_.empty()) {
    Frame& frame = frames_.back();
    if (!NextChild(frame, text)) {
      Finish(frame);
      lua_settop(L_, frame.base - 1);
      frames_.pop_back();
      continue;
    }
    Mark(lua_topointer(L_, frame.base), text.c_str());
  }
}

// Adds the objects of one set to the result table on top of the walked stack.
void Walk::AddEntries(int set, const char* head) {
  std::string text;
  lua_pushnil(book_);
  while (lua_next(book_, set)) {
    const void* address = lua_touserdata(book_, -2);
    if (head) {
      text = head;
    } else if (lua_rawgetp(book_, kDescriptions, address) == LUA_TSTRING) {
      text = lua_tostring(book_, -1);
      lua_pop(book_, 1);
    } else {
      text = "cfunction";
      lua_pop(book_, 1);
    }
    text += '\n';
    lua_pushnil(book_);
    while (lua_next(book_, -2)) {
      text += GCore::AddressText(lua_touserdata(book_, -2));
      text += " : ";
      text += lua_tostring(book_, -1);
      text += '\n';
      lua_pop(book_, 1);
    }
    lua_pop(book_, 1);
    lua_pushlstring(L_, text.data(), text.size());
    lua_rawsetp(L_, -2, address);
  }
}

size_t Count(lua_State* book, int set) {
  size_t count = 0;
  lua_pushnil(book);
  while (lua_next(book, set)) {
    ++count;
    lua_pop(book, 1);
  }
  return count;
}

void Walk::PushResult() {
  size_t total = 0;
  for (int set : {kTables, kUserdata, kFunctions, kThreads}) total += Count(book_, set);
  lua_createtable(L_, 0, static_cast<int>(total));
  AddEntries(kTables, "table");
  AddEntries(kUserdata, "userdata");
  AddEntries(kFunctions, nullptr);
  AddEntries(kThreads, nullptr);
}

// Objects only the bookkeeping names by address must stay where they are
// until the result is built.
class CollectorPause {
 public:
  explicit CollectorPause(lua_State* L) : L_(L), running_(lua_gc(L, LUA_GCISRUNNING, 0)) {
    lua_gc(L, LUA_GCSTOP, 0);
  }
  ~CollectorPause() {
    if (running_) lua_gc(L_, LUA_GCRESTART, 0);
  }

 private:
  lua_State* L_;
  int running_;
};

int Snapshot(lua_State* L) {
  std::unique_ptr<lua_State, StateCloser> book(luaL_newstate());
  if (!book) return luaL_error(L, "not enough memory");
  for (int set = kTables; set <= kVisited; ++set) lua_newtable(book.get());
  CollectorPause pause(L);
  const int top = lua_gettop(L);
  Walk walk(L, book.get());
  walk.Run();
  lua_settop(L, top);
  walk.PushResult();
  return 1;
}

// The module is its one function.
const luaL_Reg kSnapshotFunctions[] = {
    {"snapshot", Snapshot},
    {nullptr, nullptr},
};

}  // namespace

extern "C" int luaopen_snapshot_c(lua_State* L) {
  luaL_checkversion(L);
  lua_pushcfunction(L, kSnapshotFunctions[0].func);
  return 1;
}
