// The display tree's own cost per moving sprite, without a window or a
// renderer: N quads under one entity on the stage, moved every frame by
// bunnymark physics in Lua (setting `x` and `y` of every quad), then the
// stage's update and draw walks. Figures are wall-clock work per frame and per
// sprite; "engine" is that minus the same physics run on plain Lua tables,
// which is the script's own arithmetic. Scene building is timed as well.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "base/Log.h"
#include "core/GameIF.h"
#include "core/GameSettings.h"
#include "core/LuaManager.h"
#include "core/ScriptVM.h"
#include "core/TempRoot.h"
#include "display/ScriptCalls.h"
#include "display/Stage.h"
#include "platform/MessageBox.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFrames = 60;

constexpr const char* kScene = R"lua(
local g = require('gcore.c')
local layer = g.Entity()
stage.addChild(layer)
bunnies, plain = {}, {}
local function fill(count)
  for i = 1, count do
    local x, y = math.random(0, 1000), math.random(0, 700)
    local vx, vy = math.random() * 10, math.random() * 10 - 5
    local q = g.Quad(); q.width, q.height = 26, 37; q.x, q.y = x, y
    layer.addChild(q)
    bunnies[i] = {q = q, x = x, y = y, vx = vx, vy = vy}
    plain[i] = {q = {x = x, y = y}, x = x, y = y, vx = vx, vy = vy}
  end
end
local function move(list)
  for i = 1, #list do
    local b = list[i]
    local x, y, vx, vy = b.x + b.vx, b.y + b.vy, b.vx, b.vy + 0.75
    if x > 998 then vx = -vx; x = 998 elseif x < 0 then vx = -vx; x = 0 end
    if y > 731 then vy = vy * -0.85; y = 731 elseif y < 0 then vy = 0; y = 0 end
    b.x, b.y, b.vx, b.vy = x, y, vx, vy
    local q = b.q
    q.x = x; q.y = y
  end
end
-- One property of one quad stored or read `n` times; a plain table as the
-- reference gives the loop's own cost.
function Store(n, q) for i = 1, n do q.x = i end end
function Load(n, q) local v for i = 1, n do v = q.x end return v end
function StorePlain(n) Store(n, {x = 0}) end
function LoadPlain(n) Load(n, {x = 0}) end
function StoreQuad(n) Store(n, g.Quad()) end
function LoadQuad(n) Load(n, g.Quad()) end
function Fill(count) fill(count) end
function MoveBunnies() move(bunnies) end
function MovePlain() move(plain) end
)lua";

bool Call(lua_State* L, const char* function, int argument = -1) {
  lua_getglobal(L, function);
  if (argument >= 0) lua_pushinteger(L, argument);
  if (lua_pcall(L, argument >= 0 ? 1 : 0, 0, 0) != LUA_OK) {
    std::printf("script error: %s\n", lua_tostring(L, -1));
    lua_pop(L, 1);
    return false;
  }
  return true;
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// A fresh project with the scene script loaded and the stage as `stage`.
struct Project {
  TempRoot root;
  std::unique_ptr<GCore::GameIF> game;
  GCore::LuaManager* manager = nullptr;
  lua_State* L = nullptr;
  GCore::Stage* stage = nullptr;

  Project() {
    GCore::g_settings = GCore::GameSettings{};
    game = std::make_unique<GCore::GameIF>("p", root.Path());
    GCore::g_game = game.get();
    game->CreateScriptVM();
    manager = game->CreateLuaManager();
    manager->LoadProj("p");
    L = manager->GetProject(1)->state;
    stage = manager->GetProject(1)->stage;
  }
  Project(const Project&) = delete;
  Project& operator=(const Project&) = delete;
  ~Project() {
    manager->CloseAll();
    game.reset();
    GCore::g_game = nullptr;
  }

  bool Load() {
    GCore::PushScriptObject(L, stage);
    lua_setglobal(L, "stage");
    if (luaL_dostring(L, kScene) == LUA_OK) return true;
    std::printf("scene error: %s\n", lua_tostring(L, -1));
    return false;
  }
};

// One fresh project with `sprites` quads; prints one line of figures.
void Measure(int sprites) {
  Project project;
  lua_State* L = project.L;
  GCore::Stage* stage = project.stage;
  if (!project.Load()) return;
  const Clock::time_point buildStart = Clock::now();
  if (!Call(L, "Fill", sprites)) return;
  const double build = Seconds(buildStart);
  stage->Update();
  stage->Draw();

  const Clock::time_point plainStart = Clock::now();
  for (int i = 0; i < kFrames; ++i) Call(L, "MovePlain");
  const double plain = Seconds(plainStart) / kFrames;

  const Clock::time_point frameStart = Clock::now();
  for (int i = 0; i < kFrames; ++i) {
    Call(L, "MoveBunnies");
    stage->Update();
    stage->Draw();
  }
  const double frame = Seconds(frameStart) / kFrames;
  std::printf("%8d %10.3f %10.3f %12.0f %12.0f %10.3f\n", sprites, frame * 1e3, plain * 1e3,
              frame * 1e9 / sprites, (frame - plain) * 1e9 / sprites, build);
}

// Nanoseconds per property access of a quad, less the same loop on a table.
void MeasureAccess() {
  constexpr int kAccesses = 2000000;
  Project project;
  lua_State* L = project.L;
  if (!project.Load()) return;
  auto time = [L](const char* function) {
    const Clock::time_point start = Clock::now();
    Call(L, function, kAccesses);
    return Seconds(start) * 1e9 / kAccesses;
  };
  const double storePlain = time("StorePlain");
  const double store = time("StoreQuad");
  const double loadPlain = time("LoadPlain");
  const double load = time("LoadQuad");
  std::printf("quad.x = v: %.1f ns (table: %.1f ns); v = quad.x: %.1f ns (table: %.1f ns)\n",
              store - storePlain, storePlain, load - loadPlain, loadPlain);
}

}  // namespace

int main() {
  GCore::SetMessageBoxHook([](const char*, const char*) { return GCore::kMessageBoxOk; });
  std::printf("headless display tree, no renderer (LÖVE's bunnymark: see the quad-scene benchmark)\n");
  std::printf("%8s %10s %10s %12s %12s %10s\n", "sprites", "frame ms", "script ms", "ns/sprite",
              "engine ns", "build s");
  for (int sprites : {1000, 10000}) Measure(sprites);
  MeasureAccess();
  GCore::LogClose();
  return 0;
}
