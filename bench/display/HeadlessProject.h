#pragma once
// A game object with one loaded project and no window or GL, for benchmarks
// of the engine's own work. Scripts see the stage as the global `stage`.
#include <cstdio>
#include <memory>

#include "core/GameSettings.h"
#include "core/LuaManager.h"
#include "core/ScriptVM.h"
#include "core/TempRoot.h"
#include "display/ScriptCalls.h"
#include "display/Stage.h"
#include "game/GameIF.h"

namespace bench {

class HeadlessProject {
 public:
  HeadlessProject() {
    GCore::g_settings = GCore::GameSettings{};
    game = std::make_unique<GCore::GameIF>("p", root.Path());
    GCore::g_game = game.get();
    game->CreateScriptVM();
    manager = game->CreateLuaManager();
    manager->LoadProj("p");
    L = manager->GetProject(1)->state;
    stage = manager->GetProject(1)->stage;
    GCore::PushScriptObject(L, stage);
    lua_setglobal(L, "stage");
  }
  ~HeadlessProject() {
    manager->CloseAll();
    game.reset();
    GCore::g_game = nullptr;
  }
  HeadlessProject(const HeadlessProject&) = delete;
  HeadlessProject& operator=(const HeadlessProject&) = delete;

  TempRoot root;
  std::unique_ptr<GCore::GameIF> game;
  GCore::LuaManager* manager = nullptr;
  lua_State* L = nullptr;
  GCore::Stage* stage = nullptr;
};

// Calls the global script function with one integer argument (none when
// below 0); false, with the error printed, when it fails.
inline bool Call(lua_State* L, const char* function, int argument = -1) {
  lua_getglobal(L, function);
  if (argument >= 0) lua_pushinteger(L, argument);
  if (lua_pcall(L, argument >= 0 ? 1 : 0, 0, 0) != LUA_OK) {
    std::printf("script error: %s\n", lua_tostring(L, -1));
    lua_pop(L, 1);
    return false;
  }
  return true;
}

}  // namespace bench
