// Input to script events: hover, presses, clicks, wheel and keys across the
// projects' stages.
#include "DisplayFixture.h"
#include "game/Input.h"
#include "display/Entity.h"

namespace {

using GCore::Entity;
using GCore::EngineInput;

class InputTest : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    Run(kInputRecorder);
  }

  // A pointer-enabled entity on the given stage covering the rectangle.
  Entity* Button(GCore::Stage* on, const char* global, GCore::Rectangle at) {
    Entity* button = Make<Entity>(global);
    button->mouseEnabled = true;
    button->bounds = at;
    on->AddChild(button, 0);
    Run(std::string(global) + ".c_r = InputRecorder('" + global + "')");
    return button;
  }

  void MoveTo(float x, float y) { GCore::MoveTo(GCore::Point{x, y}); }
  void Left(int up) { EngineInput().OnMouseButton(0, up); }

  static constexpr const char* kInputRecorder = R"lua(
    local names = {"mouseDown", "mouseUp", "click", "rmouseDown", "rmouseUp", "rclick", "mouseWheelUp",
                   "mouseWheelDown", "mouseOver", "rollOver", "rollOut", "mouseMove", "keyDown", "keyUp"}
    function InputRecorder(tag)
      local component = {}
      for _, name in ipairs(names) do
        component[name] = function(self, target, arg)
          log[#log + 1] = tag .. ":" .. name .. (type(arg) == "string" and "(" .. arg .. ")" or "")
        end
      end
      return component
    end
  )lua";
};

TEST_F(InputTest, HoverFollowsThePointerTopmostFirst) {
  Button(stage, "low", {0, 0, 100, 100});
  Button(stage, "high", {50, 0, 100, 100});
  TakeLog();
  MoveTo(75, 50);
  EXPECT_EQ(TakeLog(), "high:rollOver high:mouseOver high:mouseMove");
  MoveTo(25, 50);
  EXPECT_EQ(TakeLog(), "high:rollOut low:rollOver low:mouseOver low:mouseMove");
  MoveTo(25.05f, 50);
  EXPECT_EQ(TakeLog(), "") << "moves of 0.1 or less change nothing";
  EXPECT_EQ(game->mousePosition.x, 25.0f);
  EXPECT_NEAR(game->mouseMovement.x, -0.05f, 1e-4) << "the movement still records it";
  MoveTo(500, 500);
  EXPECT_EQ(TakeLog(), "low:rollOut");
}

TEST_F(InputTest, ClickNeedsPressAndReleaseOnTheSameObject) {
  Button(stage, "a", {0, 0, 100, 100});
  Button(stage, "b", {200, 0, 100, 100});
  MoveTo(50, 50);
  TakeLog();
  Left(0);
  Left(1);
  EXPECT_EQ(TakeLog(), "a:mouseMove a:mouseDown a:mouseUp a:click");
  EXPECT_EQ(game->leftButtonState, 1);

  Left(0);
  MoveTo(250, 50);
  TakeLog();
  Left(1);
  EXPECT_EQ(TakeLog(), "b:mouseUp") << "the object under the pointer hears the release, no click";

  EngineInput().OnMouseButton(2, 0);
  EngineInput().OnMouseButton(2, 1);
  EXPECT_EQ(TakeLog(), "b:mouseMove b:rmouseDown b:rmouseUp b:rclick");
  EngineInput().OnMouseButton(1, 0);
  EXPECT_EQ(TakeLog(), "") << "the middle button is ignored";
}

TEST_F(InputTest, PressesAreTakenOnlyByVisiblePointerObjects) {
  Entity* a = Button(stage, "a", {0, 0, 100, 100});
  a->mouseEnabled = false;
  game->GetLuaManager()->focus.Reset(a);  // hovered whatever its flags
  MoveTo(50, 50);
  TakeLog();
  game->gameTime = 500;
  Left(0);
  EXPECT_EQ(TakeLog(), "a:mouseMove") << "no mouseDown for an object that takes no presses";
  EXPECT_EQ(game->GetLuaManager()->pressTime, 500u);
  Left(1);
  EXPECT_EQ(TakeLog(), "a:mouseUp") << "the release reaches the topmost object, but there is no click";
  EXPECT_EQ(game->GetLuaManager()->pressTime, 0u);
}

TEST_F(InputTest, WheelGoesToTheTopmostHoveredObject) {
  Button(stage, "a", {0, 0, 100, 100});
  MoveTo(50, 50);
  TakeLog();
  EngineInput().OnMouseWheel(1);
  EngineInput().OnMouseWheel(-1);
  EXPECT_EQ(TakeLog(), "a:mouseMove a:mouseWheelUp a:mouseMove a:mouseWheelDown");
}

TEST_F(InputTest, FocusedObjectIsHoveredWherever) {
  Entity* a = Button(stage, "a", {0, 0, 100, 100});
  Button(stage, "b", {200, 0, 100, 100});
  MoveTo(250, 50);
  game->GetLuaManager()->focus.Reset(a);
  TakeLog();
  MoveTo(260, 50);
  EXPECT_EQ(TakeLog(), "b:rollOut a:rollOver a:mouseOver a:mouseMove");
  MoveTo(270, 50);
  EXPECT_EQ(TakeLog(), "a:mouseMove") << "b leaves only once";
}

TEST_F(InputTest, OnlyTheLastProjectWithAHitIsHovered) {
  Button(stage, "first", {0, 0, 100, 100});
  manager->LoadProj("q");
  GCore::Stage* second = manager->GetProject(2)->stage;
  lua_State* firstState = L;
  L = manager->GetProject(2)->state;
  Run(kRecorderScript);
  Run(kInputRecorder);
  Button(second, "second", {0, 0, 100, 100});
  L = firstState;
  MoveTo(50, 50);
  EXPECT_EQ(TakeLog(), "") << "the first project's object is not hovered";
  L = manager->GetProject(2)->state;
  EXPECT_EQ(TakeLog(), "second:rollOver second:mouseOver second:mouseMove");
  EXPECT_EQ(manager->CurrentIndex(), 1);
  kept.clear();
}

TEST_F(InputTest, KeysGoToEveryTopEntityWithTheKeyByte) {
  Entity* a = Button(stage, "a", {0, 0, 10, 10});
  Button(stage, "b", {0, 0, 10, 10});
  Entity* inner = Make<Entity>("inner");
  a->AddChild(inner, 0);
  Run("inner.c_r = InputRecorder('inner')");
  TakeLog();
  EngineInput().OnKeyDown(0x141);
  EngineInput().OnKeyDown('A');
  EngineInput().OnKeyUp('A');
  EXPECT_EQ(TakeLog(), "a:keyDown(A) b:keyDown(A) a:keyDown(A) b:keyDown(A) a:keyUp(A) b:keyUp(A)")
      << "the low byte of the code; children of entities are not told";
  GCore::g_runState = GCore::kRunClosing;
  EngineInput().OnKeyDown('A');
  GCore::g_runState = GCore::kRunRunning;
  EXPECT_EQ(TakeLog(), "") << "no keys while closing";
}

}  // namespace
