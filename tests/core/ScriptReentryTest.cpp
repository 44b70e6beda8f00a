// Scripts that call back into the project manager from inside the engine's own
// calls: projects loaded while the project list is being walked or closed,
// projects loading themselves, callbacks set from another project's call.
#include "ScriptHostFixture.h"
#include "core/ResourcePath.h"
#include "display/DisplayObject.h"

namespace {

using ScriptReentry = ScriptHostFixture;

TEST_F(ScriptReentry, ProjectLoadedByAStageUpdateKeepsTheFrameGoing) {
  root.Write("loader/script/gameinit.lua",
             "local g = require('gcore.c')\n"
             "local e = g.Entity()\n"
             "g.Stage().addChild(e)\n"
             "e.c_loads = { update = function() if not loaded then loaded = g.LoadProj('late') end end }\n"
             "frames = 0\n"
             "g.SetMainloop(function(t) frames = frames + 1 end)\n");
  root.Write("late/script/gameinit.lua", "");
  GCore::LuaManager& manager = Start();
  manager.LoadProj("loader");
  game->lastStep = 1;
  manager.Update(10);
  ASSERT_EQ(manager.ProjectCount(), 2);
  EXPECT_EQ(Eval(manager.GetProject(1)->state, "return frames"), "1");
}

TEST_F(ScriptReentry, PerFrameCallbackSetThroughRSCallBelongsToItsOwnProject) {
  root.Write("loader/script/gameinit.lua", "");
  root.Write("other/script/gameinit.lua",
             "local g = require('gcore.c')\n"
             "frames = 0\n"
             "function hook() g.SetMainloop(function(t) frames = frames + 1 end) end\n");
  GCore::LuaManager& manager = Start();
  manager.LoadProj("loader");
  manager.LoadProj("other");
  manager.RSCall(2, "hook", nullptr);
  manager.Update(10);
  EXPECT_EQ(Eval(manager.GetProject(2)->state, "return frames"), "1");
  EXPECT_EQ(manager.GetProject(1)->mainLoop, -1) << "the caller's project keeps no callback of another state";
}

// A project reloading itself from every close callback would keep CloseAll
// going for ever.
TEST_F(ScriptReentry, CloseCallbacksLoadNoProjects) {
  root.Write("loader/script/gameinit.lua",
             "local g = require('gcore.c')\n"
             "g.SetMainloop(function(t) if t == -1 then g.LoadProj('loader') end end)\n");
  GCore::LuaManager& manager = Start();
  manager.LoadProj("loader");
  manager.CloseAll();
  EXPECT_EQ(manager.ProjectCount(), 0);
  EXPECT_NE(Log().find("projects are closing: loader not loaded"), std::string::npos);
}

TEST_F(ScriptReentry, ProjectsLoadingThemselvesStopAtABound) {
  root.Write("loader/script/gameinit.lua", "require('gcore.c').LoadProj('loader')\n");
  GCore::LuaManager& manager = Start();
  manager.LoadProj("loader");
  EXPECT_LT(manager.ProjectCount(), 100);
  EXPECT_NE(Log().find("projects nested too deeply"), std::string::npos);
}

// Finalisers run in whatever allocation steps the collector; one that raises
// must not find the engine outside a protected call of that state.
constexpr const char* kFailingFinalisers =
    "armed = false\n"
    "local failing = { __gc = function() if armed then error('finaliser failed') end end }\n"
    "for i = 1, 200000 do setmetatable({}, failing) end\n"
    "armed = true\n"
    "function noop() end\n"
    // Filling a table allocates without stepping the collector, so the
    // engine's next allocation in this state does.
    "local big = {} for i = 1, 1 << 20 do big[i] = i end\n";

TEST_F(ScriptReentry, FailingFinalisersDuringRSCall) {
  root.Write("loader/script/gameinit.lua", "");
  root.Write("other/script/gameinit.lua", kFailingFinalisers);
  GCore::LuaManager& manager = Start();
  manager.LoadProj("loader");
  manager.LoadProj("other");
  const std::string padding(4096, 'x');
  for (int i = 0; i < 4000; ++i) manager.RSCall(2, "noop", (padding + std::to_string(i)).c_str());
  EXPECT_EQ(Eval(manager.GetProject(2)->state, "return tostring(armed)"), "true");
  EXPECT_NE(Log().find("finaliser failed"), std::string::npos);
}

TEST_F(ScriptReentry, FailingFinalisersDuringAResourcePathLookup) {
  root.Write("loader/script/gameinit.lua", "");
  root.Write("other/script/gameinit.lua",
             std::string("g_dir = { [0x1010000] = 'image' } g_ext = { [0x10000000] = '.png' }\n") +
                 kFailingFinalisers);
  root.Write("other/image/0001.png", "");
  GCore::LuaManager& manager = Start();
  manager.LoadProj("loader");
  manager.LoadProj("other");
  // The lookup that met the failing finaliser finds nothing; the next ones do.
  const char* path = nullptr;
  for (int i = 0; i < 100; ++i) path = GCore::GetPath(0x11010001, 2);
  ASSERT_NE(path, nullptr);
  EXPECT_EQ(std::string(path), root.Path("other/image/0001.png"));
  EXPECT_NE(Log().find("other:error in __gc metamethod"), std::string::npos) << "named by the project whose finaliser failed";
}

TEST_F(ScriptReentry, FailingFinalisersDuringAStageUpdate) {
  root.Write("loader/script/gameinit.lua",
             std::string("local g = require('gcore.c')\n"
                         "local e = g.Entity()\n"
                         "g.Stage().addChild(e)\n"
                         "updates = 0\n"
                         "e.c_counts = { update = function() updates = updates + 1 end }\n") +
                 kFailingFinalisers);
  GCore::LuaManager& manager = Start();
  manager.LoadProj("loader");
  game->lastStep = 1;
  for (int i = 0; i < 3; ++i) manager.Update(10 * (i + 1));
  EXPECT_NE(Eval(manager.GetProject(1)->state, "return updates"), "0");
}

TEST_F(ScriptReentry, FailingFinalisersDuringAnInputEvent) {
  root.Write("loader/script/gameinit.lua",
             std::string("local g = require('gcore.c')\n"
                         "e = g.Entity()\n"
                         "pings = 0\n"
                         "e.c_hears = { ping = function() pings = pings + 1 end }\n") +
                 kFailingFinalisers);
  GCore::LuaManager& manager = Start();
  manager.LoadProj("loader");
  lua_State* L = manager.GetProject(1)->state;
  lua_getglobal(L, "e");
  GCore::Retained<GCore::DisplayObject> entity(GCore::ToObject<GCore::DisplayObject>(L, -1));
  lua_pop(L, 1);
  ASSERT_TRUE(entity);
  for (int i = 0; i < 3; ++i) manager.SendEvent(entity.Get(), "ping");
  EXPECT_NE(Eval(L, "return pings"), "0");
}

// The collector runs finalisers while a script is being compiled; one that
// loads a script must not overwrite the source still being read.
TEST_F(ScriptReentry, ScriptLoadedByAFinaliserWhileAnotherCompiles) {
  std::string big = "big_ok = true\n";
  for (int i = 0; i < 5000; ++i) big += "_ = 'constant number " + std::to_string(i) + "'\n";
  big += "return 'big'\n";
  root.Write("loader/script/big.lua", big);
  root.Write("loader/script/inner.lua", "inner_runs = (inner_runs or 0) + 1\n" + std::string(4000, '-') + "\n");
  root.Write("loader/script/gameinit.lua",
             "local reloads = { __gc = function() package.loaded.inner = nil require('inner') end }\n"
             "for i = 1, 3000 do setmetatable({}, reloads) end\n");
  GCore::LuaManager& manager = Start();
  manager.LoadProj("loader");
  lua_State* L = manager.GetProject(1)->state;
  EXPECT_EQ(Eval(L, "return require('big')"), "big");
  EXPECT_EQ(Eval(L, "return tostring(big_ok)"), "true");
  EXPECT_NE(Eval(L, "return tostring(inner_runs)"), "nil") << "no finaliser ran during the compilation";
}

TEST_F(ScriptReentry, FailingFinalisersWhenTheGameObjectStarts) {
  root.Write("loader/script/gameinit.lua", kFailingFinalisers);
  game = std::make_unique<GCore::GameIF>("loader", root.Path());
  GCore::g_game = game.get();
  EXPECT_TRUE(game->PreInit());
  EXPECT_NE(Log().find("loader:error in __gc metamethod"), std::string::npos);
  game->Shutdown();
  game.reset();
}

}  // namespace
