#include "core/ScriptVM.h"

#include <cstring>
#include <string>
#include <vector>

#include "base/Log.h"
#include "core/FileStream.h"
#include "core/GameIF.h"
#include "core/LangManager.h"
#include "core/LuaApiExt.h"
#include "core/LuaManager.h"
#include "core/ResourcePath.h"
#include "platform/MessageBox.h"

ScriptVM* g_scriptVM = nullptr;

ScriptVM::ScriptVM() { g_scriptVM = this; }

ScriptVM::~ScriptVM() {
  if (g_scriptVM == this) g_scriptVM = nullptr;
}

namespace GCore {

bool g_errorBoxShown = false;

namespace {

// Grows to the largest script read so far: a game of small scripts never
// pays for room it does not use.
std::vector<char> g_scriptBuffer;
// Set while a chunk compiles: the collector may then run a finaliser that
// loads a script, and that one must not overwrite the source being read.
bool g_compiling = false;

constexpr int kScriptNotOpened = -2;
constexpr int kScriptMissing = -3;

ProjectModules g_projectModules;

int RunScript(lua_State* L, const char* name);

// The script loader the searcher hands to `require`: the module's value is
// what its chunk returned last, or nil when it has no file or failed (never
// the handler or an error text left below it).
int ScriptLoader(lua_State* L) {
  const char* name = luaL_checkstring(L, 1);
  const int results = RunScript(L, name);
  if (results == kScriptMissing) {
    // require still succeeds (this searcher answers every name), so the log
    // is the only place the author learns of a misspelt module.
    std::string message = std::string("module '") + name + "' not found:";
    for (const std::string& path : ScriptPathCandidates(name)) message += "\n\tno file '" + path + "'";
    LogWrite(message + "\n");
  }
  return results > 0 ? 1 : 0;
}

int ModuleSearcher(lua_State* L) {
  luaL_checkstring(L, 1);
  lua_pushcfunction(L, ScriptLoader);
  lua_pushvalue(L, 1);
  return 2;
}

int OpenProjectStateProtected(lua_State* L) {
  if (g_projectModules.open) g_projectModules.open(L);
  lua_settop(L, 0);
  return 0;
}

int Panic(lua_State* L) {
  const char* message = lua_tostring(L, -1);
  LogPrintf("PANIC: unprotected error in call to Lua API (%s)\n", message ? message : "?");
  return 0;
}

std::string EditedForBox(std::string text) {
  std::string edited;
  edited.reserve(text.size());
  for (char c : text) {
    if (c == '"') continue;
    edited.push_back(c == '\\' ? '/' : c);
  }
  return edited;
}

}  // namespace

void SetProjectModules(const ProjectModules& modules) { g_projectModules = modules; }

const ProjectModules& GetProjectModules() { return g_projectModules; }

void AddModuleSearcher(lua_State* L) {
  lua_getglobal(L, "package");
  if (lua_istable(L, -1)) {
    lua_getfield(L, -1, "searchers");
    if (lua_istable(L, -1)) {
      lua_pushcfunction(L, ModuleSearcher);
      lua_rawseti(L, -2, static_cast<lua_Integer>(lua_rawlen(L, -2)) + 1);
    }
    lua_pop(L, 1);
  }
  lua_pop(L, 1);
}

lua_State* NewProjectState() {
  lua_State* L = luaL_newstate();
  if (!L) {
    LogWrite("cannot create a Lua state\n");
    return nullptr;
  }
  lua_atpanic(L, Panic);
  lua_pushcfunction(L, OpenProjectStateProtected);
  if (lua_pcall(L, 0, 0, 0) != LUA_OK) {
    LogPrintf("cannot open the engine modules: %s\n", lua_tostring(L, -1));
    lua_settop(L, 0);
  }
  return L;
}

bool ProtectedCall(lua_State* L, int nargs) {
  const int functionIndex = lua_gettop(L) - nargs;
  lua_pushcfunction(L, ScriptMessageHandler);
  lua_insert(L, functionIndex);
  const int status = lua_pcall(L, nargs, 0, functionIndex);
  lua_settop(L, functionIndex - 1);
  return status == LUA_OK;
}

namespace {

int ShowFirstBox(const char* text, const char* title) {
  g_errorBoxShown = true;
  return ShowMessageBox(title, text);
}

}  // namespace

int ScriptMessageHandler(lua_State* L) {
  if (!lua_isstring(L, 1)) return 1;

  // Raw reads: under a strict-globals guard (a raising __index on _G) a
  // metamethod here would fail the handler and lose the report.
  PushRawGlobal(L, "__on_error");
  if (lua_type(L, -1) == LUA_TFUNCTION) {
    lua_call(L, 0, 0);
  } else {
    lua_pop(L, 1);
  }

  PushRawGlobal(L, "debug");
  if (!lua_istable(L, -1)) return 0;
  lua_pushstring(L, "traceback");
  if (lua_rawget(L, -2) != LUA_TFUNCTION) return 0;
  lua_pushvalue(L, 1);
  lua_pushinteger(L, 2);
  lua_call(L, 2, 1);

  std::string trace;
  const bool isText = lua_type(L, -1) == LUA_TSTRING;
  if (isText) trace = lua_tostring(L, -1);
  if (!lua_isnil(L, -1)) {
    PrintScriptError(isText ? trace.c_str() : "(error object is not a string)", L);
  }
  lua_pop(L, 1);

  // The text was printed just above: the box shows it without a second copy.
  if (!g_errorBoxShown) ShowFirstBox(EditedForBox(trace).c_str(), "error");
  return 0;
}

int ShowScriptMessageBox(const char* text, const char* title) {
  LogWrite(text);
  return ShowFirstBox(text, title);
}

namespace {

// DoScript's body: the number of results the chunk left above the handler,
// -1 when it failed to load or raised, kScriptMissing without a file,
// kScriptNotOpened when the file cannot be read.
int RunScript(lua_State* L, const char* name) {
  if (std::strlen(name) > 254) {
    LogPrintf("script name too long: %.40s...\n", name);
    return kScriptNotOpened;
  }
  if (LuaProj* project = CurrentLuaProj(); project && project->texts) {
    project->texts->LoadFromLua(name);
  }
  const std::string path = GetScriptPath(name);

  FileStream stream;
  if (!stream.Open(path.c_str(), kStreamRead)) {
    return IsFileExist(path.c_str()) ? kScriptNotOpened : kScriptMissing;
  }
  const int32_t size = stream.Impl()->Size();
  if (size < 0) {
    LogPrintf("cannot read script %s\n", path.c_str());
    return kScriptNotOpened;
  }
  std::vector<char> own;
  std::vector<char>& buffer = g_compiling ? own : g_scriptBuffer;
  if (static_cast<size_t>(size) > buffer.size()) buffer.resize(static_cast<size_t>(size));
  if (size > 0 && !stream.Read(buffer.data(), static_cast<size_t>(size))) {
    LogPrintf("cannot read script %s\n", path.c_str());
    return kScriptNotOpened;
  }
  stream.Close();

  const char* bytes = buffer.data();
  size_t length = static_cast<size_t>(size);
  if (length >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) {
    bytes += 3;
    length -= 3;
  }
  const int results = ScriptVM::DoBuffer(L, bytes, length, name);
  if (results > 0 && name[0] == 'c' && name[1] == '_' && lua_istable(L, -1)) {
    lua_pushstring(L, name);
    lua_rawseti(L, -2, 0);
  }
  return results;
}

}  // namespace

bool DoScript(lua_State* L, const char* name) {
  const int results = RunScript(L, name);
  return results != kScriptNotOpened && results != kScriptMissing;
}

namespace {

struct ProtectedBody {
  void (*thunk)(lua_State*, void*);
  void* body;
};

int RunProtectedBody(lua_State* L) {
  const auto* call = static_cast<const ProtectedBody*>(lua_touserdata(L, 1));
  lua_remove(L, 1);
  call->thunk(L, call->body);
  return 0;
}

}  // namespace

bool RunProtectedThunk(lua_State* L, void (*thunk)(lua_State*, void*), void* body) {
  ProtectedBody call{thunk, body};
  const int top = lua_gettop(L);
  // None of these pushes allocates, so nothing can raise before the call is protected.
  lua_pushcfunction(L, ScriptMessageHandler);
  lua_pushcfunction(L, RunProtectedBody);
  lua_pushlightuserdata(L, &call);
  const int status = lua_pcall(L, 1, 0, top + 1);
  // A failing finaliser is thrown past the message handler, so its text is
  // printed here; errors that went through the handler left no text.
  if (status != LUA_OK && lua_type(L, -1) == LUA_TSTRING) PrintScriptError(lua_tostring(L, -1), L);
  lua_settop(L, top);
  return status == LUA_OK;
}

void PushRawGlobal(lua_State* L, const char* name) {
  lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
  lua_pushstring(L, name);
  lua_rawget(L, -2);
  lua_remove(L, -2);
}

void CopyTable(lua_State* L) {
  const int source = lua_gettop(L);
  lua_newtable(L);
  lua_pushnil(L);
  while (lua_next(L, source) != 0) {
    lua_pushvalue(L, -2);
    lua_insert(L, -2);
    lua_rawset(L, source + 1);
  }
  if (lua_getmetatable(L, source)) lua_setmetatable(L, source + 1);
}

void PrintScriptError(const char* text, lua_State* L) {
  // The project's name tells which of several projects' scripts failed: the
  // one whose state raised (through its main thread, for coroutines), which
  // need not be the current one when a finaliser failed. Nothing here may
  // allocate: this also runs after a failed protected call.
  const LuaProj* project = CurrentLuaProj();
  LuaManager* projects = g_game ? g_game->GetLuaManager() : nullptr;
  if (L && projects && lua_checkstack(L, 1)) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_MAINTHREAD);
    const lua_State* main = lua_tothread(L, -1);
    lua_pop(L, 1);
    for (int i = 1; i <= projects->ProjectCount(); ++i) {
      if (projects->GetProject(i)->state == main) project = projects->GetProject(i);
    }
  }
  LogWrite(project && !project->name.empty() ? std::string_view(project->name) : std::string_view("script"));
  LogWrite(":");
  LogWrite(text);
  LogWrite("\n");
}

void PrintTraceback() {
  LuaProj* project = CurrentLuaProj();
  if (!project || !project->state) return;
  if (const char* trace = lua_traceback(project->state)) LogWrite(trace);
}

void ReleaseScriptBuffer() { std::vector<char>().swap(g_scriptBuffer); }

}  // namespace GCore

int ScriptVM::DoBuffer(lua_State* L, const char* bytes, size_t length, const char* chunkName) {
  lua_pushcfunction(L, GCore::ScriptMessageHandler);
  const int handler = lua_gettop(L);
  const bool nested = GCore::g_compiling;
  GCore::g_compiling = true;
  const int loaded = luaL_loadbufferx(L, bytes, length, chunkName, nullptr);
  GCore::g_compiling = nested;
  if (loaded != LUA_OK) {
    GCore::LogWrite("***");
    GCore::LogWrite(lua_tostring(L, -1));
    GCore::LogWrite("\n");
    return -1;
  }
  if (lua_pcall(L, 0, LUA_MULTRET, handler) != LUA_OK) return -1;
  return lua_gettop(L) - handler;
}

bool ScriptVM::DoFile(lua_State* L, const char* path) {
  lua_pushcfunction(L, GCore::ScriptMessageHandler);
  const int handler = lua_gettop(L);
  if (luaL_loadfilex(L, path, nullptr) != LUA_OK) {
    GCore::LogPrintf("Error: %s\n", lua_tostring(L, -1));
    return true;
  }
  lua_pcall(L, 0, LUA_MULTRET, handler);
  return true;
}
