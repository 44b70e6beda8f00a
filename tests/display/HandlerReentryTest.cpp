// Handlers that change the tree while the engine is changing it: the "start"
// and "onRemove" handlers of an insertion may move the child, or the
// receiving container, anywhere.
#include "DisplayFixture.h"
#include "game/Input.h"
#include "display/DisplayObjectContainer.h"
#include "display/Entity.h"

namespace {

using GCore::DisplayObject;
using GCore::DisplayObjectContainer;
using GCore::Entity;

class HandlerReentry : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    SetGlobal("stage", stage);
  }

  // The parent lists the object, and none of the given containers lists it
  // unless it is the parent.
  static void ExpectLinked(const DisplayObject* object,
                           std::initializer_list<const DisplayObjectContainer*> containers) {
    if (object->parent) {
      EXPECT_GE(object->parent->GetChildIndex(object), 0) << object->name;
    }
    for (const DisplayObjectContainer* container : containers) {
      if (container != object->parent) {
        EXPECT_LT(container->GetChildIndex(object), 0) << container->name << " lists " << object->name;
      }
    }
  }

  // False when walking up from the object meets it again.
  static bool Acyclic(const DisplayObject* object) {
    int steps = 0;
    for (const DisplayObject* up = object->parent; up; up = up->parent) {
      if (up == object || ++steps > 100) return false;
    }
    return true;
  }
};

TEST_F(HandlerReentry, HandlersOfAnInsertionMayMoveTheChildOrTheContainer) {
  // Each case: the handler is put on the moving child x, which starts under
  // `home` and is then added to `box`; both sit on the stage.
  const struct {
    const char* handler;
    const char* body;
  } cases[] = {
      {"onRemove", "x.addChild(box)"},   // the container goes under the child
      {"start", "x.addChild(box)"},
      {"start", "box.removeChild(x)"},  // the child leaves again at once
      {"start", "home.addChild(x)"},    // the child goes elsewhere
      {"onRemove", "home.addChild(x)"},  // the child comes back
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.handler) + ": " + c.body);
    auto* home = Make<Entity>("home", "home");
    auto* box = Make<DisplayObjectContainer>("box", "box");
    auto* x = Make<Entity>("x", "x");
    stage->AddChild(home, 0);
    stage->AddChild(box, 0);
    home->AddChild(x, 0);
    Run(std::string("x.c_m = setmetatable({}, { ") + c.handler +
        " = function() if not moved then moved = true; " + c.body + " end end })");
    Run("moved = false");
    testing::internal::CaptureStdout();
    box->AddChild(x, 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(Eval("moved"), "true");
    const bool acyclic = Acyclic(x) && Acyclic(box);
    EXPECT_TRUE(acyclic);
    ExpectLinked(x, {home, box});
    ExpectLinked(box, {x, stage});
    // Leave no loop behind for the teardown.
    if (!acyclic) x->children.clear(), box->children.clear(), x->parent = box->parent = nullptr;
    stage->RemoveAllChildren();
    x->RemoveAllChildren();
    Run("x.c_m = nil");
  }
}

TEST_F(HandlerReentry, AContainerNobodyHoldsSurvivesTheHandlersOfItsOwnCall) {
  // x's "onRemove" drops the last script reference to `box` (taking it off
  // the stage first when it is there) and collects; box's own call goes on.
  const struct {
    const char* call;
    bool boxOnStage;
  } cases[] = {
      {"box.addChild(x)", false},
      {"box.addChildAt(x, 0)", false},
      {"box.removeChild(x)", true},
      {"box.removeChildAt(0)", true},
      {"box.removeAllChildren()", true},
      {"box.setChildIndex(x, 1)", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    auto* home = Make<Entity>("home", "home");
    auto* x = Make<Entity>("x", "x");
    stage->AddChild(home, 0);
    auto* box = GCore::NewDisplayObject<DisplayObjectContainer>(L);
    SetGlobal("box", box);
    if (c.boxOnStage) {
      stage->AddChild(box, 0);
      box->AddChild(x, 0);
      box->AddChild(Make<DisplayObject>(nullptr, "other"), 0);
    } else {
      home->AddChild(x, 0);
    }
    Run("x.c_m = setmetatable({}, { onRemove = function()\n"
        "  if box then\n"
        "    local b = box; box = nil\n"
        "    if b.parent then b.parent.removeChild(b) end\n"
        "    b = nil; collectgarbage(); collectgarbage()\n"
        "  end\n"
        "end })");
    Run(std::string("local f = ") + c.call + "");
    EXPECT_EQ(Eval("box"), "nil");
    lua_gc(L, LUA_GCCOLLECT, 0);
    x->RemoveAllChildren();
    if (x->parent) x->parent->RemoveChild(x);
    stage->RemoveAllChildren();
    Run("x.c_m = nil");
  }
}

TEST_F(HandlerReentry, InputRunByAScriptKeepsTheScriptsProjectCurrent) {
  manager->LoadProj("q");
  L = manager->GetProject(2)->state;
  Run(kRecorderScript);
  auto* button = Make<Entity>("button");
  button->mouseEnabled = true;
  button->bounds = GCore::Rectangle{0, 0, 100, 100};
  manager->GetProject(2)->stage->AddChild(button, 0);
  game->mousePosition = GCore::Point{50, 50};
  manager->HitTest();
  // Each call sends events to the hovered button, of project 2.
  for (const char* call : {"g.IsHovered(button)", "g.SetMouseState(50, 50, 1)"}) {
    SCOPED_TRACE(call);
    Run(std::string("local g = require 'gcore.c'\n"
                    "button.c_u = { update = function() ") +
        call + "; during = g.CurLuaProj() end }");
    Run("during = nil");
    game->leftButtonState = 0;  // so that the script's release is one
    Step(16);
    manager->Update(game->gameTime);
    EXPECT_EQ(Eval("during"), "2");
  }
  kept.clear();
  L = manager->GetProject(1)->state;
}

TEST_F(HandlerReentry, AHitTestInsideAHoverHandlerSendsNoSecondRollOver) {
  for (const char* name : {"a", "b"}) {
    auto* button = Make<Entity>(name, name);
    button->mouseEnabled = true;
    button->bounds = GCore::Rectangle{name[0] == 'a' ? 0.0f : 200.0f, 0, 100, 100};
    stage->AddChild(button, 0);
  }
  Run("local g = require 'gcore.c'\n"
      "local function note(tag, name, check)\n"
      "  return function() log[#log + 1] = tag .. ':' .. name; if check then g.IsHovered(a) end end\n"
      "end\n"
      "for _, tag in ipairs({'a', 'b'}) do\n"
      "  local c = {}\n"
      "  for _, name in ipairs({'rollOver', 'mouseOver', 'rollOut'}) do\n"
      "    c[name] = note(tag, name, name == 'rollOut')\n"
      "  end\n"
      "  _G[tag].c_n = c\n"
      "end");
  GCore::MoveTo(GCore::Point{50, 50});
  TakeLog();
  GCore::MoveTo(GCore::Point{250, 50});
  EXPECT_EQ(TakeLog(), "a:rollOut b:rollOver b:mouseOver")
      << "the pointer entered b once, whoever asks for a hit test meanwhile";
  EXPECT_EQ(manager->hovered.size(), 1u);
}

TEST_F(HandlerReentry, AnObjectWhoseTrackAnimatesItselfIsStillCollected) {
  Run("g = require 'gcore.c'");
  lua_gc(L, LUA_GCCOLLECT, 0);
  const int64_t before = GCore::g_liveObjects;
  Run("do\n"
      "  local q = g.Entity()\n"
      "  q.addKeyTrack({q, 'x'}, 2, {0, 0, 0, 100, 10, 0})\n"
      "  local holder = {entity = g.Entity()}\n"
      "  holder.entity.addKeyTrack({holder, 'x'}, 2, {0, 0, 0, 100, 10, 0})\n"
      "end");
  lua_gc(L, LUA_GCCOLLECT, 0);
  lua_gc(L, LUA_GCCOLLECT, 0);
  EXPECT_EQ(GCore::g_liveObjects, before) << "a track's target must not pin its own object";
}

TEST_F(HandlerReentry, AnEntityItsOnRemovePutsBackOnTheStageIsNotClosed) {
  auto* back = Make<Entity>("back", "back");
  stage->AddChild(back, 0);
  Run("back.c_r = Recorder('back')\n"
      "getmetatable(back.c_r).onRemove = function() log[#log + 1] = 'back:onRemove'; stage.addChild(back) end");
  TakeLog();
  stage->RemoveChild(back);
  EXPECT_EQ(back->parent, stage);
  EXPECT_EQ(TakeLog().find("back:close"), std::string::npos) << "it never left";
}

}  // namespace
