// The finaliser of engine classes called by a script: it acts only on the
// engine's own userdata, and an object that the engine still holds (a child
// list, the focus, the hover and press lists) is not destroyed under them.
// Run under the sanitizers: a wrong answer here is a use after free.
#include "DisplayFixture.h"
#include "game/Input.h"
#include "display/Entity.h"

namespace {

using GCore::Entity;

class Finaliser : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    Run("g = require 'gcore.c'");
    SetGlobal("stage", stage);
  }

  // A pointer-enabled entity on the stage under the point (50, 50): hovered
  // and pressed by UseEverything.
  Entity* Target(const char* global) {
    Entity* target = Make<Entity>(global);
    target->mouseEnabled = true;
    target->bounds = {0, 0, 100, 100};
    stage->AddChild(target, 0);
    return target;
  }

  // A frame's worth of use of everything the engine holds.
  void UseEverything() {
    GCore::MoveTo(GCore::Point{50, 50});
    GCore::EngineInput().OnMouseButton(0, 0);
    GCore::EngineInput().OnMouseButton(0, 1);
    GCore::MoveTo(GCore::Point{500, 500});
    GCore::MoveTo(GCore::Point{50, 50});
    game->lastStep = 20;
    stage->Update();
    stage->Draw();
  }
};

TEST_F(Finaliser, OtherLibrariesUserdataIsLeftAlone) {
  for (const char* cls : {"Matrix", "DisplayObject", "Entity", "Quad"}) {
    SCOPED_TRACE(cls);
    Run(std::string("getmetatable(g.") + cls + "()).__gc(io.stdout)");
    EXPECT_EQ(Eval("io.type(io.stdout)"), "file");
    EXPECT_EQ(Eval("io.stdout:write('') == io.stdout"), "true");
  }
  Run("getmetatable(g.Matrix()).__gc(nil); getmetatable(g.Matrix()).__gc({})");
}

TEST_F(Finaliser, ObjectsTheEngineHoldsAreNotDestroyedUnderIt) {
  const struct {
    const char* what;
    const char* setup;
  } cases[] = {
      {"child of the stage, hovered and pressed", ""},
      {"focus", "g.SetFocus(t)"},
      {"child of a child", "local box = g.Entity(); stage.addChild(box); box.addChild(t)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Target("t");
    Run(c.setup);
    UseEverything();
    const int64_t live = GCore::g_liveObjects;
    Run("getmetatable(t).__gc(t)");
    EXPECT_EQ(GCore::g_liveObjects, live) << "a held object survives its finaliser";
    UseEverything();
    EXPECT_EQ(Eval("t.numChildren"), "0") << "and stays usable";
    Run("g.SetFocus(nil); t.removeFromParent(); t = nil");
    stage->RemoveAllChildren();
    kept.clear();
    for (GCore::HitList* list : {&manager->hovered, &manager->hits, &manager->newcomers}) list->clear();
    manager->pressed.Reset();
    Run("collectgarbage(); collectgarbage()");
    EXPECT_LT(GCore::g_liveObjects, live) << "once let go, the collector takes it";
  }
}

TEST_F(Finaliser, AnObjectNobodyHoldsReadsAsDestroyed) {
  Run("t = g.Entity(); getmetatable(t).__gc(t)");
  EXPECT_EQ(Eval("t.numChildren"), "nil");
  testing::internal::CaptureStdout();
  Run("stage.addChild(t); g.SetFocus(t)");
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(stage->NumChildren(), 0);
  EXPECT_FALSE(manager->focus);
  UseEverything();
}

TEST_F(Finaliser, HeldObjectsAreDestroyedWhenTheirStateCloses) {
  // The stage holds the child until the state closes; whichever of the two
  // the collector finalises first, each is destroyed exactly once.
  Run("local box = g.Entity(); stage.addChild(box); box.addChild(g.Entity()); box.addChild(g.Quad())");
  const int64_t before = GCore::g_liveObjects;
  EXPECT_GE(before, 4);
  kept.clear();
  manager->CloseAll();
  EXPECT_EQ(GCore::g_liveObjects, 0);
}

TEST_F(Finaliser, ObjectsTheEngineIsCallingIntoAreNotDestroyed) {
  // Each script tries to destroy the object whose call is running it: the
  // engine holds the object for the call, so the object stays whole.
  const struct {
    const char* what;
    const char* script;
  } cases[] = {
      {"component init", "o = g.Entity(); o.c_x = { init = function() getmetatable(o).__gc(o) end }"},
      {"broadcast", "o = g.Entity(); o.c_y = setmetatable({}, { hit = function() getmetatable(o).__gc(o) end })\n"
                    "o.broadcast('hit')"},
      {"event", "o = g.Entity(); o.c_z = setmetatable({}, { ping = function() getmetatable(o).__gc(o) end })\n"
                "o.dispatchEvent('ping')"},
      {"key track target", "o = g.Entity()\n"
                           "local target = setmetatable({}, { __newindex = function() getmetatable(o).__gc(o) end })\n"
                           "o.addKeyTrack({target, 'x'}, 2, {0, 0, 0, 100, 1, 0})\n"
                           "stage.addChild(o)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int64_t live = GCore::g_liveObjects;
    Run(c.script);
    game->lastStep = 50;
    stage->Update();
    EXPECT_GT(GCore::g_liveObjects, live);
    EXPECT_NE(Eval("o.numChildren"), "nil") << "still whole after the call";
    Run("if o.parent then o.removeFromParent() end; o = nil; collectgarbage(); collectgarbage()");
    EXPECT_EQ(GCore::g_liveObjects, live) << "and collected once let go";
  }
}

}  // namespace
