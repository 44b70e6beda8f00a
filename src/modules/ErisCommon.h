#pragma once
// What the persisting and the unpersisting walk share: the record tags of the
// stream, the settings of one run, the nesting bound, the path of the value
// being worked on (for error messages) and the guard that keeps the recursive
// walk off the end of the C stack. Internal to the "eris" module.
#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

#include <lua.hpp>

#include "modules/Eris.h"

namespace GCore::eris {

// Record tags. A reference to the n-th registered object is kReference + n.
enum Tag : int {
  kNil = 0,
  kBoolean = 1,
  kLightUserdata = 2,
  kNumber = 3,
  kString = 4,
  kTable = 5,
  kFunction = 6,
  kUserdata = 7,
  kThread = 8,
  kProto = 9,
  kUpvalue = 12,
  kPermanent = 13,
  kReference = 14,
};

// Type codes beyond the script types, written in permanent records and named
// in messages.
constexpr int kTypeProto = 9;
constexpr int kTypeUpvalue = 10;

// "nil", "boolean", ... "proto", "upval", "deadkey", "permanent"; "?" out of range.
const char* TypeName(int code);

struct Settings {
  std::string spkey = "__persist";
  bool spio = false;
  bool debug = true;
  bool path = false;
  lua_Integer maxrec = 10000;
};

// The five settings as stored in L's registry (defaults where unset).
Settings ReadSettings(lua_State* L);

// The script function `settings`.
int SettingsFunction(lua_State* L);

// Adds the standard libraries' internal C functions to the table at `perms`:
// function -> name when `writing`, name -> function otherwise.
void AddStandardPermanents(lua_State* L, int perms, bool writing);

// Continuations travel through the stream as C functions (permanents).
inline lua_CFunction AsCFunction(lua_KFunction k) {
  return reinterpret_cast<lua_CFunction>(reinterpret_cast<void (*)()>(k));
}
inline lua_KFunction AsContinuation(lua_CFunction f) {
  return reinterpret_cast<lua_KFunction>(reinterpret_cast<void (*)()>(f));
}

// The drivers behind eris_dump and eris_undump (see Eris.h).
void Dump(lua_State* L, lua_Writer writer, void* data, ErisWidths widths);
void Undump(lua_State* L, lua_Reader reader, void* data);

class Session {
 public:
  Session(lua_State* L, const Settings& settings);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Raises the message with the position prefix and, when paths are on,
  // " (" + path + ")".
  [[noreturn]] void Fail(const char* format, ...);
  // The same without the path (header errors).
  [[noreturn]] void FailWithoutPath(const char* format, ...);

  // Brackets one typed record: refuses nesting beyond "maxrec" and walks that
  // would run the C stack out.
  void Enter();
  void Leave() { --level_; }

  bool paths() const { return path_on_; }
  bool spio() const { return spio_; }

  // One path entry while it lives; nothing is formatted when paths are off.
  class PathEntry {
   public:
    PathEntry(Session& session, const char* format, ...);
    // The entry for a table key at stack index `key`: ".name" or "[text]".
    PathEntry(Session& session, int key);
    ~PathEntry();
    PathEntry(const PathEntry&) = delete;
    PathEntry& operator=(const PathEntry&) = delete;

   private:
    Session& session_;
    bool pushed_ = false;
  };

 protected:
  lua_State* const L;
  // Numbers objects in order of first appearance, from 1.
  int32_t NextReference();

 private:
  [[noreturn]] void Raise(const char* format, va_list args, bool with_path);

  uint64_t level_ = 0;
  int32_t references_ = 0;
  const lua_Integer maxrec_;
  const bool path_on_;
  const bool spio_;
  std::vector<std::string> path_;
  const char* const stack_limit_;
};

}  // namespace GCore::eris
