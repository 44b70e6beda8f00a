#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/GameIF.h"
#include "game/Input.h"
#include "game/WindowProc.h"
#include "platform/MessagePump.h"
#include "platform/Messages.h"
#include "platform/SystemInput.h"

namespace {

using namespace GCore;

class Recorder : public InputHandler {
 public:
  void OnMouseMove(float x, float y) override { Add("move " + std::to_string(int(x)) + "," + std::to_string(int(y))); }
  void OnMouseButton(int button, int up) override { Add("button " + std::to_string(button) + (up ? " up" : " down")); }
  void OnMouseWheel(int direction) override { Add(direction > 0 ? "wheel up" : "wheel down"); }
  void OnKeyDown(uint32_t key) override { Add("keydown " + std::to_string(key)); }
  void OnKeyUp(uint32_t key) override { Add("keyup " + std::to_string(key)); }
  void OnChar(uint8_t byte) override { Add("char " + std::to_string(byte)); }
  void OnImeChar(uint32_t character) override { Add("ime " + std::to_string(character)); }
  void OnImeComposition() override { Add("composition"); }

  std::vector<std::string> Take() { return std::exchange(calls_, {}); }

 private:
  void Add(std::string call) { calls_.push_back(std::move(call)); }
  std::vector<std::string> calls_;
};

class GameProbe : public GameIF {
 public:
  GameProbe() : GameIF("loader", "/nonexistent-root") {}
  void Resize(int width, int height) override { resizes.push_back({width, height}); }
  std::vector<std::pair<int, int>> resizes;
};

class WindowProcedure : public ::testing::Test {
 protected:
  void SetUp() override {
    SetInputHandler(&recorder);
    g_runState = kRunRunning;
    g_wheelAccumulator = 0;
    g_windowWidth = 800;
    g_windowHeight = 600;
    g_game = &game;
  }
  void TearDown() override {
    SetInputHandler(nullptr);
    SetMouseButtonsSwapped(false);
    g_game = nullptr;
    g_runState = kRunRunning;
  }
  static intptr_t Wheel(int delta) {
    return WndProc(WM_MOUSEWHEEL, static_cast<uintptr_t>(MakeLParam(0, delta)), 0);
  }

  Recorder recorder;
  GameProbe game;
};

TEST_F(WindowProcedure, SizeZeroIsIgnoredOthersResize) {
  WndProc(WM_SIZE, SIZE_MINIMIZED, MakeLParam(0, 0));
  EXPECT_TRUE(game.resizes.empty());
  EXPECT_EQ(g_windowWidth, 800);
  WndProc(WM_SIZE, SIZE_RESTORED, MakeLParam(1024, 768));
  ASSERT_EQ(game.resizes.size(), 1u);
  EXPECT_EQ(game.resizes[0], std::make_pair(1024, 768));
  EXPECT_EQ(g_windowWidth, 1024);
  EXPECT_EQ(g_windowHeight, 768);
  g_runState = kRunClosing;
  WndProc(WM_SIZE, SIZE_RESTORED, MakeLParam(640, 480));
  EXPECT_EQ(game.resizes.size(), 1u) << "no resize while closing";
}

TEST_F(WindowProcedure, WheelStepsFireWhileMoreThanOneNotchIsAccumulated) {
  const struct {
    int delta;
    std::vector<std::string> calls;
    int accumulator;
  } steps[] = {
      {120, {}, 120},
      {120, {"wheel up"}, 120},
      {-120, {}, 0},
      {-120, {}, -120},
      {-360, {"wheel down", "wheel down", "wheel down"}, -120},
      {480, {"wheel up", "wheel up"}, 120},
      // A reversal that overshoots steps the new way and ends.
      {-360, {"wheel down"}, -120},
  };
  for (const auto& step : steps) {
    Wheel(step.delta);
    EXPECT_EQ(recorder.Take(), step.calls) << "delta " << step.delta;
    EXPECT_EQ(g_wheelAccumulator, step.accumulator) << "delta " << step.delta;
  }
}

TEST_F(WindowProcedure, SwappedButtonsTradeLeftAndRight) {
  WndProc(WM_RBUTTONDOWN, 0, 0);
  WndProc(WM_MBUTTONUP, 0, 0);
  SetMouseButtonsSwapped(true);
  WndProc(WM_RBUTTONDOWN, 0, 0);
  WndProc(WM_LBUTTONUP, 0, 0);
  WndProc(WM_MBUTTONDOWN, 0, 0);
  EXPECT_EQ(recorder.Take(), (std::vector<std::string>{"button 2 down", "button 1 up", "button 0 down",
                                                       "button 2 up", "button 1 down"}));
}

TEST_F(WindowProcedure, KeysCharactersAndPointer) {
  WndProc(WM_KEYDOWN, 'A', 0);
  WndProc(WM_SYSKEYUP, VK_MENU, 0);
  WndProc(WM_CHAR, 0x161, 0);
  WndProc(WM_IME_CHAR, 0xB0A1, 0);
  WndProc(WM_IME_CHAR, 0x41, 0);
  WndProc(WM_MOUSEMOVE, 0, MakeLParam(-5, 300));
  EXPECT_EQ(recorder.Take(), (std::vector<std::string>{"keydown 65", "keyup 18", "char 97", "ime 45217",
                                                       "char 65", "move -5,300"}));
}

TEST_F(WindowProcedure, CloseEndsTheLoop) {
  int paints = 0;
  static int* paintCount;
  paintCount = &paints;
  PostMessage(WM_CLOSE, 0, 0);
  RunMessageLoop([](uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
    if (message == WM_PAINT) {
      ++*paintCount;
      return 1;
    }
    return WndProc(message, wParam, lParam);
  });
  EXPECT_EQ(g_runState, kRunClosing);
  EXPECT_EQ(paints, 0) << "the quit message follows the close before any paint";
}

TEST_F(WindowProcedure, PointerInputIsDroppedWhileClosing) {
  g_runState = kRunClosing;
  WndProc(WM_MOUSEMOVE, 0, MakeLParam(1, 1));
  WndProc(WM_LBUTTONDOWN, 0, 0);
  Wheel(240);
  EXPECT_TRUE(recorder.Take().empty());
}

}  // namespace
