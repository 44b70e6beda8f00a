// "gcore.c": game control, projects and the texts about the game.
#include <sys/stat.h>

#include <optional>
#include <string>

#include "core/DeviceInfo.h"
#include "core/GameSettings.h"
#include "core/LuaManager.h"
#include "game/GCoreApi.h"
#include "game/GameIF.h"
#include "platform/MessagePump.h"

namespace GCore::Api {

namespace {

LuaManager* Projects() { return g_game ? g_game->GetLuaManager() : nullptr; }

void PushTextOrNil(lua_State* L, const std::string& text) {
  if (text.empty()) {
    lua_pushnil(L);
  } else {
    lua_pushlstring(L, text.data(), text.size());
  }
}

bool IsDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

int GetGameTime(lua_State* L) {
  PushUnsigned(L, g_game ? g_game->gameTime : 0);
  return 1;
}

int GetGameElapsed(lua_State* L) {
  PushUnsigned(L, g_game ? g_game->lastStep : 0);
  return 1;
}

int QuitGame(lua_State*) {
  g_runState = kRunClosing;
  PostQuitMessage(0);
  return 0;
}

int SetGameSpeed(lua_State* L) {
  if (g_game) g_game->timeScale = IntArg(L, 1);
  return 0;
}

int GetGameSpeed(lua_State* L) {
  lua_pushinteger(L, g_game ? g_game->timeScale : 0);
  return 1;
}

int CurLuaProj(lua_State* L) {
  lua_pushinteger(L, Projects() ? Projects()->CurrentIndex() : -1);
  return 1;
}

int LoadProj(lua_State* L) {
  const char* name = TextArg(L, 1);
  if (!name || !Projects()) return 0;
  lua_pushinteger(L, Projects()->LoadProj(name));
  return 1;
}

int GetRestartTime(lua_State* L) {
  lua_pushinteger(L, g_restartCount);
  return 1;
}

int RSCall(lua_State* L) {
  const char* function = TextArg(L, 2);
  if (function && Projects()) Projects()->RSCall(IntArg(L, 1), function, TextArg(L, 3));
  return 0;
}

int SetMainloop(lua_State* L) {
  // The callback is the first argument; none at all reads as nil.
  lua_settop(L, 1);
  if (Projects()) Projects()->SetMainloop(L);
  return 0;
}

int Restart(lua_State* L) {
  const char* project = TextArg(L, 1);
  const char* path = TextArg(L, 2);
  if (project) g_restart.projectName = project;
  g_restart.hasRoot = path != nullptr;
  g_restart.rootFolder.clear();
  g_restart.repositoryPath.clear();
  if (path) {
    // A folder with resources is a root of its own; anything else is read
    // as a git repository.
    if (IsDirectory(std::string(path) + "/res")) {
      g_restart.rootFolder = path;
    } else {
      g_restart.repositoryPath = path;
    }
  }
  g_runState = kRunRestart;
  return 0;
}

int SetProjectPath(lua_State* L) {
  const char* path = TextArg(L, 1);
  if (!path || !g_game) return 0;
  g_game->projectName = path;
  LuaProj* first = Projects() ? Projects()->GetProject(1) : nullptr;
  if (!first) return 0;
  std::string name = path;
  if (!name.empty() && (name.front() == '/' || name.front() == '\\')) name.erase(0, 1);
  if (!name.empty() && (name.back() == '/' || name.back() == '\\')) name.pop_back();
  first->name = name;
  return 0;
}

int gameMode(lua_State* L) {
  PushTextOrNil(L, g_settings.gameMode);
  return 1;
}

int setGameMode(lua_State* L) {
  if (lua_type(L, 1) == LUA_TSTRING) g_settings.gameMode = lua_tostring(L, 1);
  return 0;
}

int SetGameVersion(lua_State* L) {
  if (lua_type(L, 1) == LUA_TSTRING) GCore::SetGameVersion(lua_tostring(L, 1));
  return 0;
}

int GetGameVersion(lua_State* L) {
  PushTextOrNil(L, GCore::GetGameVersion());
  return 1;
}

int SetLogInfo(lua_State* L) {
  GCore::SetLogInfo(luaL_checkstring(L, 1));
  return 0;
}

int SetWinName(lua_State* L) {
  g_settings.windowName = luaL_checkstring(L, 1);
  return 0;
}

int GetWinName(lua_State* L) {
  lua_pushstring(L, g_settings.windowName.c_str());
  return 1;
}

int GetOS(lua_State* L) {
  lua_pushinteger(L, 1);
  return 1;
}

int GetDeviceInfo(lua_State* L) {
  const char* key = TextArg(L, 1);
  const std::optional<std::string> fact = GCore::GetDeviceInfo(key ? key : "");
  // nil rather than no value: tostring(GetDeviceInfo("Steam")) must not raise.
  if (fact) {
    lua_pushlstring(L, fact->data(), fact->size());
  } else {
    lua_pushnil(L);
  }
  return 1;
}

int ChooseFont(lua_State* L) {
  const std::optional<std::string> fact = GCore::GetDeviceInfo("font");
  lua_pushstring(L, fact ? fact->c_str() : "");
  return 1;
}

int GetWorkDir(lua_State* L) {
  lua_pushstring(L, g_game ? g_game->rootFolder.c_str() : "");
  return 1;
}

}  // namespace GCore::Api
