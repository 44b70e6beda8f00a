// The display tree's own cost per moving sprite, without a window or GL:
// N quads of one 26 x 37 image under one entity on the stage, moved every
// frame by bunnymark physics in Lua (setting `x` and `y` of every quad), then
// the stage's update and draw walks, which build every quad's vertices into
// the batch of a renderer whose back end draws nothing. Figures are
// wall-clock work per frame (the shortest frame of the run) and per sprite; "engine" is that minus the same
// physics run on plain Lua tables, which is the script's own arithmetic.
// Beside it, when LÖVE and Xvfb are there, LÖVE's submit per sprite in the
// same scene (bunnymark/main.lua, moving): its love.draw, one
// love.graphics.draw a bunny, which is the whole of its work on a sprite
// besides the physics on plain tables (it batches them into one stream of
// vertices, flushed to GL when it fills). Scene building is timed as well, and
// the building and drawing of the deepest tree; and the memory one quad
// takes, in the collector's bytes and the rest of the heap.
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "BlankImage.h"
#include "BunnyPhysics.h"
#include "FrameRun.h"
#include "HeadlessProject.h"
#include "base/Log.h"
#include "core/Matrix.h"
#include "core/ScriptVM.h"
#include "display/Quad.h"
#include "display/Stage.h"
#include "platform/MessageBox.h"
#include "render/Renderer.h"
#include "render/ResourceManager.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFrames = 60;

// Runs after the physics (BunnyMoveSource), which defines `move`.
constexpr const char* kScene = R"lua(
local g = require('gcore.c')
local layer = g.Entity()
stage.addChild(layer)
bunnies, plain = {}, {}
local function fill(count)
  for i = 1, count do
    local x, y = math.random(0, 1000), math.random(0, 700)
    local vx, vy = math.random() * 10, math.random() * 10 - 5
    local q = g.Quad(); q.media = kSpriteMedia; q.width, q.height = 26, 37; q.x, q.y = x, y
    layer.addChild(q)
    bunnies[i] = {q = q, x = x, y = y, vx = vx, vy = vy}
    plain[i] = {q = {x = x, y = y}, x = x, y = y, vx = vx, vy = vy}
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
function StoreSprite(n) Store(n, g.Sprite()) end
function LoadSprite(n) Load(n, g.Sprite()) end
function Fill(count) fill(count) end
-- Quads as a scene holds them: in a layer, and in a table of the script.
function Quads(count)
  local layer = g.Entity()
  stage.addChild(layer)
  kept = {}
  for i = 1, count do
    local q = g.Quad(); q.width, q.height = 26, 37; q.x, q.y = i % 1000, i % 700
    layer.addChild(q)
    kept[i] = q
  end
end
local function chain(parent, levels)
  for _ = 1, levels do local e = g.Entity(); parent.addChild(e); parent = e end
  return parent
end
function Chain(levels) deepest = chain(stage, levels) end
-- Each new entity takes the chain made so far; the whole goes on the stage.
function ChainUp(levels)
  local top = g.Entity()
  deepest = top
  for _ = 2, levels do local e = g.Entity(); e.addChild(top); top = e end
  stage.addChild(top)
end
-- Two chains of half the levels on the stage; Move puts the second under
-- the bottom of the first.
function TwoChains(levels)
  local half = levels // 2
  deepest = chain(stage, half)
  second = g.Entity(); stage.addChild(second); chain(second, levels - half - 1)
end
function Move() deepest.addChild(second) end
function SetDeepest(n) local o = deepest for i = 1, n do o.x = i end end
function MoveBunnies() move(bunnies) end
function MovePlain() move(plain) end
)lua";

using bench::Call;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Seconds that `body` takes.
template <class Body>
double Timed(Body body) {
  const Clock::time_point start = Clock::now();
  body();
  return Seconds(start);
}

// Runs `body` in one fresh project whose script has the scene's functions.
void InProject(const std::function<void(lua_State*, GCore::Stage*)>& body) {
  bench::HeadlessProject project;
  if (luaL_dostring(project.L, (bench::BunnyMoveSource() + kScene).c_str()) == LUA_OK) {
    body(project.L, project.stage);
  } else {
    std::printf("scene error: %s\n", lua_tostring(project.L, -1));
  }
}

constexpr uint32_t kSpriteMedia = 0x50000001;

// One frame as the program draws it: the update walk, the draw walk into the
// renderer's batch, the last flush.
void DrawFrame(GCore::Renderer& renderer, GCore::Stage* stage) {
  stage->Update();
  stage->Draw();
  renderer.Flush(nullptr);
}

// The sprites' image, 26 x 37 texels of a texture that is never uploaded,
// known to the scripts as `kSpriteMedia`.
bool AddSpriteImage(lua_State* L) {
  if (!bench::AddBlankImage(*GCore::Game()->CreateResourceManager(), kSpriteMedia, 26, 37)) {
    std::printf("no sprite image\n");
    return false;
  }
  lua_pushinteger(L, kSpriteMedia);
  lua_setglobal(L, "kSpriteMedia");
  return true;
}

// LÖVE's submit per sprite in ns, or -1 without LÖVE or a display.
double LoveSubmitNs(int sprites, bool withLove) {
  bench::FrameFigures figures;
  if (!withLove || !bench::RunLove(QUARVELIN_BUNNYMARK_DIR, {sprites, true, false, kFrames, 10, 4}, figures) ||
      figures.submitMs < 0) {
    return -1;
  }
  return figures.submitMs * 1e6 / sprites;
}

// `sprites` quads; prints one line of figures.
void Measure(int sprites, bool withLove) {
  const double love = LoveSubmitNs(sprites, withLove);
  InProject([sprites, love](lua_State* L, GCore::Stage* stage) {
    // The engine's own batching and vertex building, with a back end that draws nothing.
    GCore::Renderer renderer;
    if (!AddSpriteImage(L)) return;
    const Clock::time_point buildStart = Clock::now();
    if (!Call(L, "Fill", sprites)) return;
    const double build = Seconds(buildStart);
    // One untimed frame of each kind, so that neither timed loop starts cold.
    Call(L, "MovePlain");
    Call(L, "MoveBunnies");
    DrawFrame(renderer, stage);

    // Each figure is the shortest of its frames, the plain physics' taken
    // between the moving frames: on a shared machine that is the one least
    // disturbed, where a mean carries every other process's bursts.
    double plain = 1e9, frame = 1e9;
    for (int i = 0; i < kFrames; ++i) {
      plain = std::min(plain, Timed([L] { Call(L, "MovePlain"); }));
      frame = std::min(frame, Timed([&] {
        Call(L, "MoveBunnies");
        DrawFrame(renderer, stage);
      }));
    }
    // The same sprites left where they are: what a frame of a still scene costs.
    double still = 1e9;
    for (int i = 0; i < kFrames; ++i) still = std::min(still, Timed([&] { DrawFrame(renderer, stage); }));
    std::printf("%8d %10.3f %10.3f %12.0f %12.0f %10.0f %10.3f %10.3f\n", sprites, frame * 1e3, plain * 1e3,
                frame * 1e9 / sprites, (frame - plain) * 1e9 / sprites, love, still * 1e3, build);
  });
}

// A chain of `levels` entities below the stage, each the child of the one
// before, built by `build` (downwards, upwards, or two halves of which one is
// then moved under the other): the time to build it and to update and draw it
// once; for a single chain, the time of a script's `x = v` on its deepest
// entity (the first after the draw included).
void MeasureDeepTree(int levels, const char* build, const char* how) {
  InProject([levels, build, how](lua_State* L, GCore::Stage* stage) {
    const Clock::time_point buildStart = Clock::now();
    if (!Call(L, build, levels)) return;
    const double built = Seconds(buildStart);
    const Clock::time_point drawStart = Clock::now();
    stage->Update();
    stage->Draw();
    const double drawn = Seconds(drawStart);
    std::printf("tree of %5d levels with the stage, %-10s: build %8.3f ms, first update and draw %7.3f ms",
                levels + 1, how, built * 1e3, drawn * 1e3);
    if (std::string(build) != "TwoChains") {
      constexpr int kSets = 10000;
      const Clock::time_point setStart = Clock::now();
      if (!Call(L, "SetDeepest", kSets)) return;
      std::printf("; deepest.x = v %8.1f ns", Seconds(setStart) * 1e9 / kSets);
    }
    if (std::string(build) == "TwoChains") {
      const Clock::time_point moveStart = Clock::now();
      if (!Call(L, "Move")) return;
      const double moved = Seconds(moveStart);
      const Clock::time_point redrawStart = Clock::now();
      stage->Update();
      stage->Draw();
      std::printf("; move %.3f ms, update and draw %.3f ms", moved * 1e3, Seconds(redrawStart) * 1e3);
    }
    std::printf("\n");
  });
}

// Nanoseconds per property access of a quad, less the same loop on a table.
void MeasureAccess() {
  constexpr int kAccesses = 2000000;
  InProject([](lua_State* L, GCore::Stage*) {
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
    std::printf("sprite.x = v: %.1f ns; v = sprite.x: %.1f ns\n", time("StoreSprite") - storePlain,
                time("LoadSprite") - loadPlain);
  });
}

// Bytes a quad takes once drawn, after a full collection: those the script
// collector counts (the quad's userdata, its matrices', the references that
// pin them, the script's table slot) and the rest of the heap's growth.
void MeasureMemory() {
  constexpr int kQuads = 50000;
  InProject([](lua_State* L, GCore::Stage* stage) {
    lua_gc(L, LUA_GCCOLLECT, 0);
    const size_t heapBefore = mallinfo2().uordblks;
    const int luaBefore = lua_gc(L, LUA_GCCOUNT, 0);
    if (!Call(L, "Quads", kQuads)) return;
    stage->Update();
    stage->Draw();
    lua_gc(L, LUA_GCCOLLECT, 0);
    const double lua = (lua_gc(L, LUA_GCCOUNT, 0) - luaBefore) * 1024.0 / kQuads;
    const double heap = static_cast<double>(mallinfo2().uordblks - heapBefore) / kQuads;
    std::printf("bytes a quad takes (%d quads): %.0f, of which the collector's %.0f (the quad object %zu, "
                "a matrix %zu); the rest of the heap %.0f\n",
                kQuads, heap, lua, sizeof(GCore::Quad), sizeof(GCore::Matrix), heap - lua);
  });
}

}  // namespace

// With a sprite count as argument, only that scene is measured, without
// LÖVE; with a builder's name (Chain, ChainUp, TwoChains) and a level count,
// only that tree (both for profiling).
int main(int argc, char** argv) {
  GCore::SetMessageBoxHook([](const char*, const char*) { return GCore::kMessageBoxOk; });
  std::printf("headless display tree, a renderer without GL (the program and LÖVE whole: see the bunnymark "
              "benchmark)\n");
  if (argc > 2) {
    MeasureDeepTree(std::atoi(argv[2]) - 1, argv[1], argv[1]);
    GCore::LogClose();
    return 0;
  }
  const bool love = argc <= 1 && bench::LoveInstalled() && e2e::EnsureDisplay("1024x768x24");
  if (argc <= 1 && !love) std::printf("no LÖVE or no Xvfb: no LÖVE figures (-1)\n");
  std::printf("%8s %10s %10s %12s %12s %10s %10s %10s\n", "sprites", "frame ms", "script ms", "ns/sprite",
              "engine ns", "love ns", "still ms", "build s");
  if (argc > 1) {
    Measure(std::atoi(argv[1]), false);
    GCore::LogClose();
    return 0;
  }
  for (int sprites : {1000, 10000, 50000}) Measure(sprites, love);
  // The deepest tree the display allows is 10,000 levels, the stage's
  // included; the shallower ones show how the cost grows with the depth.
  for (int levels : {2500, 5000, 10000}) {
    MeasureDeepTree(levels - 1, "Chain", "top-down");
    MeasureDeepTree(levels - 1, "ChainUp", "bottom-up");
  }
  MeasureDeepTree(9999, "TwoChains", "two halves");
  MeasureAccess();
  MeasureMemory();
  GCore::LogClose();
  return 0;
}
