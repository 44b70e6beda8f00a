#include "platform/SystemInput.h"

#include <SDL.h>

#include "platform/KeyMap.h"
#include "platform/Messages.h"

namespace GCore {
namespace {

bool g_buttonsSwapped = false;

bool VideoReady() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

constexpr uint32_t VK_LBUTTON = 0x01;
constexpr uint32_t VK_RBUTTON = 0x02;
constexpr uint32_t VK_MBUTTON = 0x04;

bool MouseButtonHeld(uint32_t virtualKey) {
  const uint32_t buttons = SDL_GetMouseState(nullptr, nullptr);
  // SDL reports buttons after the X server's swap; Windows asks for the
  // physical ones.
  const bool swapped = g_buttonsSwapped;
  switch (virtualKey) {
    case VK_LBUTTON: return buttons & SDL_BUTTON(swapped ? SDL_BUTTON_RIGHT : SDL_BUTTON_LEFT);
    case VK_RBUTTON: return buttons & SDL_BUTTON(swapped ? SDL_BUTTON_LEFT : SDL_BUTTON_RIGHT);
    default: return buttons & SDL_BUTTON(SDL_BUTTON_MIDDLE);
  }
}

bool KeyHeld(uint32_t virtualKey) {
  if (virtualKey == VK_LBUTTON || virtualKey == VK_RBUTTON || virtualKey == VK_MBUTTON) {
    return MouseButtonHeld(virtualKey);
  }
  int count = 0;
  const Uint8* keys = SDL_GetKeyboardState(&count);
  // The side-specific modifier codes VK_LSHIFT (0xA0) ... VK_RMENU (0xA5).
  static constexpr SDL_Scancode kSides[] = {SDL_SCANCODE_LSHIFT, SDL_SCANCODE_RSHIFT,
                                            SDL_SCANCODE_LCTRL,  SDL_SCANCODE_RCTRL,
                                            SDL_SCANCODE_LALT,   SDL_SCANCODE_RALT};
  if (virtualKey >= 0xA0 && virtualKey <= 0xA5) return keys[kSides[virtualKey - 0xA0]] != 0;
  SDL_Keysym keysym{};
  keysym.mod = static_cast<uint16_t>(SDL_GetModState());
  for (int scancode = 0; scancode < count; ++scancode) {
    if (!keys[scancode]) continue;
    keysym.scancode = static_cast<SDL_Scancode>(scancode);
    keysym.sym = SDL_GetKeyFromScancode(keysym.scancode);
    if (VirtualKeyFromSdl(keysym) == virtualKey) return true;
  }
  return false;
}

}  // namespace

bool MouseButtonsSwapped() { return g_buttonsSwapped; }

void SetMouseButtonsSwapped(bool swapped) { g_buttonsSwapped = swapped; }

void SetArrowCursor() {
  if (!VideoReady()) return;
  // SDL's default cursor is the system arrow.
  if (SDL_Cursor* arrow = SDL_GetDefaultCursor()) SDL_SetCursor(arrow);
}

int16_t GetKeyState(uint32_t virtualKey) {
  uint16_t state = KeyHeld(virtualKey) ? 0x8000 : 0;
  const SDL_Keymod mod = SDL_GetModState();
  if ((virtualKey == VK_CAPITAL && (mod & KMOD_CAPS)) ||
      (virtualKey == VK_NUMLOCK && (mod & KMOD_NUM)) ||
      (virtualKey == VK_SCROLL && (mod & KMOD_SCROLL))) {
    state |= 1;
  }
  return static_cast<int16_t>(state);
}

ClipboardStatus ReadClipboardText(std::string& text) {
  text.clear();
  if (!VideoReady()) return ClipboardStatus::Unavailable;
  if (!SDL_HasClipboardText()) return ClipboardStatus::NoText;
  char* utf8 = SDL_GetClipboardText();
  if (!utf8) return ClipboardStatus::NoText;
  text = utf8;
  SDL_free(utf8);
  return text.empty() ? ClipboardStatus::NoText : ClipboardStatus::Ok;
}

bool WriteClipboardText(const std::string& text) {
  return VideoReady() && SDL_SetClipboardText(text.c_str()) == 0;
}

void SetImeCompositionPosition(int x, int y) {
  if (!VideoReady()) return;
  SDL_Rect rect{x, y, 1, 1};
  SDL_SetTextInputRect(&rect);
}

}  // namespace GCore
