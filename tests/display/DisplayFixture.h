#pragma once
// A game object with one script project (and so one stage), a recording
// renderer and a resource manager, for tests of the display list. Time is
// driven by hand through the game object's game time and last step.
//
// Scripts see a global `log` (a table of lines) and `Recorder(tag)`, which
// makes a component whose every handler appends "tag:name" (with the event
// argument in brackets when it is a string) to `log`.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/Log.h"
#include "core/GameSettings.h"
#include "core/LuaManager.h"
#include "core/ScriptVM.h"
#include "core/TempRoot.h"
#include "display/ScriptCalls.h"
#include "display/Stage.h"
#include "game/GameIF.h"
#include "platform/MessageBox.h"
#include "render/Image.h"
#include "render/RecordingRenderer.h"
#include "render/ResourceManager.h"
#include "render/Texture.h"

// Records the render-state, scissor and stencil calls as well.
class StateRecorder : public RecordingRenderer {
 public:
  void UseShader(int32_t id) override { calls.push_back("shader " + std::to_string(id)); }
  void SetTintMode(bool on) override { calls.push_back(std::string("tint ") + (on ? "1" : "0")); }
  void SetTextureFilter(int8_t filter) override {
    calls.push_back("filter " + std::to_string(filter));
  }
  void PushScissor(int32_t x, int32_t y, int32_t w, int32_t h) override {
    calls.push_back("scissor " + std::to_string(x) + " " + std::to_string(y) + " " +
                    std::to_string(w) + " " + std::to_string(h));
  }
  void PopScissor() override { calls.push_back("unscissor"); }
  void BeginStencilMask(bool inverted, float reference) override {
    calls.push_back(std::string("mask ") + (inverted ? "inverted " : "") +
                    std::to_string(static_cast<int>(reference * 255.0f + 0.5f)));
  }
  void ApplyStencilMask() override { calls.push_back("apply"); }
  void EndStencilMask() override { calls.push_back("unmask"); }

  // The calls without the render-state ones.
  std::vector<std::string> Structural() const {
    std::vector<std::string> out;
    for (const std::string& call : calls) {
      if (call.rfind("shader", 0) && call.rfind("tint", 0) && call.rfind("filter", 0) &&
          call.rfind("blend", 0)) {
        out.push_back(call);
      }
    }
    return out;
  }
};

// A drawable stand-in: records "draw <name>" with the recording renderer and
// takes the bounds it is given when drawn. Scripts see no members of it.
class Probe : public GCore::DisplayObject {
 public:
  static const GCore::ClassInfo classInfo;
  using DisplayObject::DisplayObject;
  const GCore::ClassInfo* GetClassInfo() const override { return &classInfo; }
  void Draw() override {
    DisplayObject::Draw();
    if (auto* recorder = dynamic_cast<RecordingRenderer*>(GCore::g_renderer)) {
      recorder->calls.push_back("draw " + name);
    }
    if (drawnBounds.width > 0) bounds = drawnBounds;
  }
  GCore::Rectangle drawnBounds;
};
inline const GCore::ClassInfo Probe::classInfo = {"Probe", &GCore::DisplayObject::classInfo};

class DisplayFixture : public testing::Test {
 protected:
  void SetUp() override {
    GCore::g_settings = GCore::GameSettings{};
    GCore::g_errorBoxShown = false;
    GCore::SetMessageBoxHook([](const char*, const char*) { return GCore::kMessageBoxOk; });
    game = std::make_unique<GCore::GameIF>("p", root.Path());
    GCore::g_game = game.get();
    game->CreateScriptVM();
    manager = game->CreateLuaManager();
    manager->LoadProj("p");
    L = manager->GetProject(1)->state;
    stage = manager->GetProject(1)->stage;
    GCore::NewClassMetatable(L, &Probe::classInfo, [](lua_State*) { return 0; }, [](lua_State*) { return 0; });
    lua_pop(L, 1);
    Run(kRecorderScript);
  }

  void TearDown() override {
    kept.clear();
    manager->CloseAll();
    resources.reset();
    game.reset();
    GCore::g_game = nullptr;
    GCore::g_settings = GCore::GameSettings{};
    GCore::SetMessageBoxHook(nullptr);
    GCore::ReleaseScriptBuffer();
    GCore::LogClose();
  }

  // A new object of class T, held by the test; named as a script global
  // when a name is given.
  template <class T>
  T* Make(const char* global = nullptr, const char* objectName = nullptr) {
    T* object = GCore::NewDisplayObject<T>(L);
    kept.emplace_back(object);
    if (objectName) object->name = objectName;
    if (global) SetGlobal(global, object);
    return object;
  }

  // An image of project 1 with a texture of its own, of the given size.
  GCore::Image* AddImage(uint32_t id, int width, int height) {
    GCore::Image* image = resources->CreateImage(GCore::OwnerPair{1, id}, true);
    EXPECT_NE(image, nullptr);
    if (!image) return nullptr;
    auto texture = std::make_unique<GCore::Texture>(1, id);
    texture->width = width;
    texture->height = height;
    image->AdoptTexture(std::move(texture));
    image->width = static_cast<float>(width);
    image->height = static_cast<float>(height);
    image->UpdateTexCoords();
    return image;
  }

  // A new probe, held by the test.
  Probe* MakeProbe(const char* probeName, GCore::Rectangle drawn = {}) {
    Probe* probe = Make<Probe>(nullptr, probeName);
    probe->drawnBounds = drawn;
    return probe;
  }

  void SetGlobal(const char* global, GCore::DisplayObject* object) {
    ASSERT_TRUE(GCore::PushScriptObject(L, object));
    lua_setglobal(L, global);
  }

  void Run(const std::string& chunk) {
    if (luaL_dostring(L, chunk.c_str()) != LUA_OK) {
      ADD_FAILURE() << lua_tostring(L, -1);
    }
    lua_settop(L, 0);
  }

  std::string Eval(const std::string& expression) {
    if (luaL_dostring(L, ("return " + expression).c_str()) != LUA_OK) {
      const std::string error = lua_tostring(L, -1);
      lua_settop(L, 0);
      return "error: " + error;
    }
    const std::string text = luaL_tolstring(L, -1, nullptr);
    lua_settop(L, 0);
    return text;
  }

  // The lines the recorders wrote since the last call, joined by spaces.
  std::string TakeLog() {
    const std::string text = Eval("table.concat(log, ' ')");
    Run("log = {}");
    return text;
  }

  void Step(uint32_t ms) {
    game->lastStep = ms;
    game->gameTime += ms;
  }

  static constexpr const char* kRecorderScript = R"lua(
    log = {}
    local names = {"init", "start", "update", "close", "destroy", "onAdd", "onRemove",
                   "onFrameEnd", "boundUpdated", "hit", "ping", "collide"}
    function Recorder(tag)
      local class = {}
      class.__index = class
      for _, name in ipairs(names) do
        class[name] = function(self, target, arg)
          log[#log + 1] = tag .. ":" .. name .. (type(arg) == "string" and "(" .. arg .. ")" or "")
        end
      end
      return setmetatable({}, class)
    end
  )lua";

  TempRoot root;
  std::unique_ptr<GCore::GameIF> game;
  GCore::LuaManager* manager = nullptr;
  StateRecorder renderer;
  std::unique_ptr<GCore::ResourceManager> resources = std::make_unique<GCore::ResourceManager>();
  lua_State* L = nullptr;
  GCore::Stage* stage = nullptr;
  std::vector<GCore::Retained<GCore::DisplayObject>> kept;
};
