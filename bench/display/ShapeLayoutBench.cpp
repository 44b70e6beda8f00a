// The display tree's work per frame for free geometry and arranged children,
// without a window: 1,000 shapes of 32 vertices (a fan each) on the stage,
// drawn as they stand and with their colours changing every frame (each
// change re-fills the colours from the script table); and a layout placing
// 1,000 children in a grid, then in a row. The renderer is the engine's own
// bookkeeping without GL, so the figures are the engine's share of a frame.
#include <chrono>
#include <cstdio>
#include <memory>

#include "base/Log.h"
#include "core/GameIF.h"
#include "core/GameSettings.h"
#include "core/LuaManager.h"
#include "core/ScriptVM.h"
#include "core/TempRoot.h"
#include "display/ScriptCalls.h"
#include "display/Stage.h"
#include "platform/MessageBox.h"
#include "render/Renderer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFrames = 100;

constexpr const char* kScene = R"lua(
local g = require('gcore.c')
shapes, layout = {}, nil
function Shapes(count)
  local positions, colours = {}, {}
  for v = 0, 31 do
    local a = v / 32 * 2 * math.pi
    positions[2 * v + 1], positions[2 * v + 2] = 20 * math.cos(a), 20 * math.sin(a)
    colours[v + 1] = 0xFF000000 + v * 0x070503
  end
  for i = 1, count do
    local s = g.Shape()
    s.x, s.y = math.random(0, 800), math.random(0, 600)
    s.setVertices(32, positions, nil, colours)
    s.primitive = 6
    stage.addChild(s)
    shapes[i] = s
  end
end
function Tint(frame)
  for i = 1, #shapes do shapes[i].alpha = (frame + i) % 256 end
end
function Grid(count)
  layout = g.Layout()
  layout.width, layout.height = 800, 600
  layout.layoutMode, layout.cellWidth, layout.cellHeight, layout.spacing, layout.rowSpacing = 2, 20, 15, 2, 2
  for i = 1, count do layout.addChild(g.Quad()) end
  stage.addChild(layout)
end
function Row() layout.layoutMode, layout.fitWidth = 0, true end
)lua";

bool Call(lua_State* L, const char* function, int argument) {
  lua_getglobal(L, function);
  lua_pushinteger(L, argument);
  if (lua_pcall(L, 1, 0, 0) != LUA_OK) {
    std::printf("script error: %s\n", lua_tostring(L, -1));
    lua_pop(L, 1);
    return false;
  }
  return true;
}

// Milliseconds per frame of `frames` frames of the stage, with `before`
// run ahead of each frame (untimed when `timeBefore` is false).
template <class Before>
double FrameMs(GCore::Stage* stage, Before before, bool timeBefore) {
  double seconds = 0;
  for (int i = 0; i < kFrames; ++i) {
    Clock::time_point start = Clock::now();
    before(i);
    if (!timeBefore) start = Clock::now();
    stage->Update();
    stage->Draw();
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
  }
  return seconds * 1e3 / kFrames;
}

}  // namespace

int main() {
  GCore::SetMessageBoxHook([](const char*, const char*) { return GCore::kMessageBoxOk; });
  TempRoot root;
  GCore::g_settings = GCore::GameSettings{};
  auto game = std::make_unique<GCore::GameIF>("p", root.Path());
  GCore::g_game = game.get();
  game->CreateScriptVM();
  GCore::LuaManager* manager = game->CreateLuaManager();
  manager->LoadProj("p");
  lua_State* L = manager->GetProject(1)->state;
  GCore::Stage* stage = manager->GetProject(1)->stage;
  GCore::Renderer renderer;
  GCore::PushScriptObject(L, stage);
  lua_setglobal(L, "stage");
  if (luaL_dostring(L, kScene) != LUA_OK || !Call(L, "Shapes", 1000)) {
    std::printf("scene error\n");
    return 1;
  }
  std::printf("headless display tree, the renderer's bookkeeping without GL\n");
  std::printf("  %-46s %8.3f ms/frame\n", "1,000 shapes of 32 vertices, still",
              FrameMs(stage, [](int) {}, false));
  std::printf("  %-46s %8.3f ms/frame\n", "the same, colours changing (script included)",
              FrameMs(stage, [L](int i) { Call(L, "Tint", i); }, true));
  stage->RemoveAllChildren();
  lua_gc(L, LUA_GCCOLLECT, 0);
  if (!Call(L, "Grid", 1000)) return 1;
  std::printf("  %-46s %8.3f ms/frame\n", "a layout of 1,000 cells, grid", FrameMs(stage, [](int) {}, false));
  if (!Call(L, "Row", 0)) return 1;
  std::printf("  %-46s %8.3f ms/frame\n", "the same children in a fitted row", FrameMs(stage, [](int) {}, false));
  manager->CloseAll();
  game.reset();
  GCore::g_game = nullptr;
  GCore::LogClose();
  return 0;
}
