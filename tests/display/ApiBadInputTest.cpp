// Every "gcore.c", "map.c" and "webview.c" function, the native closures of
// "gcore.c", and every method of the bound classes, called with arguments of
// every wrong kind: other libraries' userdata, destroyed objects, and objects
// a script tried to destroy while the engine holds them (on the stage,
// focused, hovered and pressed, a display object's own matrix). Each call
// gives a clear script error or a quiet result, never a crash (these tests
// run under the sanitizers), and the game goes on: after the calls of each
// function or method the frame loop still runs the game's callback, no error
// is raised by the frame, and the stage still draws. The file functions among
// them work in a folder of their own.
#include <unistd.h>

#include <algorithm>

#include "DisplayFixture.h"
#include "display/Entity.h"

namespace {

using GCore::Entity;

class ApiBadInput : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    char* here = getcwd(nullptr, 0);
    ASSERT_NE(here, nullptr);
    previous_ = here;
    free(here);
    ASSERT_EQ(chdir(folder_.Path().c_str()), 0);
    // The sentinel has no script name: no call can reach it.
    stage->AddChild(MakeProbe("sentinel"), 0);
    // Under the pointer (at 0, 0): hovered, and pressed.
    Entity* under = Make<Entity>("heldHovered");
    under->mouseEnabled = true;
    under->bounds = {-10, -10, 20, 20};
    stage->AddChild(under, 0);
    manager->HitTest();
    manager->pressed.Reset(under);
    current = this;
    lua_register(L, "runFrame", RunFrame);
    Run(kValues);
  }

  void TearDown() override {
    EXPECT_EQ(chdir(previous_.c_str()), 0);
    current = nullptr;
    GCore::g_runState = GCore::kRunRunning;
    GCore::g_restart = GCore::RestartRequest{};
    DisplayFixture::TearDown();
  }

  // runFrame() -> how often the stage drew the sentinel in one frame.
  static int RunFrame(lua_State* S) {
    ApiBadInput& self = *current;
    self.renderer.calls.clear();
    self.game->lastStep = 20;
    self.game->gameTime += 20;
    self.manager->Update(self.game->gameTime);
    self.manager->RenderStages();
    const auto& calls = self.renderer.calls;
    lua_pushinteger(S, std::count(calls.begin(), calls.end(), "draw sentinel"));
    return 1;
  }

  // The problems the last sweep found, one a line.
  std::string Problems() { return Eval("table.concat(problems, '\\n')"); }

  static constexpr const char* kValues = R"lua(
    g = require "gcore.c"
    frames, errors, calls, problems = 0, 0, 0, {}
    function __on_error() errors = errors + 1 end
    function gameFrame(t) if t >= 0 then frames = frames + 1 end end

    -- After the calls of one function: each of two frames (a callback can
    -- leave its harm for the next one) must run the game's callback (unless
    -- the calls cleared it), raise nothing, and draw.
    function check(what, callbackExpected)
      local before, failed = frames, errors
      local drew = runFrame() + runFrame()
      local ran = frames - before
      if ran ~= (callbackExpected and 2 or 0) or errors ~= failed or drew ~= 2 then
        problems[#problems + 1] = string.format("%s: callback ran %d times, %d errors, the sentinel drawn %d times",
                                                what, ran, errors - failed, drew)
      end
    end

    local function destroy(o) getmetatable(o).__gc(o) return o end
    heldOnStage = g.Entity()
    g.Stage().addChild(heldOnStage)
    destroy(heldOnStage)
    heldFocused = g.Quad()
    g.Stage().addChild(heldFocused)
    g.SetFocus(heldFocused)
    destroy(heldFocused)
    destroy(heldHovered)
    holder = g.DisplayObject()
    heldMatrix = destroy(holder.worldMatrix)
    values = { nil, 0, -1, 1.5, 1e308, -1e308, 0/0, math.mininteger, "", "x", "0x10", {}, { x = 1 },
               io.stdout, coroutine.create(function() end), print, true, false,
               g.Entity(), g.DisplayObject(), g.Quad(), g.TextQuad(), g.Matrix(), g.Stage(),
               g.Sprite(), g.ParticleSystem(), g.Trail(),
               destroy(g.Entity()), destroy(g.Quad()), destroy(g.Matrix()),
               destroy(g.Sprite()), destroy(g.ParticleSystem()), destroy(g.Trail()),
               g.Shape(), g.Layout(), destroy(g.Shape()), destroy(g.Layout()),
               heldOnStage, heldFocused, heldHovered, heldMatrix }

    -- f with each value alone, twice, and among numbers; then with nothing.
    function sweep(f)
      for i = 1, #values + 1 do
        local a = values[i]
        pcall(f, a)
        pcall(f, a, a)
        pcall(f, a, 1, a, 2, a)
        calls = calls + 3
      end
      pcall(f)
    end
  )lua";

  static ApiBadInput* current;

 private:
  TempRoot folder_;
  std::string previous_;
};
ApiBadInput* ApiBadInput::current = nullptr;

TEST_F(ApiBadInput, EveryFunctionSurvivesEveryKindOfArgument) {
  testing::internal::CaptureStdout();
  Run(R"lua(
    -- Functions that leave the test process's world: a desktop program.
    local skip = { OpenURL = true }
    local functions = {}
    for name, f in pairs(g) do
      if type(f) == "function" and not skip[name] then functions[name] = f end
    end
    for name, f in pairs(require "map.c") do functions["map." .. name] = f end
    for name, f in pairs(require "webview.c") do functions["webview." .. name] = f end
    -- Native closures of each result kind; none is found, so each call only
    -- converts its arguments.
    for i, sample in ipairs({ 0, "", true, {} }) do
      functions["native" .. i] = g.procaddress(nil, "none", sample)
    end
    local names = {}
    for name in pairs(functions) do names[#names + 1] = name end
    table.sort(names)
    for _, name in ipairs(names) do
      g.SetMainloop(gameFrame)
      sweep(functions[name])
      -- SetMainloop with nothing clears the callback; the others keep it.
      check(name, name ~= "SetMainloop")
    end
  )lua");
  testing::internal::GetCapturedStdout();
  EXPECT_GT(std::stoi(Eval("calls")), 1000);
  EXPECT_EQ(Problems(), "");
}

TEST_F(ApiBadInput, EveryMethodSurvivesEveryKindOfArgument) {
  testing::internal::CaptureStdout();
  Run(R"lua(
    local displayObject = {
      "globalToLocal", "localToGlobal", "updateTransform", "dispatchEvent", "getInverseWorldMatrix",
      "getInverseParentMatrix", "removeFromParent", "getIndex", "setIndex", "addKeyTrack", "clearKeyTrack",
      "getTrackDuration", "getTrackTime", "setTrackTime", "getWidth", "getHeight", "isDescendantOf",
      "setActionById", "setActionByName", "alwaysFalse", "hitTestPoint" }
    local container = {
      "addChild", "addChildAt", "removeChild", "removeChildAt", "removeAllChildren", "getChildAt",
      "getChildByName", "getChildByTag", "getChildIndex", "setChildIndex", "swapChildren", "moveChildIndex",
      "anyChildContains" }
    local entity = { "broadcast" }
    local quad = { "setGradient" }
    local sprite = { "noop", "noopArgs" }
    local trail = { "addSample" }
    local textQuad = { "getSelectionStart", "getSelectionEnd", "getLineOf", "layout", "measure", "getCharIndexAt",
                       "setCallback" }
    local shape = { "setVertices", "getVertices" }
    local matrix = { "transformX", "transformY", "setTo", "identity", "invert", "translate", "rotate", "scale",
                     "concat", "createBox", "setBox" }
    local function all(...)
      local names = {}
      for _, list in ipairs({...}) do for _, name in ipairs(list) do names[#names + 1] = name end end
      return names
    end
    local receivers = {
      { "DisplayObject", g.DisplayObject, all(displayObject) },
      { "DisplayObjectContainer", g.DisplayObjectContainer, all(displayObject, container) },
      { "Entity", g.Entity, all(displayObject, container, entity) },
      { "Quad", g.Quad, all(displayObject, container, entity, quad) },
      { "TextQuad", g.TextQuad, all(displayObject, container, entity, quad, textQuad) },
      { "Sprite", g.Sprite, all(displayObject, container, sprite) },
      { "ParticleSystem", g.ParticleSystem, all(displayObject, container, entity) },
      { "Trail", g.Trail, all(displayObject, container, entity, trail) },
      { "Shape", g.Shape, all(displayObject, container, entity, shape) },
      { "Layout", g.Layout, all(displayObject, container, entity) },
      { "Matrix", g.Matrix, matrix },
      { "a held Entity", function() return heldOnStage end, all(displayObject, container, entity) },
      { "a held Quad", function() return heldFocused end, all(displayObject, container, entity, quad) },
      { "a held Matrix", function() return heldMatrix end, matrix },
    }
    for _, receiver in ipairs(receivers) do
      local class, make, methods = receiver[1], receiver[2], receiver[3]
      for _, method in ipairs(methods) do
        g.SetMainloop(gameFrame)
        local object = make()
        -- Fetched right before each call: that makes the object the method's.
        sweep(function(...) return object[method](...) end)
        check(class .. "." .. method, true)
      end
    end
  )lua");
  testing::internal::GetCapturedStdout();
  EXPECT_GT(std::stoi(Eval("calls")), 10000);
  EXPECT_EQ(Problems(), "");
}

TEST_F(ApiBadInput, EveryMemberOfTheEffectsTakesEveryKindOfValue) {
  ASSERT_EQ(luaL_dofile(L, QUARVELIN_TEST_DATA "/display/members.lua"), LUA_OK) << lua_tostring(L, -1);
  lua_setglobal(L, "members");
  testing::internal::CaptureStdout();
  Run(R"lua(
    for _, class in ipairs({ "Sprite", "ParticleSystem", "Trail" }) do
      g.SetMainloop(gameFrame)
      -- On the stage, so that the frames draw what the assignments left.
      local object = g[class]()
      object.width, object.height = 50, 50
      g.Stage().addChild(object)
      for _, name in ipairs(members.names(class)) do
        for i = 1, #values + 1 do
          pcall(function() object[name] = values[i] end)
          pcall(function() return object[name] end)
          calls = calls + 1
        end
        -- Keep it on the stage and drawing for the next member.
        object.visible, object.parent = true, nil
        if object.getIndex() < 0 then g.Stage().addChild(object) end
      end
      check(class .. " members", true)
      object.removeFromParent()
    end
  )lua");
  testing::internal::GetCapturedStdout();
  EXPECT_GT(std::stoi(Eval("calls")), 3000);
  EXPECT_EQ(Problems(), "");
}

}  // namespace
