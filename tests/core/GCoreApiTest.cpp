#include "ScriptHostFixture.h"

#include "core/GameSettings.h"
#include "render/Renderer.h"

namespace {

class GCoreApi : public ScriptHostFixture {
 protected:
  lua_State* StartLoader() {
    GCore::g_settings = GCore::GameSettings{};
    GCore::g_restart = GCore::RestartRequest{};
    GCore::g_runState = GCore::kRunRunning;
    GCore::LuaManager& manager = Start("loader");
    manager.LoadProj("loader");
    lua_State* L = manager.GetProject(1)->state;
    luaL_dostring(L, "g = require('gcore.c')");
    return L;
  }
};

TEST_F(GCoreApi, TextsAboutTheGame) {
  lua_State* L = StartLoader();
  EXPECT_EQ(Eval(L, "return tostring(g.gameMode())"), "nil");
  EXPECT_EQ(Eval(L, "g.setGameMode('arcade') return g.gameMode()"), "arcade");
  EXPECT_EQ(Eval(L, "g.setGameMode({}) return g.gameMode()"), "arcade") << "non-strings are ignored";
  EXPECT_EQ(Eval(L, "g.setGameMode('') return tostring(g.gameMode())"), "nil");
  EXPECT_EQ(Eval(L, "return g.GetGameVersion()"), "0.0.0.0");
  EXPECT_EQ(Eval(L, "g.SetGameVersion('1.2') return g.GetGameVersion()"), "1.2");
  EXPECT_EQ(Eval(L, "return '[' .. g.GetWinName() .. ']'"), "[]");
  EXPECT_EQ(Eval(L, "g.SetWinName('Hero') return g.GetWinName()"), "Hero");
  EXPECT_NE(Eval(L, "g.SetWinName()").find("error"), std::string::npos) << "the name must be a string";
}

TEST_F(GCoreApi, GameControlValues) {
  lua_State* L = StartLoader();
  EXPECT_EQ(Eval(L, "return g.GetOS()"), "1");
  EXPECT_EQ(Eval(L, "return tostring(g.GetGameElapsed == g.Elapsed)"), "true");
  EXPECT_EQ(Eval(L, "g.SetGameSpeed(1500.9) return g.GetGameSpeed()"), "1500");
  EXPECT_EQ(Eval(L, "g.SetGameSpeed('fast') return g.GetGameSpeed()"), "0") << "non-numbers read as 0";
  EXPECT_EQ(Eval(L, "return g.CurLuaProj()"), "1");
  EXPECT_EQ(Eval(L, "return g.GetWorkDir()"), root.Path());
  EXPECT_EQ(Eval(L, "g.SetResourceSize(1024.7, 768.2) return g.winW() .. 'x' .. g.winH()"), "1024x768");
  EXPECT_EQ(Eval(L, "return tostring(g.Explore(1, 2) == nil and g.FullPath(1, 2, 'x') == nil and g.Draw() == 0)"),
            "true");
  EXPECT_EQ(Eval(L, "return select('#', g.UnzipFile('a', 'b'))"), "0");
  EXPECT_EQ(Eval(L, "return '[' .. g.ChooseFont() .. ']'"), "[]");
  EXPECT_EQ(Eval(L, "return g.GetDeviceInfo('SysVer')"), "Unknown System");
  EXPECT_EQ(Eval(L, "return select('#', g.GetDeviceInfo('Steam')) .. ' ' .. tostring(g.GetDeviceInfo('Steam'))"), "1 nil")
      << "no bridge: nil, which tostring takes";
}

TEST_F(GCoreApi, MsgBoxShowsOneBoxPerRun) {
  lua_State* L = StartLoader();
  Eval(L, "g.MsgBox('first', 'title') g.MsgBox('second', 'title')");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], std::make_pair(std::string("title"), std::string("first")));
}

TEST_F(GCoreApi, MsgBoxAfterAnErrorBoxShowsNone) {
  lua_State* L = StartLoader();
  GCore::DoScript(L, "missing");  // no box for a missing script
  luaL_loadstring(L, "error('boom')");
  GCore::ProtectedCall(L, 0);
  Eval(L, "g.MsgBox('later', 'title')");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].first, "error");
}

TEST_F(GCoreApi, RestartIsARequestForTheNextFrame) {
  lua_State* L = StartLoader();
  root.Write("withres/res/.keep", "");
  Eval(L, "g.Restart('next', '" + root.Path("withres") + "')");
  EXPECT_EQ(GCore::g_runState, GCore::kRunRestart);
  EXPECT_EQ(GCore::g_restart.projectName, "next");
  EXPECT_EQ(GCore::g_restart.rootFolder, root.Path("withres"));
  EXPECT_TRUE(GCore::g_restart.repositoryPath.empty());

  Eval(L, "g.Restart(nil, '" + root.Path("repo") + "')");
  EXPECT_EQ(GCore::g_restart.projectName, "next");
  EXPECT_TRUE(GCore::g_restart.rootFolder.empty()) << "no res folder: repository mode";
  EXPECT_EQ(GCore::g_restart.repositoryPath, root.Path("repo"));

  Eval(L, "g.Restart()");
  EXPECT_FALSE(GCore::g_restart.hasRoot);
  GCore::g_runState = GCore::kRunRunning;
}

TEST_F(GCoreApi, ProjectsFromScripts) {
  root.Write("other/script/gameinit.lua", "function who(x) seen = x end");
  lua_State* L = StartLoader();
  EXPECT_EQ(Eval(L, "return g.LoadProj('other', 5)"), "2");
  EXPECT_EQ(Eval(L, "g.RSCall(2, 'who', 'hello') return g.CurLuaProj()"), "1");
  EXPECT_EQ(Eval(game->GetLuaManager()->GetProject(2)->state, "return seen"), "hello");
  Eval(L, "g.SetProjectPath('/moved/')");
  EXPECT_EQ(game->GetLuaManager()->GetProject(1)->name, "moved");
  EXPECT_EQ(game->projectName, "/moved/");
}

TEST_F(GCoreApi, LogAndTracebacks) {
  lua_State* L = StartLoader();
  Eval(L, "g.clog('plain %d text') g.clog(nil)");
  EXPECT_EQ(Log(), "plain %d textnoll");
  const std::string trace =
      Eval(L, "local co = coroutine.create(function() coroutine.yield() end) coroutine.resume(co) "
              "return g.print_co(co)");
  EXPECT_NE(trace.find("stack traceback"), std::string::npos) << trace;
  EXPECT_EQ(Eval(L, "return select('#', g.print_co(42))"), "0");
}

}  // namespace

namespace {

// Records the view operations the script functions ask for.
class ViewRecorder : public GCore::Renderer {
 public:
  void SetProjection(float l, float r, float b, float t, float n, float f, bool ortho) override {
    calls.push_back(Format("proj", {l, r, b, t, n, f, ortho ? 1.0f : 0.0f}));
  }
  void SetViewport(float x, float y, float w, float h) override { calls.push_back(Format("viewport", {x, y, w, h})); }
  void SetView(float x, float y, float sx, float sy) override { calls.push_back(Format("view", {x, y, sx, sy})); }
  std::vector<std::string> calls;
  std::vector<std::vector<float>> values;  // of every call, unrounded

 private:
  std::string Format(const char* name, std::initializer_list<float> values) {
    this->values.emplace_back(values);
    std::string text = name;
    for (float v : values) text += " " + std::to_string(static_cast<int>(v * 100) / 100.0).substr(0, 6);
    return text;
  }
};

class GameWithRecorder : public GCore::GameIF {
 public:
  using GameIF::GameIF;
  ViewRecorder* Install() {
    auto recorder = std::make_unique<ViewRecorder>();
    ViewRecorder* raw = recorder.get();
    renderer_ = std::move(recorder);
    return raw;
  }
};

TEST_F(GCoreApi, ViewFunctionsTruncateAndScale) {
  lua_State* L = StartLoader();
  GameWithRecorder owner("loader", root.Path());
  ViewRecorder* recorder = owner.Install();
  GCore::GameBase* previous = GCore::g_game;
  GCore::g_game = &owner;
  Eval(L, "g.ProjMatrix(0, 800.9, 0, 600, 2) g.Viewport(1.5, 2.5, 100.9, 50) g.ViewMatrix(10, 20, 150, 2) "
          "g.SetRenderSZ(640.7, 480.2)");
  GCore::g_game = previous;
  EXPECT_EQ(recorder->calls, (std::vector<std::string>{"proj 0.0000 1600.0 0.0000 1200.0 -1.000 1.0000 1.0000",
                                                       "viewport 1.0000 2.0000 100.00 50.000",
                                                       "view 20.000 40.000 6.0000 6.0000"}));
  EXPECT_EQ(recorder->logicalWidth, 640.0f);
  EXPECT_EQ(recorder->logicalHeight, 480.0f);
}

TEST_F(GCoreApi, ViewFunctionsScaleHugeValuesWithoutOverflow) {
  lua_State* L = StartLoader();
  GameWithRecorder owner("loader", root.Path());
  ViewRecorder* recorder = owner.Install();
  GCore::GameBase* previous = GCore::g_game;
  GCore::g_game = &owner;
  Eval(L, "g.ProjMatrix(2^31, -2^31, 70000, 1, 70000) g.ViewMatrix(2^31, 1, 2^31, 2^31)");
  GCore::g_game = previous;
  // Arguments past the int32 range are clamped to it before they are multiplied.
  const float big = 2147483647.0f;
  EXPECT_EQ(recorder->values, (std::vector<std::vector<float>>{
                                  {big * 70000.0f, -big * 70000.0f, 70000.0f * 70000.0f, 70000.0f, -1.0f, 1.0f, 1.0f},
                                  {big * big, big, big * big / 50.0f, big * big / 50.0f}}));
}

}  // namespace
