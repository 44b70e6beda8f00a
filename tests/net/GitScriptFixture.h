#pragma once
// Git console tests driven from scripts: one game object over a sandbox root
// and its first project, whose state has "git.c" and the worker, shared by
// every test of the program (the worker ends for good when the projects
// close). The script function run(path, command, ...) queues a command, waits
// for it and returns its records, or nil when "git.c" refused it.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <lua.hpp>

#include "GitTestSupport.h"
#include "base/Log.h"
#include "core/LuaManager.h"
#include "core/ScriptVM.h"
#include "game/GameIF.h"

class GitScriptEnvironment : public ::testing::Environment {
 public:
  static GitScriptEnvironment*& Current() {
    static GitScriptEnvironment* current = nullptr;
    return current;
  }

  void SetUp() override {
    Current() = this;
    sandbox = std::make_unique<GitSandbox>();
    sandbox->Write("root/build/.keep", "");
    game = std::make_unique<GCore::GameIF>("loader", sandbox->Path("root"));
    GCore::g_game = game.get();
    game->CreateScriptVM();
    game->CreateLuaManager()->LoadProj("loader");
    L = game->GetLuaManager()->GetProject(1)->state;
    lua_register(L, "sleep_ms", [](lua_State* state) {
      std::this_thread::sleep_for(std::chrono::milliseconds(luaL_checkinteger(state, 1)));
      return 0;
    });
    const char* helpers = R"(
      git = require "git.c"
      function run(...)
        git.cmd(...)
        if git.state() == "idle" then return nil end
        local parts = {}
        for _ = 1, 120000 do
          git.update(function(text) parts[#parts + 1] = text end)
          if git.state() == "idle" then return table.concat(parts) end
          sleep_ms(1)
        end
        error("the git command did not finish")
      end
    )";
    ASSERT_EQ(luaL_dostring(L, helpers), LUA_OK) << lua_tostring(L, -1);
  }

  void TearDown() override {
    game->GetLuaManager()->CloseAll();
    game.reset();
    GCore::g_game = nullptr;
    GCore::ReleaseScriptBuffer();
    GCore::LogClose();
    sandbox.reset();
  }

  std::unique_ptr<GitSandbox> sandbox;
  std::unique_ptr<GCore::GameIF> game;
  lua_State* L = nullptr;
};

class GitScriptTest : public ::testing::Test {
 protected:
  GitSandbox& Box() { return *GitScriptEnvironment::Current()->sandbox; }
  lua_State* State() { return GitScriptEnvironment::Current()->L; }

  // A folder name of this test's own below the sandbox.
  std::string Named(const std::string& suffix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "-" + info->name() + "-" + suffix;
  }

  // run(args...) in the project's state: the command's records, or
  // "(refused)" when "git.c" did not queue it.
  std::string Git(const std::vector<std::string>& args) {
    lua_State* L = State();
    lua_getglobal(L, "run");
    for (const std::string& arg : args) lua_pushlstring(L, arg.data(), arg.size());
    if (lua_pcall(L, static_cast<int>(args.size()), 1, 0) != LUA_OK) {
      std::string error = lua_tostring(L, -1);
      lua_settop(L, 0);
      ADD_FAILURE() << error;
      return "(error)";
    }
    std::string out = lua_isnil(L, -1) ? "(refused)" : std::string(lua_tostring(L, -1), lua_rawlen(L, -1));
    lua_settop(L, 0);
    return out;
  }

  // Runs a chunk in the project's state; its first result as text.
  std::string Lua(const std::string& chunk) {
    lua_State* L = State();
    if (luaL_dostring(L, chunk.c_str()) != LUA_OK) {
      std::string error = lua_tostring(L, -1);
      lua_settop(L, 0);
      return "error: " + error;
    }
    std::string text = lua_gettop(L) > 0 ? luaL_tolstring(L, 1, nullptr) : "";
    lua_settop(L, 0);
    return text;
  }
};
