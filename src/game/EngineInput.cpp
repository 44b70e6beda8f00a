// The engine's input: the game object's mouse state, hit tests over the
// projects' stages and the events they send, and the game-speed keys.
#include <algorithm>
#include <climits>
#include <optional>
#include <string>
#include <string_view>

#include "base/Log.h"
#include "core/CodePage.h"
#include "core/LuaManager.h"
#include "display/DisplayObject.h"
#include "display/TextQuad.h"
#include "game/GameIF.h"
#include "game/Input.h"
#include "platform/Messages.h"
#include "platform/SystemInput.h"
#include "render/Renderer.h"

namespace GCore {
namespace {

constexpr uint32_t kFasterKey = 43;
constexpr uint32_t kSlowerKey = 45;
constexpr uint32_t kPauseKey = 48;
constexpr uint32_t kStepKey = 32;
constexpr int32_t kStepMs = 33;

LuaManager* Projects() { return g_game ? g_game->GetLuaManager() : nullptr; }

// The topmost hovered object that takes presses.
DisplayObject* PressTarget(const HitList& hovered) {
  for (auto it = hovered.rbegin(); it != hovered.rend(); ++it) {
    if ((*it)->visible && (*it)->mouseEnabled) return it->Get();
  }
  return nullptr;
}

bool IsHovered(const HitList& hovered, const DisplayObject* object) {
  return object && std::any_of(hovered.begin(), hovered.end(), [&](const auto& held) { return held.Get() == object; });
}

// The text object that takes editing, or null.
TextQuad* EditableText(DisplayObject* object) {
  auto* text = static_cast<TextQuad*>(CastToClass(&TextQuad::classInfo, object));
  return text && !text->readOnly ? text : nullptr;
}

void Press(LuaManager& projects, const char* event, bool left) {
  projects.HitTest();
  g_game->pressPosition = g_game->mousePosition;
  projects.pressed.Reset(PressTarget(projects.hovered));
  if (left) {
    // Any press ends the editing; a press on an editable text starts it there.
    projects.StartEditing(nullptr);
    if (TextQuad* text = EditableText(projects.pressed.Get())) projects.StartEditing(text);
  }
  if (projects.pressed) projects.SendEvent(projects.pressed.Get(), event);
  projects.pressTime = g_game->gameTime;
}

void Release(LuaManager& projects, const char* upEvent, const char* clickEvent, bool left) {
  projects.pressTime = 0;
  if (projects.hovered.empty()) return;
  const Retained<DisplayObject> top = projects.hovered.back();
  projects.SendEvent(top.Get(), upEvent);
  // No new hit test on release: the press target must still be under the pointer.
  if (!IsHovered(projects.hovered, projects.pressed.Get())) return;
  const Retained<DisplayObject> pressed = projects.pressed;
  if (TextQuad* text = left ? EditableText(pressed.Get()) : nullptr) projects.inputFocus.Reset(text);
  projects.SendEvent(pressed.Get(), clickEvent);
}

class Engine : public InputHandler {
 public:
  void OnMouseMove(float x, float y) override {
    if (Projects()) MoveToWindowPoint(x, y);
  }

  void OnMouseButton(int button, int up) override {
    LuaManager* projects = Projects();
    if (!projects || button == 1) return;
    if (button == 0) {
      g_game->leftButtonState = up;
      if (up) {
        Release(*projects, "mouseUp", "click", true);
      } else {
        Press(*projects, "mouseDown", true);
      }
    } else {
      g_game->rightButtonState = up;
      if (up) {
        Release(*projects, "rmouseUp", "rclick", false);
      } else {
        Press(*projects, "rmouseDown", false);
      }
    }
  }

  void OnMouseWheel(int direction) override {
    LuaManager* projects = Projects();
    if (!projects) return;
    projects->HitTest();
    if (projects->hovered.empty()) return;
    const Retained<DisplayObject> top = projects->hovered.back();
    projects->SendEvent(top.Get(), direction > 0 ? "mouseWheelUp" : "mouseWheelDown");
  }

  void OnKeyDown(uint32_t virtualKey) override {
    if (g_runState < 0) return;
    const uint8_t key = static_cast<uint8_t>(virtualKey & 0xFF);
    if (LuaManager* projects = Projects()) projects->OnKeyDown(key, false);
    // With Caps Lock toggled on, a few keys change the game speed.
    if (GetKeyState(VK_CAPITAL) == 1) ApplyGameSpeedKey(key);
  }

  void OnKeyUp(uint32_t virtualKey) override {
    if (g_runState < 0) return;
    if (LuaManager* projects = Projects()) projects->OnKeyUp(static_cast<uint8_t>(virtualKey & 0xFF), false);
  }

  // Typed text goes to the text object being edited; with none, it is
  // dropped. A byte of the upper half waits for the second byte of its
  // double-byte character.
  void OnChar(uint8_t byte) override {
    if (pendingLead_ == 0 && byte >= 0x80) {
      pendingLead_ = byte;
      return;
    }
    const char bytes[2] = {static_cast<char>(pendingLead_ ? pendingLead_ : byte), static_cast<char>(byte)};
    const bool pair = pendingLead_ != 0;
    pendingLead_ = 0;
    InsertAnsi(std::string_view(bytes, pair ? 2 : 1));
  }

  void OnImeChar(uint32_t character) override {
    if (g_runState < 0) return;
    LogPrintf("arrKey Down %d\n", static_cast<int>(character));
    const char bytes[2] = {static_cast<char>((character >> 8) & 0xFF), static_cast<char>(character & 0xFF)};
    InsertAnsi(std::string_view(bytes, 2));
  }

  void OnImeComposition() override { SetImeCompositionPosition(500, 500); }

 private:
  static void InsertAnsi(std::string_view ansi) {
    LuaManager* projects = Projects();
    if (!projects) return;
    if (const std::optional<std::string> text = AnsiToUtf8(ansi)) projects->OnTextInput(text->c_str());
  }

  uint8_t pendingLead_ = 0;
};

InputHandler* g_handler = nullptr;

}  // namespace

void ApplyGameSpeedKey(uint32_t key) {
  if (!g_game) return;
  int32_t& scale = g_game->timeScale;
  // Doubling saturates: a speed set by a script may already be near the limit.
  if (key == kFasterKey) scale = static_cast<int32_t>(std::clamp<int64_t>(int64_t{scale} * 2, INT32_MIN, INT32_MAX));
  if (key == kSlowerKey) scale /= 2;
  if (key == kPauseKey) scale = scale != 0 ? 0 : 1024;
  if (scale == 0 && key == kStepKey) scale = -kStepMs;
}

void MoveToWindowPoint(float x, float y) {
  Renderer* renderer = g_game ? Game()->GetRenderer() : nullptr;
  if (!renderer) return;
  MoveTo({(x - renderer->offsetX) / renderer->scaleX,
          ((renderer->windowHeight - y) - renderer->offsetY) / renderer->scaleY});
}

void MoveTo(const Point& stage) {
  if (!g_game) return;
  const Point old = g_game->mousePosition;
  g_game->mouseMovement = {old.x - stage.x, old.y - stage.y};
  g_game->dragMovement = {old.x - g_game->pressPosition.x, old.y - g_game->pressPosition.y};
  const Point& move = g_game->mouseMovement;
  if (move.x * move.x + move.y * move.y <= 0.01f) return;
  g_game->mousePosition = stage;
  if (LuaManager* projects = Projects()) projects->HitTest();
}

InputHandler& EngineInput() {
  static Engine engine;
  return engine;
}

InputHandler& CurrentInput() { return g_handler ? *g_handler : EngineInput(); }

void SetInputHandler(InputHandler* handler) { g_handler = handler; }

}  // namespace GCore
