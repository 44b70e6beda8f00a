#include "platform/KeyMap.h"

#include "platform/Messages.h"

namespace GCore {
namespace {

uint32_t PunctuationKey(SDL_Keycode key) {
  switch (key) {
    case SDLK_SEMICOLON: return VK_OEM_1;
    case SDLK_EQUALS: return VK_OEM_PLUS;
    case SDLK_COMMA: return VK_OEM_COMMA;
    case SDLK_MINUS: return VK_OEM_MINUS;
    case SDLK_PERIOD: return VK_OEM_PERIOD;
    case SDLK_SLASH: return VK_OEM_2;
    case SDLK_BACKQUOTE: return VK_OEM_3;
    case SDLK_LEFTBRACKET: return VK_OEM_4;
    case SDLK_BACKSLASH: return VK_OEM_5;
    case SDLK_RIGHTBRACKET: return VK_OEM_6;
    case SDLK_QUOTE: return VK_OEM_7;
    default: return 0;
  }
}

// Keypad keys whose meaning depends on Num Lock.
uint32_t KeypadKey(SDL_Keycode key, bool numLock) {
  static constexpr uint32_t kNavigation[10] = {VK_INSERT, VK_END,   VK_DOWN, VK_NEXT, VK_LEFT,
                                               VK_CLEAR,  VK_RIGHT, VK_HOME, VK_UP,   VK_PRIOR};
  if (key == SDLK_KP_PERIOD) return numLock ? VK_DECIMAL : VK_DELETE;
  const int digit = key == SDLK_KP_0 ? 0 : static_cast<int>(key - SDLK_KP_1) + 1;
  return numLock ? VK_NUMPAD0 + static_cast<uint32_t>(digit) : kNavigation[digit];
}

uint32_t SpecialKey(SDL_Keycode key) {
  switch (key) {
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_CLEAR: return VK_CLEAR;
    case SDLK_RETURN:
    case SDLK_RETURN2:
    case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_PAUSE: return VK_PAUSE;
    case SDLK_CAPSLOCK: return VK_CAPITAL;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_END: return VK_END;
    case SDLK_HOME: return VK_HOME;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_SELECT: return VK_SELECT;
    case SDLK_EXECUTE: return VK_EXECUTE;
    case SDLK_PRINTSCREEN: return VK_SNAPSHOT;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_HELP: return VK_HELP;
    case SDLK_LGUI: return VK_LWIN;
    case SDLK_RGUI: return VK_RWIN;
    case SDLK_APPLICATION:
    case SDLK_MENU: return VK_APPS;
    case SDLK_SLEEP: return VK_SLEEP;
    case SDLK_KP_MULTIPLY: return VK_MULTIPLY;
    case SDLK_KP_PLUS: return VK_ADD;
    case SDLK_KP_MINUS: return VK_SUBTRACT;
    case SDLK_KP_DIVIDE: return VK_DIVIDE;
    case SDLK_NUMLOCKCLEAR: return VK_NUMLOCK;
    case SDLK_SCROLLLOCK: return VK_SCROLL;
    // Windows reports either side of a modifier as the generic code.
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
    case SDLK_MODE: return VK_MENU;
    case SDLK_AC_BACK: return VK_BROWSER_BACK;
    case SDLK_AC_FORWARD: return VK_BROWSER_FORWARD;
    case SDLK_AC_REFRESH: return VK_BROWSER_REFRESH;
    case SDLK_AC_STOP: return VK_BROWSER_STOP;
    case SDLK_AC_SEARCH: return VK_BROWSER_SEARCH;
    case SDLK_AC_BOOKMARKS: return VK_BROWSER_FAVORITES;
    case SDLK_AC_HOME: return VK_BROWSER_HOME;
    case SDLK_AUDIOMUTE: return VK_VOLUME_MUTE;
    case SDLK_VOLUMEDOWN: return VK_VOLUME_DOWN;
    case SDLK_VOLUMEUP: return VK_VOLUME_UP;
    case SDLK_AUDIONEXT: return VK_MEDIA_NEXT_TRACK;
    case SDLK_AUDIOPREV: return VK_MEDIA_PREV_TRACK;
    case SDLK_AUDIOSTOP: return VK_MEDIA_STOP;
    case SDLK_AUDIOPLAY: return VK_MEDIA_PLAY_PAUSE;
    case SDLK_MAIL: return VK_LAUNCH_MAIL;
    default: return 0;
  }
}

uint32_t KeyFromSymbol(const SDL_Keysym& keysym) {
  const SDL_Keycode key = keysym.sym;
  if (key >= SDLK_a && key <= SDLK_z) return VK_A + static_cast<uint32_t>(key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return VK_0 + static_cast<uint32_t>(key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + static_cast<uint32_t>(key - SDLK_F1);
  if (key >= SDLK_F13 && key <= SDLK_F24) return VK_F1 + 12 + static_cast<uint32_t>(key - SDLK_F13);
  if ((key >= SDLK_KP_1 && key <= SDLK_KP_0) || key == SDLK_KP_PERIOD) {
    return KeypadKey(key, (keysym.mod & KMOD_NUM) != 0);
  }
  if (const uint32_t vk = PunctuationKey(key)) return vk;
  return SpecialKey(key);
}

// The key's position on a US keyboard, for symbols of other layouts.
uint32_t KeyFromPosition(SDL_Scancode scancode) {
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) {
    return VK_A + static_cast<uint32_t>(scancode - SDL_SCANCODE_A);
  }
  // The scancodes run 1 ... 9, 0.
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) {
    return VK_0 + 1 + static_cast<uint32_t>(scancode - SDL_SCANCODE_1);
  }
  switch (scancode) {
    case SDL_SCANCODE_0: return VK_0;
    case SDL_SCANCODE_SEMICOLON: return VK_OEM_1;
    case SDL_SCANCODE_EQUALS: return VK_OEM_PLUS;
    case SDL_SCANCODE_COMMA: return VK_OEM_COMMA;
    case SDL_SCANCODE_MINUS: return VK_OEM_MINUS;
    case SDL_SCANCODE_PERIOD: return VK_OEM_PERIOD;
    case SDL_SCANCODE_SLASH: return VK_OEM_2;
    case SDL_SCANCODE_GRAVE: return VK_OEM_3;
    case SDL_SCANCODE_LEFTBRACKET: return VK_OEM_4;
    case SDL_SCANCODE_BACKSLASH:
    case SDL_SCANCODE_NONUSHASH: return VK_OEM_5;
    case SDL_SCANCODE_RIGHTBRACKET: return VK_OEM_6;
    case SDL_SCANCODE_APOSTROPHE: return VK_OEM_7;
    case SDL_SCANCODE_NONUSBACKSLASH: return VK_OEM_102;
    default: return 0;
  }
}

}  // namespace

uint32_t VirtualKeyFromSdl(const SDL_Keysym& keysym) {
  if (const uint32_t vk = KeyFromSymbol(keysym)) return vk;
  return KeyFromPosition(keysym.scancode);
}

}  // namespace GCore
