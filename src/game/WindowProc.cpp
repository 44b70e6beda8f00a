#include "game/WindowProc.h"

#include "game/FrameStep.h"
#include "game/GameIF.h"
#include "game/Input.h"
#include "net/WebViewManager.h"
#include "platform/MessagePump.h"
#include "platform/Messages.h"
#include "platform/SystemInput.h"

namespace GCore {

int g_windowWidth = 0;
int g_windowHeight = 0;
int32_t g_wheelAccumulator = 0;

namespace {

void OnSize(intptr_t lParam) {
  const int width = LowWord(static_cast<uintptr_t>(lParam));
  const int height = HighWord(static_cast<uintptr_t>(lParam));
  if (g_runState >= 0 && width > 1) {
    g_windowWidth = width;
    g_windowHeight = height;
    if (g_game) g_game->Resize(width, height);
  }
  // The views follow every size, a minimised window's included.
  WebViewManager::GetInstance().Resize(width, height);
}

void OnButton(int button, int up) {
  if (MouseButtonsSwapped() && button != 1) button = 2 - button;
  if (g_runState >= 0) CurrentInput().OnMouseButton(button, up);
}

void OnWheel(uintptr_t wParam) {
  g_wheelAccumulator += SignedHighWord(wParam);
  const int direction = g_wheelAccumulator > 0 ? 1 : -1;
  while (g_wheelAccumulator > WHEEL_DELTA || g_wheelAccumulator < -WHEEL_DELTA) {
    if (g_runState >= 0) CurrentInput().OnMouseWheel(direction);
    g_wheelAccumulator -= direction * WHEEL_DELTA;
  }
}

}  // namespace

intptr_t WndProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case WM_CREATE:
    case WM_DESTROY:
      return 1;
    case WM_SIZE:
      OnSize(lParam);
      return 1;
    case WM_PAINT:
      WebViewManager::GetInstance().Pump();
      StepFrame();
      return 1;
    case WM_CLOSE:
      WebViewManager::GetInstance().RemoveAll();
      g_runState = kRunClosing;
      PostQuitMessage(0);
      return 1;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      CurrentInput().OnKeyDown(static_cast<uint32_t>(wParam));
      return 1;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      CurrentInput().OnKeyUp(static_cast<uint32_t>(wParam));
      return 1;
    case WM_CHAR:
    case WM_SYSCHAR:
      CurrentInput().OnChar(static_cast<uint8_t>(wParam & 0xFF));
      return 1;
    case WM_IME_CHAR:
      if (wParam >= 0x100) {
        CurrentInput().OnImeChar(static_cast<uint32_t>(wParam));
      } else {
        CurrentInput().OnChar(static_cast<uint8_t>(wParam));
      }
      return 1;
    case WM_IME_COMPOSITION:
      CurrentInput().OnImeComposition();
      return 0;
    case WM_MOUSEMOVE:
      if (g_runState >= 0) {
        CurrentInput().OnMouseMove(static_cast<float>(SignedLowWord(static_cast<uintptr_t>(lParam))),
                                   static_cast<float>(SignedHighWord(static_cast<uintptr_t>(lParam))));
        SetArrowCursor();
      }
      return 1;
    case WM_LBUTTONDOWN: OnButton(0, 0); return 1;
    case WM_LBUTTONUP: OnButton(0, 1); return 1;
    case WM_MBUTTONDOWN: OnButton(1, 0); return 1;
    case WM_MBUTTONUP: OnButton(1, 1); return 1;
    case WM_RBUTTONDOWN: OnButton(2, 0); return 1;
    case WM_RBUTTONUP: OnButton(2, 1); return 1;
    case WM_MOUSEWHEEL:
      OnWheel(wParam);
      return 1;
    default:
      return 0;
  }
}

}  // namespace GCore
