#include "core/GameIF.h"
#include "core/Input.h"
#include "core/Log.h"
#include "platform/Messages.h"
#include "platform/SystemInput.h"

namespace GCore {
namespace {

constexpr uint32_t kFasterKey = 43;
constexpr uint32_t kSlowerKey = 45;
constexpr uint32_t kPauseKey = 48;
constexpr uint32_t kStepKey = 32;
constexpr int32_t kStepMs = 33;

// With Caps Lock toggled on, a few keys change the game speed.
void GameSpeedKeys(uint32_t key) {
  if (!g_game || GetKeyState(VK_CAPITAL) != 1) return;
  int32_t& scale = g_game->timeScale;
  if (key == kFasterKey) scale *= 2;
  if (key == kSlowerKey) scale /= 2;
  if (key == kPauseKey) scale = scale != 0 ? 0 : 1024;
  if (scale == 0 && key == kStepKey) scale = -kStepMs;
}

class Engine : public InputHandler {
 public:
  void OnMouseMove(float, float) override {}
  void OnMouseButton(int button, int up) override {
    if (!g_game) return;
    if (button == 0) g_game->leftButtonState = up;
    if (button == 2) g_game->rightButtonState = up;
  }
  void OnMouseWheel(int) override {}
  void OnKeyDown(uint32_t virtualKey) override {
    if (g_runState < 0) return;
    GameSpeedKeys(virtualKey & 0xFF);
  }
  void OnKeyUp(uint32_t) override {}
  void OnChar(uint8_t) override {}
  void OnImeChar(uint32_t character) override {
    if (g_runState < 0) return;
    LogPrintf("arrKey Down %d\n", static_cast<int>(character));
  }
  void OnImeComposition() override { SetImeCompositionPosition(500, 500); }
};

InputHandler* g_handler = nullptr;

}  // namespace

InputHandler& EngineInput() {
  static Engine engine;
  return engine;
}

InputHandler& CurrentInput() { return g_handler ? *g_handler : EngineInput(); }

void SetInputHandler(InputHandler* handler) { g_handler = handler; }

}  // namespace GCore
