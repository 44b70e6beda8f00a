// Scripts that call back into the project manager from inside the engine's own
// calls: projects loaded while the project list is being walked or closed,
// projects loading themselves, callbacks set from another project's call.
#include "ScriptHostFixture.h"

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

}  // namespace
