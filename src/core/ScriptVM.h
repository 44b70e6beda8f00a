#pragma once
// The script host: the engine's module searcher and preload list, the shared
// message handler of every protected call the engine makes, and the runners
// of script files and buffers. A script error never escapes: it is printed
// (the first one of a run also boxed) and the engine carries on.
// Main thread only; no worker thread touches a Lua state.
#include <cstddef>
#include <type_traits>

#include <lua.hpp>

class ScriptVM {
 public:
  ScriptVM();
  ScriptVM(const ScriptVM&) = delete;
  ScriptVM& operator=(const ScriptVM&) = delete;
  virtual ~ScriptVM();
  virtual bool Check() { return true; }

  // Runs a script file; a load error prints "Error: %s\n". Always true.
  static bool DoFile(lua_State* L, const char* path);
  // Leaves the message handler and the chunk's results (or the load error
  // text) on the stack. Returns the number of results, or -1 when the chunk
  // failed to load or raised an error.
  static int DoBuffer(lua_State* L, const char* bytes, size_t length, const char* chunkName);
};

extern ScriptVM* g_scriptVM;

namespace GCore {

// Creates a project's Lua state and opens in it what SetProjectModules
// names. Null when the state cannot be made.
lua_State* NewProjectState();

// The libraries and modules of the projects come from every subsystem: the
// game names them (game/ProjectModules.h) when it is loaded, before any
// project state is made.
struct ProjectModules {
  // Opens the libraries and modules of every project state.
  void (*open)(lua_State* L) = nullptr;
  // Opens the modules that only the first project gets.
  void (*openFirst)(lua_State* L) = nullptr;
  // Stops what those modules started, before the projects close.
  void (*stop)() = nullptr;
};
void SetProjectModules(const ProjectModules& modules);
const ProjectModules& GetProjectModules();
// Appends the searcher that finds modules among the project's scripts.
void AddModuleSearcher(lua_State* L);

// Runs the project's script of that name; false when its file cannot be opened.
bool DoScript(lua_State* L, const char* name);

// The message handler of every engine protected call.
int ScriptMessageHandler(lua_State* L);

// Calls the value below `nargs` arguments on the stack under the message
// handler; the stack is left as it was before the function was pushed.
// True when the call returned without error.
bool ProtectedCall(lua_State* L, int nargs);

// Pushes the global of that name without running metamethods, so that the
// lookup cannot raise outside a protected call.
void PushRawGlobal(lua_State* L, const char* name);

// Runs `body`(L) inside a protected call of L under the message handler; the
// stack is left as it was. Engine code that pushes strings or makes objects
// in a state outside any protected call goes through it: an allocation may
// step the collector, which runs finalisers that may raise. False when
// `body` raised.
bool RunProtectedThunk(lua_State* L, void (*thunk)(lua_State*, void*), void* body);
template <typename Body>
bool RunProtected(lua_State* L, Body&& body) {
  return RunProtectedThunk(
      L, [](lua_State* state, void* data) { (*static_cast<std::remove_reference_t<Body>*>(data))(state); },
      &body);
}

// Pushes a shallow copy (with the same metatable) of the table on top.
void CopyTable(lua_State* L);

// Logs "<project>:<text>": the project whose state `L` is (or the current
// project without one).
void PrintScriptError(const char* text, lua_State* L = nullptr);
void PrintTraceback();

// Frees the shared script read buffer.
void ReleaseScriptBuffer();

// Whether an error box was shown in this run; the first one sets it.
extern bool g_errorBoxShown;

// The box of the script call MsgBox: sets the flag, prints the text (no line
// end) and shows it. A script error's box does not print its text again.
int ShowScriptMessageBox(const char* text, const char* title);

}  // namespace GCore
