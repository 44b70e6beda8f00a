#pragma once
// "eris": persistence of live script state. `persist` turns any graph of
// script values (tables, closures with shared upvalues, suspended coroutines,
// userdata bytes, strings, numbers) into one byte string and `unpersist`
// rebuilds it. Unpersisting runs the stream's bytecode unverified: only data
// this program wrote itself (or another trusted writer) may be restored.
// Everything runs on the thread of the state that calls it.
#include <lua.hpp>

extern "C" {
// Opens the module table {persist, unpersist, settings}.
int luaopen_eris(lua_State* L);

// Writes the value on top of the stack through `writer`, with the
// permanents table at index 1 (object -> key). The standard libraries add
// their permanents to that table. Raises a script error on failure; the
// stack is left as it was.
void eris_dump(lua_State* L, lua_Writer writer, void* data);

// Reads one value through `reader`, with the permanents table at index 1
// (key -> object), and pushes it. Raises a script error on bad input.
void eris_undump(lua_State* L, lua_Reader reader, void* data);
}

namespace GCore {

// Byte widths of the int and size_t fields of a stream. Streams are written
// with this build's native widths; readers accept 2, 4 and 8 for either.
struct ErisWidths {
  int int_width = sizeof(int);
  int size_width = sizeof(size_t);
};

// eris_dump with chosen field widths: lets tests write the streams a 32-bit
// (or 16-bit) build writes. A value that does not fit a narrow field raises.
void ErisDumpWithWidths(lua_State* L, lua_Writer writer, void* data, ErisWidths widths);

}  // namespace GCore
