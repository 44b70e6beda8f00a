#pragma once
// A game object over a temporary root, with its script host and project
// manager, for tests that load script projects without a window. Message
// boxes are recorded instead of shown.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "TempRoot.h"
#include "base/Log.h"
#include "core/LuaManager.h"
#include "core/ScriptVM.h"
#include "game/GameIF.h"
#include "platform/MessageBox.h"

class ScriptHostFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    GCore::g_errorBoxShown = false;
    GCore::SetMessageBoxHook([this](const char* title, const char* text) {
      boxes.emplace_back(title, text);
      return GCore::kMessageBoxOk;
    });
  }
  void TearDown() override {
    if (game) game->GetLuaManager()->CloseAll();
    game.reset();
    GCore::g_game = nullptr;
    GCore::SetMessageBoxHook(nullptr);
    GCore::ReleaseScriptBuffer();
    GCore::LogClose();
  }

  // Makes the game object for the project and starts its script host.
  GCore::LuaManager& Start(const char* project = "loader") {
    game = std::make_unique<GCore::GameIF>(project, root.Path());
    GCore::g_game = game.get();
    game->CreateScriptVM();
    return *game->CreateLuaManager();
  }

  std::string Log() const { return root.Read("build/log.txt"); }

  // Runs a chunk in a project's state; returns its first result as text.
  std::string Eval(lua_State* L, const std::string& chunk) {
    if (luaL_dostring(L, chunk.c_str()) != LUA_OK) return "error: " + std::string(lua_tostring(L, -1));
    std::string text = luaL_tolstring(L, -1, nullptr);
    lua_settop(L, 0);
    return text;
  }

  TempRoot root;
  std::unique_ptr<GCore::GameIF> game;
  std::vector<std::pair<std::string, std::string>> boxes;
};

inline size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}
