#pragma once
// A game object with one loaded project and no window or GL, for benchmarks
// of the engine's own work. Scripts see the stage as the global `stage`.
#include <memory>

#include "game/GameIF.h"
#include "core/GameSettings.h"
#include "core/LuaManager.h"
#include "core/ScriptVM.h"
#include "core/TempRoot.h"
#include "display/ScriptCalls.h"
#include "display/Stage.h"

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

}  // namespace bench
