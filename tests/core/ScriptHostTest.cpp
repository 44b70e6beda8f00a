#include "ScriptHostFixture.h"

namespace {

using ScriptHost = ScriptHostFixture;

TEST_F(ScriptHost, FirstProjectRunsGameinitOnlyLaterOnesAlsoModstart) {
  root.Write("loader/script/gameinit.lua", "ran = (ran or '') .. 'gameinit '");
  root.Write("loader/script/modstart.lua", "ran = (ran or '') .. 'modstart '");
  root.Write("second/script/gameinit.lua", "ran = (ran or '') .. 'gameinit '");
  root.Write("second/script/modstart.lua", "ran = (ran or '') .. 'modstart '");
  GCore::LuaManager& manager = Start();

  EXPECT_EQ(manager.LoadProj("loader"), 1);
  EXPECT_EQ(manager.LoadProj("second"), 2);
  EXPECT_EQ(manager.CurrentIndex(), 1);
  lua_State* first = manager.GetProject(1)->state;
  lua_State* second = manager.GetProject(2)->state;
  EXPECT_EQ(Eval(first, "return ran"), "gameinit ");
  EXPECT_EQ(Eval(second, "return ran"), "gameinit modstart ");
  EXPECT_EQ(Eval(second, "return debug.getregistry().proj"), "2.0");
  EXPECT_EQ(Eval(first, "return math.type(debug.getregistry().proj)"), "float");
}

TEST_F(ScriptHost, DottedRequireLoadsTheProjectScript) {
  root.Write("loader/script/ui/main/panel.lua", "return { title = 'panel' }");
  root.Write("res/common/script/shared/util.lua", "return 'from common'");
  root.Write("loader/script/noreturn.lua", "loaded_noreturn = true");
  root.Write("loader/script/broken.lua", "return (");
  GCore::LuaManager& manager = Start();
  manager.LoadProj("loader");
  lua_State* L = manager.GetProject(1)->state;

  EXPECT_EQ(Eval(L, "return require('ui.main.panel').title"), "panel");
  EXPECT_EQ(Eval(L, "return require('shared.util')"), "from common");
  EXPECT_EQ(Eval(L, "return tostring(require('noreturn'))"), "true");
  EXPECT_EQ(Eval(L, "return tostring(loaded_noreturn)"), "true");
  EXPECT_EQ(Eval(L, "return tostring(require('broken'))"), "true")
      << "a script that fails to load gives no module value, not its error text";
  EXPECT_EQ(Log().find("not found"), std::string::npos) << "modules that exist are found quietly";
  EXPECT_EQ(Eval(L, "return tostring(require('nowhere.at.all'))"), "true")
      << "the engine's searcher answers every name; a missing script gives no value";
  EXPECT_NE(Log().find("module 'nowhere.at.all' not found:\n"
                       "\tno file '" + root.Path() + "/loader/script/nowhere/at/all.lua'\n"
                       "\tno file '" + root.Path() + "/res/common/script/nowhere/at/all.lua'\n"),
            std::string::npos)
      << Log();
}

TEST_F(ScriptHost, SyntaxErrorIsPrintedAndTheHostGoesOn) {
  root.Write("loader/script/gameinit.lua", "this is not lua");
  GCore::LuaManager& manager = Start();
  manager.LoadProj("loader");
  lua_State* L = manager.GetProject(1)->state;
  EXPECT_TRUE(GCore::DoScript(L, "gameinit"));
  const std::string log = Log();
  EXPECT_EQ(CountOf(log, "***[string \"gameinit\"]:1:"), 2u) << log;
  EXPECT_EQ(Eval(L, "return 1 + 1"), "2");
  EXPECT_TRUE(boxes.empty()) << "load errors are only printed";
}

TEST_F(ScriptHost, RuntimeErrorGoesThroughOnErrorAndIsPrintedOnce) {
  root.Write("loader/script/gameinit.lua",
             "hooked = 0\n"
             "function __on_error() hooked = hooked + 1 end\n"
             "error('broken \"C:\\\\game\\\\x\"')\n");
  GCore::LuaManager& manager = Start();
  manager.LoadProj("loader");
  lua_State* L = manager.GetProject(1)->state;

  EXPECT_EQ(Eval(L, "return hooked"), "1");
  const std::string log = Log();
  EXPECT_EQ(CountOf(log, "loader:[string \"gameinit\"]:3: broken \"C:\\game\\x\"\nstack traceback:"), 1u) << log;
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].first, "error");
  EXPECT_EQ(boxes[0].second.find('"'), std::string::npos);
  EXPECT_EQ(boxes[0].second.find('\\'), std::string::npos);
  EXPECT_NE(boxes[0].second.find("broken C:/game/x"), std::string::npos) << boxes[0].second;
  EXPECT_EQ(CountOf(log, "broken"), 1u) << "the box does not print the error a second time\n" << log;
}

TEST_F(ScriptHost, ErrorsAreReportedUnderAStrictGlobalsGuard) {
  // The common guard: reading an undeclared global raises.
  const std::string guard =
      "setmetatable(_G, { __index = function(_, name) error('undeclared ' .. tostring(name), 2) end })\n";
  const struct {
    const char* what;
    std::string script;
    const char* printed;
  } cases[] = {
      {"no __on_error", guard + "error('boom')", "loader:[string \"gameinit\"]:2: boom\nstack traceback:"},
      {"with __on_error", "hooked = false\nfunction __on_error() hooked = true end\n" + guard + "error('boom')",
       "loader:[string \"gameinit\"]:4: boom\nstack traceback:"},
      {"no debug library", "debug = nil\n" + guard + "error('boom')", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    root.Write("loader/script/gameinit.lua", c.script);
    GCore::LuaManager& manager = Start();
    manager.LoadProj("loader");
    const std::string log = Log();
    if (*c.printed) {
      EXPECT_NE(log.find(c.printed), std::string::npos) << log;
    } else {
      EXPECT_EQ(log.find("undeclared"), std::string::npos) << log;
      GCore::PrintTraceback();
      EXPECT_EQ(Log(), log) << "no traceback without the debug library, and no error either";
    }
    EXPECT_EQ(log.find("undeclared"), std::string::npos) << log;
    lua_State* L = manager.GetProject(1)->state;
    EXPECT_EQ(Eval(L, "return tostring(rawget(_G, 'hooked'))"), c.script.find("hooked") != std::string::npos ? "true" : "nil");
    manager.CloseAll();
  }
}

TEST_F(ScriptHost, OnlyTheFirstErrorOfTheRunOpensABox) {
  root.Write("loader/script/gameinit.lua", "error('one')");
  root.Write("second/script/gameinit.lua", "error('two')");
  GCore::LuaManager& manager = Start();
  manager.LoadProj("loader");
  manager.LoadProj("second");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].second.find("one"), std::string::npos);
  EXPECT_NE(Log().find("second:[string \"gameinit\"]:1: two"), std::string::npos) << "named by its own project";
}

TEST_F(ScriptHost, NonStringErrorsAreNotPrinted) {
  root.Write("loader/script/gameinit.lua", "error({})");
  GCore::LuaManager& manager = Start();
  manager.LoadProj("loader");
  EXPECT_EQ(Log().find("loader:"), std::string::npos);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(ScriptHost, PerFrameCallbackRunsEachUpdateAndGetsMinusOneAtClose) {
  root.Write("loader/script/gameinit.lua", "");
  GCore::LuaManager& manager = Start();
  manager.LoadProj("loader");
  lua_State* L = manager.GetProject(1)->state;
  ASSERT_EQ(luaL_loadstring(L,
                            "return function(t)\n"
                            "  local f = io.open(RESULT, 'a'); f:write(tostring(t), ' '); f:close()\n"
                            "  if t == 40 then error('frame error') end\n"
                            "end"),
            LUA_OK);
  lua_call(L, 0, 1);
  lua_pushstring(L, root.Path("calls.txt").c_str());
  lua_setglobal(L, "RESULT");
  manager.SetMainloop(L);

  manager.Update(20);
  manager.Update(40);
  manager.Update(60);
  manager.CloseAll();
  EXPECT_EQ(root.Read("calls.txt"), "20.0 40.0 60.0 -1.0 ");
  EXPECT_EQ(CountOf(Log(), "loader:"), 1u) << "an error in one frame does not stop the next";
}

TEST_F(ScriptHost, SetMainloopTakesItsFirstArgumentAndNothingClearsIt) {
  root.Write("loader/script/gameinit.lua",
             "g = require 'gcore.c'\n"
             "calls = 0\n"
             "function frame(t) calls = calls + 1 end\n");
  const struct {
    const char* script;
    int calls;
  } cases[] = {
      {"g.SetMainloop(frame)", 1},
      {"g.SetMainloop(frame, 5)", 1},
      {"g.SetMainloop(frame); g.SetMainloop()", 0},
      {"g.SetMainloop(frame); g.SetMainloop(nil)", 0},
      {"g.SetMainloop(); g.SetMainloop(frame)", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    GCore::LuaManager& manager = Start();
    manager.LoadProj("loader");
    lua_State* L = manager.GetProject(1)->state;
    ASSERT_EQ(Eval(L, std::string(c.script) + " return 0"), "0");
    manager.Update(20);
    EXPECT_EQ(Eval(L, "return calls"), std::to_string(c.calls));
    EXPECT_EQ(manager.GetProject(1)->mainLoop > 0, c.calls > 0);
    manager.CloseAll();
    EXPECT_EQ(Log().find("stack traceback"), std::string::npos) << Log();
  }
}

TEST_F(ScriptHost, ScriptsAreReadAsTheyShouldBe) {
  root.Write("loader/script/gameinit.lua", "");
  root.Write("loader/script/bom.lua", "\xEF\xBB\xBFreturn 'no mark'");
  root.Write("loader/script/empty.lua", "");
  root.Write("loader/script/c_hero.lua", "return { hp = 3 }");
  // Prefixed scripts may return anything: only a table gets its name.
  root.Write("loader/script/c_number.lua", "return 42");
  root.Write("loader/script/c_text.lua", "return 'text'");
  root.Write("loader/script/c_nothing.lua", "local x = 1");
  // Larger than the shared 7 MB read buffer: read whole, not cut.
  root.Write("loader/script/big.lua", "return #[[" + std::string(7500000, 'x') + "]]");
  GCore::LuaManager& manager = Start();
  manager.LoadProj("loader");
  lua_State* L = manager.GetProject(1)->state;

  EXPECT_EQ(Eval(L, "return require('bom')"), "no mark");
  EXPECT_EQ(Eval(L, "return tostring(require('empty'))"), "true");
  EXPECT_EQ(Eval(L, "return require('c_hero')[0]"), "c_hero");
  EXPECT_EQ(Eval(L, "return require('c_number')"), "42");
  EXPECT_EQ(Eval(L, "return require('c_text')"), "text");
  EXPECT_EQ(Eval(L, "return tostring(require('c_nothing'))"), "true");
  EXPECT_EQ(Eval(L, "return require('big')"), "7500000");
  EXPECT_EQ(Eval(L, "return require('bom')"), "no mark") << "the grown buffer serves the next script";
  EXPECT_FALSE(GCore::DoScript(L, "missing.script"));
  EXPECT_EQ(Log(), "") << "a missing script prints nothing";
}

TEST_F(ScriptHost, RSCallReachesAnotherProject) {
  root.Write("loader/script/gameinit.lua", "");
  root.Write("other/script/gameinit.lua", "function greet(who) greeted = who end");
  GCore::LuaManager& manager = Start();
  manager.LoadProj("loader");
  manager.LoadProj("other");
  EXPECT_EQ(manager.RSCall(2, "greet", "loader"), 0);
  EXPECT_EQ(manager.RSCall(2, "no_such_function", nullptr), 0);
  EXPECT_EQ(Eval(manager.GetProject(2)->state, "return greeted"), "loader");
  EXPECT_EQ(manager.CurrentIndex(), 1);

  // The function is the global's own value, not what _G's __index makes up.
  lua_State* other = manager.GetProject(2)->state;
  ASSERT_EQ(luaL_dostring(other, "setmetatable(_G, { __index = function(_, k)\n"
                                 "  if k == 'not_defined' then return function() rawset(_G, 'madeUp', k) end end\n"
                                 "end })"),
            LUA_OK);
  manager.RSCall(2, "not_defined", nullptr);
  EXPECT_EQ(Eval(other, "return tostring(rawget(_G, 'madeUp'))"), "nil");
}

TEST_F(ScriptHost, CopyTableIsShallowAndKeepsTheMetatable) {
  GCore::LuaManager& manager = Start();
  manager.LoadProj("loader");
  lua_State* L = manager.GetProject(1)->state;
  luaL_dostring(L, "inner = {}; return setmetatable({ a = 1, inner = inner }, { kind = 'm' })");
  GCore::CopyTable(L);
  lua_setglobal(L, "copy");
  lua_setglobal(L, "source");
  EXPECT_EQ(Eval(L, "return tostring(copy ~= source and copy.a == 1 and copy.inner == inner)"), "true");
  EXPECT_EQ(Eval(L, "return getmetatable(copy).kind"), "m");
}

}  // namespace
