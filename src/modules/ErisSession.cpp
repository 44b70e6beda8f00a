#include "modules/ErisCommon.h"

#include <pthread.h>

#include <algorithm>
#include <iterator>

namespace GCore::eris {
namespace {

const char* const kTypeNames[] = {"nil",   "boolean", "lightuserdata", "number", "string",  "table",    "function",
                                  "userdata", "thread", "proto",       "upval",  "deadkey", "permanent"};

// Slots one nesting level may push on the working stack (the value, a key,
// a metatable, a lookup result and the message of an error).
constexpr int kSlotsPerLevel = 8;

// The lowest frame address the walk may reach on this thread: the margin
// above the end of the stack leaves room for the script code one record can
// run (`__persist` functions, `__index` of the permanents, restore functions).
const char* ComputeStackLimit() {
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return nullptr;
  void* low = nullptr;
  size_t size = 0;
  const bool known = pthread_attr_getstack(&attributes, &low, &size) == 0;
  pthread_attr_destroy(&attributes);
  if (!known) return nullptr;
  const size_t margin = std::min<size_t>(size / 4, size_t{1} << 20);
  return static_cast<const char*>(low) + margin;
}

const char* StackLimit() {
  thread_local const char* const limit = ComputeStackLimit();
  return limit;
}

}  // namespace

const char* TypeName(int code) {
  return code >= 0 && code < static_cast<int>(std::size(kTypeNames)) ? kTypeNames[code] : "?";
}

Session::Session(lua_State* state, const Settings& settings)
    : L(state),
      maxrec_(settings.maxrec),
      path_on_(settings.path),
      spio_(settings.spio),
      stack_limit_(StackLimit()) {
  if (path_on_) path_.emplace_back("root");
}

void Session::Fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Raise(format, args, true);
}

void Session::FailWithoutPath(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Raise(format, args, false);
}

void Session::Raise(const char* format, va_list args, bool with_path) {
  luaL_checkstack(L, 3, nullptr);
  luaL_where(L, 1);
  lua_pushvfstring(L, format, args);
  va_end(args);
  int parts = 2;
  if (with_path && path_on_) {
    std::string text = " (";
    for (const std::string& entry : path_) text += entry;
    text += ')';
    lua_pushlstring(L, text.data(), text.size());
    ++parts;
  }
  lua_concat(L, parts);
  lua_error(L);
  __builtin_unreachable();
}

void Session::Enter() {
  // A negative "maxrec" lifts the bound; the C stack guard still holds.
  if (maxrec_ >= 0 && level_ >= static_cast<uint64_t>(maxrec_)) Fail("object too complex");
  if (stack_limit_ && static_cast<const char*>(__builtin_frame_address(0)) < stack_limit_) Fail("C stack overflow");
  luaL_checkstack(L, kSlotsPerLevel, "object too complex");
  ++level_;
}

int32_t Session::NextReference() {
  if (references_ == INT32_MAX - kReference) Fail("too many objects");
  return ++references_;
}

Session::PathEntry::PathEntry(Session& session, const char* format, ...) : session_(session) {
  if (!session.path_on_) return;
  va_list args;
  va_start(args, format);
  const char* text = lua_pushvfstring(session.L, format, args);
  va_end(args);
  session.path_.emplace_back(text);
  lua_pop(session.L, 1);
  pushed_ = true;
}

Session::PathEntry::PathEntry(Session& session, int key) : session_(session) {
  if (!session.path_on_) return;
  lua_State* L = session.L;
  if (lua_type(L, key) == LUA_TSTRING) {
    session.path_.push_back(std::string(".") + lua_tostring(L, key));
  } else {
    session.path_.push_back(std::string("[") + luaL_tolstring(L, key, nullptr) + "]");
    lua_pop(L, 1);
  }
  pushed_ = true;
}

Session::PathEntry::~PathEntry() {
  if (pushed_) session_.path_.pop_back();
}

}  // namespace GCore::eris
